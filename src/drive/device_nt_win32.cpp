// NT family: physical drives opened as devices by name.
#include <windows.h>
#include <winioctl.h>

#include <stdlib.h>

#include "drive/drive_access.h"

static_assert(sizeof(DISK_GEOMETRY) == 24, "geometry reply is 24 bytes");

intptr_t openPhysicalDrive(const char* name, bool noBuffering) {
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (noBuffering) flags |= FILE_FLAG_NO_BUFFERING;
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? DEVICE_INVALID : (intptr_t)h;
}

bool readPhysicalDrive(intptr_t handle, void* buffer, uint32_t bytes) {
    DWORD delivered = 0;  // not examined: a short read is not a failure here
    return ReadFile((HANDLE)handle, buffer, bytes, &delivered, nullptr) != 0;
}

bool readPhysicalDriveAt(intptr_t handle, void* buffer, uint32_t bytes, uint64_t offset) {
    // On a handle opened for synchronous use this reads at the offset, waits
    // for the end, and leaves the handle's position after the bytes read.
    OVERLAPPED at = {};
    at.Offset = (DWORD)offset;
    at.OffsetHigh = (DWORD)(offset >> 32);
    DWORD delivered = 0;
    return ReadFile((HANDLE)handle, buffer, bytes, &delivered, &at) != 0;
}

void closePhysicalDrive(intptr_t handle) { CloseHandle((HANDLE)handle); }

uint32_t systemLastError() { return GetLastError(); }

static intptr_t openDevice(const char* name) { return openPhysicalDrive(name, false); }

static bool getGeometry(intptr_t handle, uint8_t reply[24]) {
    DWORD returned = 0;
    return DeviceIoControl((HANDLE)handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, reply, 24, &returned,
                           nullptr) != 0;
}

static bool setPosition(intptr_t handle, uint64_t offset) {
    LONG high = (LONG)(offset >> 32);
    // 0xFFFFFFFF is also a valid low half of a large offset, so the error
    // code decides.
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer((HANDLE)handle, (LONG)(uint32_t)offset, &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}


static void showBox(void* owner, const char* text, uint32_t style) {
    MessageBoxA((HWND)owner, text, "Platterscope", style);
}

static void exitProcess(int code) { exit(code); }

static const DeviceOps NT_DEVICE_OPS = {openDevice,        systemLastError,    getGeometry, setPosition,
                                        readPhysicalDrive, closePhysicalDrive, showBox,     exitProcess};

const DeviceOps& ntDeviceOps() { return NT_DEVICE_OPS; }

uint32_t enumerateDrivesNt(DriveGeometry* table) { return enumerateDrivesWith(NT_DEVICE_OPS, table); }

uint32_t readSectorsNt(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                       void* buffer) {
    return readSectorsWith(NT_DEVICE_OPS, drive, cylinder, head, sector, count, buffer);
}
