// Binds the partition walk to the platform: page allocations, message boxes,
// and the sector read of the family's disk operations.
#include <windows.h>

#include "drive/disk_ops.h"
#include "partition/partition_walk.h"

namespace {

void* allocatePages(uint32_t bytes) { return VirtualAlloc(NULL, bytes, MEM_COMMIT, PAGE_READWRITE); }

void releasePages(void* block) { VirtualFree(block, 0, MEM_RELEASE); }

}  // namespace

static uint32_t readSectors(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                            void* buffer) {
    return app.disk->readSectors(drive, cylinder, head, sector, count, buffer);
}

const PartitionWalkOps PARTITION_WALK_OPS = {
    .readSectors = readSectors,
    .allocate = allocatePages,
    .release = releasePages,
    .showBox = showBox,
};

int loadPartitionMap(uint32_t drive) { return loadPartitionMapWith(PARTITION_WALK_OPS, drive); }
