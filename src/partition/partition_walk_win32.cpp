// Binds the partition walk to the platform: page allocations, message boxes,
// and the sector read of the platform family in use.
#include <windows.h>

#include "drive/drive_access.h"
#include "partition/partition_walk.h"

namespace {

void* allocatePages(uint32_t bytes) { return VirtualAlloc(NULL, bytes, MEM_COMMIT, PAGE_READWRITE); }

void releasePages(void* block) { VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace

uint32_t readSectors(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                     void* buffer) {
    if (app.platformKind == PLATFORM_NT) return readSectorsNt(drive, cylinder, head, sector, count, buffer);
    if (!app.sectorService.readPhysicalSector32) return SECTOR_RESULT_OPEN_FAILED;
    return app.sectorService.readPhysicalSector32(BIOS_FIRST_HARD_DISK + drive, cylinder, head, sector, count,
                                                  buffer);
}

const PartitionWalkOps PARTITION_WALK_OPS = {
    .readSectors = readSectors,
    .allocate = allocatePages,
    .release = releasePages,
    .showBox = showBox,
};

int loadPartitionMap(uint32_t drive) { return loadPartitionMapWith(PARTITION_WALK_OPS, drive); }

int scanPartitions(uint32_t drive, uint16_t cylinder, uint16_t head, uint16_t sector, void* buffer) {
    return scanPartitionsWith(PARTITION_WALK_OPS, drive, cylinder, head, sector, buffer);
}
