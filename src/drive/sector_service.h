// The two entry points of the 9x-family sector-service library, shared by the
// program (caller) and the stand-in library in tools/ (callee), so both sides
// agree on argument widths and calling convention.
#pragma once
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define SECTOR_SERVICE_CALL __stdcall
#else
#define SECTOR_SERVICE_CALL
#endif

// Result word of a sector read: failure when any bit of this mask is set.
#define SECTOR_RESULT_FAILURE_MASK 0x8000FF00u
// Bit 31 alone: the device could not be opened.
#define SECTOR_RESULT_OPEN_FAILED 0x80000000u

// Size of the parameter block GetDriveParameters32 fills, and the offsets the
// program reads (the BIOS INT 13h function 48h drive parameter table).
#define DRIVE_PARAMETERS_SIZE 28
#define DRIVE_PARAMETERS_CYLINDERS 4
#define DRIVE_PARAMETERS_HEADS 8
#define DRIVE_PARAMETERS_SECTORS 12
#define DRIVE_PARAMETERS_BYTES_PER_SECTOR 24

// BIOS number of the first hard disk; drive index i is 0x80 + i.
#define BIOS_FIRST_HARD_DISK 0x80u

#define READ_PHYSICAL_SECTOR_NAME "ReadPhysicalSector32"
#define GET_DRIVE_PARAMETERS_NAME "GetDriveParameters32"

extern "C" {
typedef uint32_t(SECTOR_SERVICE_CALL* ReadPhysicalSector32Fn)(uint32_t driveNumber, uint32_t cylinder,
                                                              uint32_t head, uint32_t sector, uint32_t count,
                                                              void* buffer);
// A result with any bit above the low 8 set is a failure.
typedef uint32_t(SECTOR_SERVICE_CALL* GetDriveParameters32Fn)(uint32_t driveNumber, void* block);
}
