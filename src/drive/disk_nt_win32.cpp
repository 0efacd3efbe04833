// The NT family bound to the system: physical drives opened as devices by
// name.
#include <windows.h>
#include <winioctl.h>

#include <stdlib.h>

#include "drive/disk_nt.h"

namespace {

intptr_t openDevice(const char* name, bool noBuffering) {
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (noBuffering) flags |= FILE_FLAG_NO_BUFFERING;
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? HANDLE_INVALID : (intptr_t)h;
}

uint32_t lastError() { return GetLastError(); }

bool getGeometry(intptr_t handle, uint8_t reply[DISK_GEOMETRY_SIZE]) {
    DWORD returned = 0;  // with no OVERLAPPED the count's pointer may not be null
    return DeviceIoControl((HANDLE)handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, reply, DISK_GEOMETRY_SIZE,
                           &returned, nullptr) != 0;
}

bool setPosition(intptr_t handle, uint64_t offset) {
    LONG high = (LONG)(offset >> 32);
    // 0xFFFFFFFF is also a valid low half of a large offset, so the error
    // code decides.
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer((HANDLE)handle, (LONG)(uint32_t)offset, &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool readOn(intptr_t handle, void* buffer, uint32_t bytes) {
    DWORD delivered = 0;  // not examined: a short read is not a failure here
    return ReadFile((HANDLE)handle, buffer, bytes, &delivered, nullptr) != 0;
}

bool readAt(intptr_t handle, void* buffer, uint32_t bytes, uint64_t offset) {
    // On a handle opened for synchronous use this reads at the offset, waits
    // for the end, and leaves the handle's position after the bytes read.
    OVERLAPPED at = {};
    at.Offset = (DWORD)offset;
    at.OffsetHigh = (DWORD)(offset >> 32);
    DWORD delivered = 0;
    return ReadFile((HANDLE)handle, buffer, bytes, &delivered, &at) != 0;
}

void closeDevice(intptr_t handle) { CloseHandle((HANDLE)handle); }

void exitProcess(int code) { exit(code); }

}  // namespace

const DeviceOps NT_DEVICE = {
    .open = openDevice,
    .lastError = lastError,
    .getGeometry = getGeometry,
    .setPosition = setPosition,
    .read = readOn,
    .readAt = readAt,
    .close = closeDevice,
    .showBox = showBox,
    .exitProcess = exitProcess,
};
