// The NT family: each physical drive as one device file, through the
// DeviceOps that start-up chose into app.ntDevice.
#include "drive/disk_nt.h"

#include "app/text_format.h"
#include "drive/disk_ops.h"
#include "drive/sector_service.h"

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

void copyDiskGeometry(const uint8_t reply[DISK_GEOMETRY_SIZE], DriveGeometry* out) {
    out->cylinders = readLe32(reply + 0);  // high half of the 64-bit count is dropped
    out->heads = readLe32(reply + 12);
    out->sectorsPerTrack = readLe32(reply + 16);
    out->bytesPerSector = readLe32(reply + 20);
}

uint32_t failureWordFromSystemError(uint32_t systemError) {
    uint32_t word = systemError << 8;
    if ((word & SECTOR_RESULT_FAILURE_MASK) == 0) word |= SECTOR_RESULT_OPEN_FAILED;
    return word;
}

uint32_t enumerateDrivesWith(const DeviceOps& device, DriveGeometry* table) {
    uint32_t i = 0;
    for (; i < MAX_DRIVES; ++i) {
        char name[DEVICE_NAME_SIZE];
        formatDeviceName(name, i);
        intptr_t handle = device.open(name, false);
        if (handle == HANDLE_INVALID) {
            if (device.lastError() == SYS_ERROR_ACCESS_DENIED) {
                // "maust" is the program's text as users and scripts know it.
                device.showBox(nullptr, "Access denied! You maust be Administrator!", BOX_ICON_ERROR);
                device.exitProcess(1);
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

static uint32_t reportFailure(const DeviceOps& device, const char* format, uint32_t error) {
    char text[64];
    formatText(text, sizeof text, format, error);
    device.showBox(app.mainWindow, text, BOX_ICON_ERROR);
    return failureWordFromSystemError(error);
}

uint32_t readSectorsWith(const DeviceOps& device, uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                         uint32_t count, void* buffer) {
    const DriveGeometry& g = app.driveTable[drive];
    char name[DEVICE_NAME_SIZE];
    formatDeviceName(name, drive);
    intptr_t handle = device.open(name, false);
    if (handle == HANDLE_INVALID) {
        device.showBox(app.mainWindow, CANT_OPEN_DISK_TEXT, BOX_ICON_ERROR);
        return SECTOR_RESULT_OPEN_FAILED;
    }
    uint32_t result = count;
    if (!device.setPosition(handle, sectorByteOffset(g, cylinder, head, sector))) {
        result = reportFailure(device, "Set file pointer error ( code=%Xh )", device.lastError());
    } else if (!device.read(handle, buffer, count * g.bytesPerSector)) {
        result = reportFailure(device, READ_ERROR_FORMAT, device.lastError());
    }
    device.close(handle);
    return result;
}


static uint32_t enumerateDrivesNt(DriveGeometry* table) { return enumerateDrivesWith(*app.ntDevice, table); }

static uint32_t readSectorsNt(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                              void* buffer) {
    return readSectorsWith(*app.ntDevice, drive, cylinder, head, sector, count, buffer);
}

// A benchmark run: the whole disk read from its first byte on, each read
// going on where the previous one ended.

static bool openNtRun(DiskRun* run, bool noBuffering) {
    char name[DEVICE_NAME_SIZE];
    formatDeviceName(name, run->drive);
    run->handle = app.ntDevice->open(name, noBuffering);
    run->resume = false;
    return run->handle != HANDLE_INVALID;
}

static void closeNtRun(DiskRun* run) { app.ntDevice->close(run->handle); }

static TrackReadResult readNtTrack(DiskRun* run, uint32_t cylinder, uint32_t head, void* buffer, uint32_t bytes,
                                   uint32_t* errorCode) {
    const DeviceOps& device = *app.ntDevice;
    bool ok;
    // A failed read moves the device's position by nothing (or by less than
    // it asked for), and the heads after it were not read: left alone, every
    // later cylinder would be read from inside this one, and a bad sector
    // would fail the first read of every cylinder after it. The count
    // delivered is not examined.
    if (run->resume) {
        const uint64_t track = (uint64_t)cylinder * app.driveTable[run->drive].heads + head;
        ok = device.readAt(run->handle, buffer, bytes, track * bytes);
    } else {
        ok = device.read(run->handle, buffer, bytes);
    }
    run->resume = !ok;
    if (ok) return TRACK_READ_OK;
    *errorCode = device.lastError();
    return TRACK_READ_FAILED;
}

// The texts are kept as the program has always shown them, "occured"
// included: users and scripts know them so (docs/kept-as-they-are.md).
const DiskOps NT_DISK = {
    .promptFormat = READ_ERROR_FORMAT "\nTrack %u, head %u.\nShow this message if error will be occured?",
    .statusFormat = "Track %u. Speed %u kB/s. Min speed %u, max speed %u.",
    .summaryFormat = "Read %u tracks for %u ms. Speed <min/eff/avr/max> %u/%u/%u/%u kB/s.",
    .endAtOnceWithoutBuffer = false,
    .noBufferingOffered = true,
    .enumerateDrives = enumerateDrivesNt,
    .readSectors = readSectorsNt,
    .open = openNtRun,
    .readTrack = readNtTrack,
    .close = closeNtRun,
};
