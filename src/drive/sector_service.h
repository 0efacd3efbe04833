// The 9x family's sector-service library. Its two entry points are shared by
// the program (caller) and the stand-in library in tools/ (callee), so both
// sides agree on argument widths and calling convention. Below them, the
// program's one hold on the library: start-up loads it, the worker enters it
// through a gate, and the main window's close releases it
// (sector_service.cpp, sector_service_win32.cpp).
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

#define SECTOR_SERVICE_LIBRARY_NAME "Rawio32.dll"
#define READ_PHYSICAL_SECTOR_NAME "ReadPhysicalSector32"
#define GET_DRIVE_PARAMETERS_NAME "GetDriveParameters32"

extern "C" {
typedef uint32_t(SECTOR_SERVICE_CALL* ReadPhysicalSector32Fn)(uint32_t driveNumber, uint32_t cylinder,
                                                              uint32_t head, uint32_t sector, uint32_t count,
                                                              void* buffer);
// A result with any bit above the low 8 set is a failure.
typedef uint32_t(SECTOR_SERVICE_CALL* GetDriveParameters32Fn)(uint32_t driveNumber, void* block);
}

// The result word as every caller reads it; the NT family's sector reads
// answer in the same words (drive/disk_nt.h).
static inline bool sectorReadFailed(uint32_t word) { return (word & SECTOR_RESULT_FAILURE_MASK) != 0; }
static inline uint32_t sectorReadErrorCode(uint32_t word) { return (word & 0xFF00u) >> 8; }

// The library as the program holds it (AppState.sectorService). A library
// handle is an opaque integer here; 0 while none is loaded.
struct SectorService {
    uintptr_t module;
    ReadPhysicalSector32Fn readPhysicalSector32;
    GetDriveParameters32Fn getDriveParameters32;
    // The gate around the worker's calls, so that closing never releases
    // the library under a call.
    volatile int32_t closing;
    volatile int32_t callsInside;
};

// What the hold needs of the system.
struct SectorServiceOps {
    uintptr_t (*loadLibrary)(const char* name);
    void* (*findProcedure)(uintptr_t module, const char* name);
    void (*freeLibrary)(uintptr_t module);
    uint32_t (*tick)();
    void (*sleep)(uint32_t ms);
};

enum SectorServiceLoad {
    SECTOR_SERVICE_LOADED,
    SECTOR_SERVICE_LIBRARY_MISSING,
    SECTOR_SERVICE_ENTRIES_MISSING,
};

// Loads the library and finds both entry points, into app.sectorService;
// whatever fails, nothing of it is kept but a loaded library's handle, for
// the release.
SectorServiceLoad loadSectorServiceWith(const SectorServiceOps& ops);

// The worker's side of the gate, around each call: false, without entering,
// once closing has begun.
bool enterSectorService();
void leaveSectorService();

// How long the release waits for a call inside the library to return.
enum { SECTOR_SERVICE_RELEASE_WAIT_MS = 5000 };

// The closer's side: shuts the gate, waits up to timeoutMs for a call
// already inside to return, and only then frees the library. True when it
// was freed (or none was loaded); false when a call is still inside, and the
// library stays until the process ends.
bool releaseSectorServiceWith(const SectorServiceOps& ops, uint32_t timeoutMs);

#ifdef _WIN32
SectorServiceLoad loadSectorService();
bool releaseSectorService();
#endif
