// The legacy family, Windows 95, 98 and Me: every drive by BIOS drive number
// through the sector-service library that start-up loaded into
// app.sectorService.
#include "drive/disk_legacy.h"

#include "drive/disk_ops.h"
#include "drive/sector_service.h"

void copyDriveParameters(const uint8_t block[DRIVE_PARAMETERS_SIZE], DriveGeometry* out) {
    out->cylinders = readLe32(block + DRIVE_PARAMETERS_CYLINDERS);
    out->heads = readLe32(block + DRIVE_PARAMETERS_HEADS);
    out->sectorsPerTrack = readLe32(block + DRIVE_PARAMETERS_SECTORS);
    out->bytesPerSector = (uint32_t)block[DRIVE_PARAMETERS_BYTES_PER_SECTOR] |
                          ((uint32_t)block[DRIVE_PARAMETERS_BYTES_PER_SECTOR + 1] << 8);
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

static uint32_t enumerateDrivesLegacy(DriveGeometry* table) {
    return enumerateDrivesLegacyWith(app.sectorService.getDriveParameters32, table);
}

static uint32_t readSectorsLegacy(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                                  void* buffer) {
    if (!app.sectorService.readPhysicalSector32) return SECTOR_RESULT_OPEN_FAILED;
    return app.sectorService.readPhysicalSector32(BIOS_FIRST_HARD_DISK + drive, cylinder, head, sector, count,
                                                  buffer);
}

// Nothing to open: the library is asked by drive number for each track.
static bool openLegacyRun(DiskRun* run, bool) {
    run->handle = (intptr_t)(BIOS_FIRST_HARD_DISK + run->drive);
    return true;
}

static TrackReadResult readLegacyTrack(DiskRun* run, uint32_t cylinder, uint32_t head, void* buffer, uint32_t,
                                       uint32_t* errorCode) {
    if (!enterSectorService()) return TRACK_READ_ABANDONED;
    const uint32_t word = app.sectorService.readPhysicalSector32(
        (uint32_t)run->handle, cylinder, head, 1, app.driveTable[run->drive].sectorsPerTrack, buffer);
    leaveSectorService();
    if (!sectorReadFailed(word)) return TRACK_READ_OK;
    *errorCode = sectorReadErrorCode(word);
    return TRACK_READ_FAILED;
}

static void closeLegacyRun(DiskRun*) {}

// The texts are kept as the program has always shown them, "occured"
// included: users and scripts know them so (docs/kept-as-they-are.md).
const DiskOps LEGACY_DISK = {
    .promptFormat = READ_ERROR_FORMAT "\n栈道  %u, 柱头 %u.\nShow this message if error will be occured?",
    .statusFormat = "栈道  %u. 速度  %u kB/s. 最低速度  %u, 最高速度  %u.",
    .summaryFormat = "读取 %u 栈道用了   %u ms. Speed <min/eff/avr/max> %u/%u/%u/%u kB/s.",
    .endAtOnceWithoutBuffer = true,
    .noBufferingOffered = false,
    .enumerateDrives = enumerateDrivesLegacy,
    .readSectors = readSectorsLegacy,
    .open = openLegacyRun,
    .readTrack = readLegacyTrack,
    .close = closeLegacyRun,
};
