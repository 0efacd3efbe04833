// The NT family's disk access: each physical drive as one device file,
// through DeviceOps, the family's one seam of the system (bound in
// disk_nt_win32.cpp, chosen by start-up into app.ntDevice).
#pragma once
#include <stdint.h>

#include "app/app_state.h"
#include "app/boxes.h"
#include "app/platform_values.h"

#define DEVICE_NAME_SIZE 24

// A handle is an opaque integer; HANDLE_INVALID marks a failed open.
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
    // The boxes of discovery and of a sector read, and the end of the
    // process when a drive's access is denied: the runtime's normal exit.
    ShowBoxFn showBox;
    void (*exitProcess)(int code);
};

// "\\.\PHYSICALDRIVE" followed by the one character '0' + index.
void formatDeviceName(char out[DEVICE_NAME_SIZE], uint32_t index);

// Byte offset of a sector: the cylinder product is taken in 64 bits, the
// in-cylinder part in 32 bits, as the device sees one long file.
uint64_t sectorByteOffset(const DriveGeometry& g, uint32_t cylinder, uint32_t head, uint32_t sector);

// The 24-byte DISK_GEOMETRY reply into a DriveGeometry (low 32 bits of the
// cylinder count).
void copyDiskGeometry(const uint8_t reply[DISK_GEOMETRY_SIZE], DriveGeometry* out);

// A system error code as a failure word: the code shifted into bits 8 and up;
// when that leaves no bit of the failure mask set (a code whose low byte is 0)
// bit 31 is added, so every caller still sees a failure.
uint32_t failureWordFromSystemError(uint32_t systemError);

// Discovery shows the access-denied box and ends the process; the sector
// read shows its own boxes. NT_DISK runs both over app.ntDevice.
uint32_t enumerateDrivesWith(const DeviceOps& device, DriveGeometry* table);
uint32_t readSectorsWith(const DeviceOps& device, uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                         uint32_t count, void* buffer);

#ifdef _WIN32
extern const DeviceOps NT_DEVICE;
#endif
