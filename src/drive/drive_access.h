// The pieces of the two families' disk operations (disk_ops.h) that tests
// reach directly: the NT family's over DeviceOps (disk_nt.cpp, bound in
// disk_nt_win32.cpp), the 9x family's over AppState.sectorService
// (disk_9x.cpp). Sectors count from 1 in every read; the partition walk
// refuses a sector 0 before it asks.
#pragma once
#include <stdint.h>

#include "app/app_state.h"
#include "app/boxes.h"
#include "app/platform_values.h"

#define DEVICE_NAME_SIZE 24

// Every box and prompt of a failed read starts with this.
#define READ_ERROR_FORMAT "Reading error ( code=%Xh )"
#define CANT_OPEN_DISK_TEXT "Can't open disk!"

static inline uint32_t readLe32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// "\\.\PHYSICALDRIVE" followed by the one character '0' + index.
void formatDeviceName(char out[DEVICE_NAME_SIZE], uint32_t index);

// Byte offset of a sector: the cylinder product is taken in 64 bits, the
// in-cylinder part in 32 bits, as the device sees one long file.
uint64_t sectorByteOffset(const DriveGeometry& g, uint32_t cylinder, uint32_t head, uint32_t sector);

// The 24-byte DISK_GEOMETRY reply into a DriveGeometry (low 32 bits of the
// cylinder count).
void copyDiskGeometry(const uint8_t reply[DISK_GEOMETRY_SIZE], DriveGeometry* out);

// The 28-byte drive parameter block into a DriveGeometry.
void copyDriveParameters(const uint8_t block[DRIVE_PARAMETERS_SIZE], DriveGeometry* out);

static inline bool sectorReadFailed(uint32_t word) { return (word & SECTOR_RESULT_FAILURE_MASK) != 0; }
static inline uint32_t sectorReadErrorCode(uint32_t word) { return (word & 0xFF00u) >> 8; }

// A system error code as a failure word: the code shifted into bits 8 and up;
// when that leaves no bit of the failure mask set (a code whose low byte is 0)
// bit 31 is added, so every caller still sees a failure.
uint32_t failureWordFromSystemError(uint32_t systemError);

// The NT family's physical drive, the one seam of the device for discovery,
// sector reads and the benchmark. A handle is an opaque integer;
// HANDLE_INVALID marks a failed open.
struct DeviceOps {
    // Opens the device by name for reading; unbuffered when asked.
    intptr_t (*open)(const char* name, bool noBuffering);
    uint32_t (*lastError)();
    bool (*getGeometry)(intptr_t handle, uint8_t reply[DISK_GEOMETRY_SIZE]);
    bool (*setPosition)(intptr_t handle, uint64_t offset);
    // Reads on from the handle's position.
    bool (*read)(intptr_t handle, void* buffer, uint32_t bytes);
    // Reads at offset; later reads go on from its end.
    bool (*readAt)(intptr_t handle, void* buffer, uint32_t bytes, uint64_t offset);
    void (*close)(intptr_t handle);
};

// Discovery shows the access-denied box and ends the process through the
// runtime's normal exit (exitProcess); the sector read shows its own boxes.
uint32_t enumerateDrivesWith(const DeviceOps& device, ShowBoxFn showBox, void (*exitProcess)(int code),
                             DriveGeometry* table);
uint32_t readSectorsWith(const DeviceOps& device, ShowBoxFn showBox, uint32_t drive, uint32_t cylinder, uint32_t head,
                         uint32_t sector, uint32_t count, void* buffer);

// The NT family's table over `device`, without its discovery and sector
// read, which the Win32 binding adds (NT_DISK).
struct DiskOps;
DiskOps ntDiskOps(const DeviceOps* device);

// Legacy discovery through the sector service's parameter call.
uint32_t enumerateDrivesLegacyWith(GetDriveParameters32Fn getDriveParameters, DriveGeometry* table);

// Calls into the sector-service library from the worker go through this gate
// so that the library can be released safely while a run is going on.
// enterSectorService returns false, without entering, once closing has begun.
bool enterSectorService();
void leaveSectorService();

#ifdef _WIN32
extern const DeviceOps NT_DEVICE;
#endif
