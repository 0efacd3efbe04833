#include "partition/partition_walk.h"

#include <string.h>

#include "app/platform_values.h"
#include "app/text_format.h"
#include "drive/disk_ops.h"
#include "drive/sector_service.h"

namespace {

struct TableAddress {
    uint16_t cylinder;
    uint16_t head;
    uint16_t sector;
};

// What one walk carries down its levels: the shared sector buffer and the
// addresses already read, which end loops and bound the depth.
struct PartitionWalk {
    const PartitionWalkOps* ops;
    uint32_t drive;
    uint8_t* buffer;
    uint32_t tablesRead;
    TableAddress tables[MAX_PARTITION_TABLES];
};

void showReadError(const PartitionWalk& walk, uint32_t word) {
    char text[48];
    formatText(text, sizeof text, READ_ERROR_FORMAT, (unsigned)sectorReadErrorCode(word));
    walk.ops->showBox(app.mainWindow, text, BOX_OK | BOX_ICON_ERROR);
}

bool listFull(const PartitionWalk& walk) { return app.partitionCounts[walk.drive] >= MAX_PARTITIONS; }

// Entries beyond the list's 20 slots are dropped.
void appendEntry(const PartitionWalk& walk, const PartitionEntry& entry) {
    uint32_t& count = app.partitionCounts[walk.drive];
    if (count >= MAX_PARTITIONS) return;
    app.partitionLists[walk.drive][count++] = entry;
}

// Records a table about to be read; false when that address was already read
// in this walk or the walk has read as many tables as it may.
bool claimTable(PartitionWalk& walk, uint16_t cylinder, uint16_t head, uint16_t sector) {
    for (uint32_t i = 0; i < walk.tablesRead; i++) {
        const TableAddress& seen = walk.tables[i];
        if (seen.cylinder == cylinder && seen.head == head && seen.sector == sector) return false;
    }
    if (walk.tablesRead >= MAX_PARTITION_TABLES) return false;
    walk.tables[walk.tablesRead++] = TableAddress{cylinder, head, sector};
    return true;
}

int scanTable(PartitionWalk& walk, uint16_t cylinder, uint16_t head, uint16_t sector) {
    // Sectors count from 1; sector 0 would wrap to the end of the previous
    // track. It comes only from a damaged entry, and is taken as a table
    // that cannot be read, without asking the disk, on either family.
    if (sector == 0) return 0;
    if (!claimTable(walk, cylinder, head, sector)) return 0;

    uint32_t word = walk.ops->readSectors(walk.drive, cylinder, head, sector, 1, walk.buffer);
    if (sectorReadFailed(word)) {
        showReadError(walk, word);
        return 0;
    }
    if (walk.buffer[PARTITION_SIGNATURE_OFFSET] != PARTITION_SIGNATURE_0 ||
        walk.buffer[PARTITION_SIGNATURE_OFFSET + 1] != PARTITION_SIGNATURE_1)
        return 0;

    // Deeper levels read into the same buffer, so this level works on a copy.
    PartitionEntry table[PARTITION_TABLE_ENTRIES];
    static_assert(sizeof table == PARTITION_TABLE_ENTRIES * PARTITION_ENTRY_SIZE, "entries lie back to back");
    memcpy(table, walk.buffer + PARTITION_TABLE_OFFSET, sizeof table);

    for (const PartitionEntry& entry : table) {
        const uint8_t type = partitionType(entry);
        if (type == PARTITION_TYPE_EMPTY) continue;
        // Once the list is full nothing more can be kept, so no further
        // tables are read (their read errors would only add boxes).
        if (type == PARTITION_TYPE_EXTENDED && !listFull(walk)) {
            // A table that was read and signed stands in place of its link.
            if (scanTable(walk, (uint16_t)partitionStartCylinder(entry), (uint16_t)partitionStartHead(entry),
                          (uint16_t)partitionStartSector(entry)))
                continue;
        }
        appendEntry(walk, entry);
    }
    return 1;
}

}  // namespace

int scanPartitionsWith(const PartitionWalkOps& ops, uint32_t drive, uint16_t cylinder, uint16_t head,
                       uint16_t sector, void* buffer) {
    if (drive >= MAX_DRIVES) return 0;
    PartitionWalk walk;
    walk.ops = &ops;
    walk.drive = drive;
    walk.buffer = (uint8_t*)buffer;
    walk.tablesRead = 0;
    return scanTable(walk, cylinder, head, sector);
}

int loadPartitionMapWith(const PartitionWalkOps& ops, uint32_t drive) {
    if (drive >= MAX_DRIVES) return 0;
    app.partitionCounts[drive] = 0;

    void* buffer = ops.allocate(app.driveTable[drive].bytesPerSector);
    if (!buffer) {
        ops.showBox(app.mainWindow, OUT_OF_MEMORY_TEXT, BOX_OK | BOX_ICON_ERROR);
        return 0;
    }
    int found = scanPartitionsWith(ops, drive, 0, 0, 1, buffer);
    ops.release(buffer);
    return found;
}
