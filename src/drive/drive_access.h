// Drive discovery and sector reads on both platform families. The decisions
// live in drive_logic.cpp over the small operation tables below; the Win32
// bindings are in device_nt_win32.cpp and sector_service_win32.cpp.
#pragma once
#include <stdint.h>

#include "app/app_state.h"

// Box styles the drive layer uses (the platform's values).
#define BOX_OK 0x00u
#define BOX_ICON_ERROR 0x10u
#define BOX_ICON_INFORMATION 0x40u
#define BOX_YES_NO_CANCEL 0x03u

// System error codes the logic needs by name.
#define SYS_ERROR_ACCESS_DENIED 5u
#define SYS_ERROR_SECTOR_NOT_FOUND 27u

#define DEVICE_NAME_SIZE 24

// "\\.\PHYSICALDRIVE" followed by the one character '0' + index.
void formatDeviceName(char out[DEVICE_NAME_SIZE], uint32_t index);

// Byte offset of a sector: the cylinder product is taken in 64 bits, the
// in-cylinder part in 32 bits, as the device sees one long file.
uint64_t sectorByteOffset(const DriveGeometry& g, uint32_t cylinder, uint32_t head, uint32_t sector);

// The 24-byte DISK_GEOMETRY reply into a DriveGeometry (low 32 bits of the
// cylinder count).
void copyDiskGeometry(const uint8_t reply[24], DriveGeometry* out);

// The 28-byte drive parameter block into a DriveGeometry.
void copyDriveParameters(const uint8_t block[DRIVE_PARAMETERS_SIZE], DriveGeometry* out);

static inline bool sectorReadFailed(uint32_t word) { return (word & SECTOR_RESULT_FAILURE_MASK) != 0; }
static inline uint32_t sectorReadErrorCode(uint32_t word) { return (word & 0xFF00u) >> 8; }

// A system error code as a failure word: the code shifted into bits 8 and up;
// when that leaves no bit of the failure mask set (a code whose low byte is 0)
// bit 31 is added, so every caller still sees a failure.
uint32_t failureWordFromSystemError(uint32_t systemError);

// What the NT-family device code needs from the platform. A handle is an
// opaque integer; DEVICE_INVALID marks a failed open.
#define DEVICE_INVALID ((intptr_t)-1)
struct DeviceOps {
    intptr_t (*open)(const char* name);
    uint32_t (*lastError)();
    bool (*getGeometry)(intptr_t handle, uint8_t reply[24]);
    bool (*setPosition)(intptr_t handle, uint64_t offset);
    bool (*read)(intptr_t handle, void* buffer, uint32_t bytes);
    void (*close)(intptr_t handle);
    // Modal box with caption "Platterscope"; owner may be null.
    void (*showBox)(void* owner, const char* text, uint32_t style);
    // Ends the process through the runtime's normal exit.
    void (*exitProcess)(int code);
};

uint32_t enumerateDrivesWith(const DeviceOps& ops, DriveGeometry* table);
uint32_t readSectorsWith(const DeviceOps& ops, uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                         uint32_t count, void* buffer);

// Legacy discovery through the sector service's parameter call.
uint32_t enumerateDrivesLegacyWith(GetDriveParameters32Fn getDriveParameters, DriveGeometry* table);

// Win32-bound entry points.
uint32_t enumerateDrivesNt(DriveGeometry* table);
uint32_t readSectorsNt(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                       void* buffer);
uint32_t enumerateDrivesLegacy(DriveGeometry* table);
const DeviceOps& ntDeviceOps();

// The physical-drive device as the system gives it (device_nt_win32.cpp),
// shared by discovery, sector reads and the benchmark.
intptr_t openPhysicalDrive(const char* name, bool noBuffering);
bool readPhysicalDrive(intptr_t handle, void* buffer, uint32_t bytes);
bool readPhysicalDriveAt(intptr_t handle, void* buffer, uint32_t bytes, uint64_t offset);
void closePhysicalDrive(intptr_t handle);
uint32_t systemLastError();
