#include "app/text_format.h"
#include <string.h>

#include "drive/drive_access.h"

void formatDeviceName(char out[DEVICE_NAME_SIZE], uint32_t index) {
    // One character after the prefix: index 10 gives ':', as the device
    // numbering in the name was never more than one digit wide.
    formatText(out, DEVICE_NAME_SIZE, "\\\\.\\PHYSICALDRIVE%c", (char)('0' + index));
}

uint64_t sectorByteOffset(const DriveGeometry& g, uint32_t cylinder, uint32_t head, uint32_t sector) {
    uint64_t cylinderPart = (uint64_t)cylinder * (uint64_t)cylinderBytes(g);
    uint32_t inCylinder = head * trackBytes(g) + (sector - 1) * g.bytesPerSector;
    return cylinderPart + inCylinder;
}

static uint32_t readLe32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void copyDiskGeometry(const uint8_t reply[DISK_GEOMETRY_SIZE], DriveGeometry* out) {
    out->cylinders = readLe32(reply + 0);  // high half of the 64-bit count is dropped
    out->heads = readLe32(reply + 12);
    out->sectorsPerTrack = readLe32(reply + 16);
    out->bytesPerSector = readLe32(reply + 20);
}

void copyDriveParameters(const uint8_t block[DRIVE_PARAMETERS_SIZE], DriveGeometry* out) {
    out->cylinders = readLe32(block + DRIVE_PARAMETERS_CYLINDERS);
    out->heads = readLe32(block + DRIVE_PARAMETERS_HEADS);
    out->sectorsPerTrack = readLe32(block + DRIVE_PARAMETERS_SECTORS);
    out->bytesPerSector = (uint32_t)block[DRIVE_PARAMETERS_BYTES_PER_SECTOR] |
                          ((uint32_t)block[DRIVE_PARAMETERS_BYTES_PER_SECTOR + 1] << 8);
}

uint32_t failureWordFromSystemError(uint32_t systemError) {
    uint32_t word = systemError << 8;
    if ((word & SECTOR_RESULT_FAILURE_MASK) == 0) word |= SECTOR_RESULT_OPEN_FAILED;
    return word;
}

uint32_t enumerateDrivesWith(const DeviceOps& device, ShowBoxFn showBox, void (*exitProcess)(int code),
                             DriveGeometry* table) {
    uint32_t i = 0;
    for (; i < MAX_DRIVES; ++i) {
        char name[DEVICE_NAME_SIZE];
        formatDeviceName(name, i);
        intptr_t handle = device.open(name, false);
        if (handle == DEVICE_INVALID) {
            if (device.lastError() == SYS_ERROR_ACCESS_DENIED) {
                // "maust" is the program's text as users and scripts know it.
                showBox(nullptr, "Access denied! You maust be Administrator!", BOX_ICON_ERROR);
                exitProcess(1);
            }
            break;
        }
        uint8_t reply[DISK_GEOMETRY_SIZE];
        bool answered = device.getGeometry(handle, reply);
        device.close(handle);
        if (!answered) break;
        copyDiskGeometry(reply, &table[i]);
    }
    return i;
}

static uint32_t reportFailure(ShowBoxFn showBox, const char* format, uint32_t error) {
    char text[64];
    formatText(text, sizeof text, format, error);
    showBox(app.mainWindow, text, BOX_ICON_ERROR);
    return failureWordFromSystemError(error);
}

uint32_t readSectorsWith(const DeviceOps& device, ShowBoxFn showBox, uint32_t drive, uint32_t cylinder, uint32_t head,
                         uint32_t sector, uint32_t count, void* buffer) {
    const DriveGeometry& g = app.driveTable[drive];
    // Sectors count from 1: sector 0 would wrap the in-cylinder offset back
    // to the end of the previous track, so it is refused as not found.
    if (sector == 0) return reportFailure(showBox, "Reading error ( code=%Xh )", SYS_ERROR_SECTOR_NOT_FOUND);

    char name[DEVICE_NAME_SIZE];
    formatDeviceName(name, drive);
    intptr_t handle = device.open(name, false);
    if (handle == DEVICE_INVALID) {
        showBox(app.mainWindow, "Can't open disk!", BOX_ICON_ERROR);
        return SECTOR_RESULT_OPEN_FAILED;
    }
    uint32_t result = count;
    if (!device.setPosition(handle, sectorByteOffset(g, cylinder, head, sector))) {
        result = reportFailure(showBox, "Set file pointer error ( code=%Xh )", device.lastError());
    } else if (!device.read(handle, buffer, count * g.bytesPerSector)) {
        result = reportFailure(showBox, "Reading error ( code=%Xh )", device.lastError());
    }
    device.close(handle);
    return result;
}

uint32_t enumerateDrivesLegacyWith(GetDriveParameters32Fn getDriveParameters, DriveGeometry* table) {
    uint32_t i = 0;
    for (; i < MAX_DRIVES; ++i) {
        uint8_t block[DRIVE_PARAMETERS_SIZE];
        uint32_t result = getDriveParameters(BIOS_FIRST_HARD_DISK + i, block);
        if (result & ~0xFFu) break;
        copyDriveParameters(block, &table[i]);
    }
    return i;
}

uint32_t enumerateDrivesLegacy(DriveGeometry* table) {
    return enumerateDrivesLegacyWith(app.sectorService.getDriveParameters32, table);
}
