// The partition-table walk: the table in a drive's first sector and, through
// type-5 (extended) entries, the tables nested inside it, into
// app.partitionLists[drive] / app.partitionCounts[drive]. The logic reaches the
// disk, memory and message boxes only through PartitionWalkOps, so any disk can
// be handed to it; partition_walk_win32.cpp binds the real ones.
#pragma once
#include <stdint.h>

#include "app/app_state.h"
#include "app/boxes.h"

// Where the four entries and the signature lie in a partition sector.
#define PARTITION_TABLE_OFFSET 446u
#define PARTITION_ENTRY_SIZE 16u
#define PARTITION_TABLE_ENTRIES 4u
#define PARTITION_SIGNATURE_OFFSET 510u
#define PARTITION_SIGNATURE_0 0x55u
#define PARTITION_SIGNATURE_1 0xAAu

#define PARTITION_TYPE_EMPTY 0x00u
#define PARTITION_TYPE_EXTENDED 0x05u

// Most tables one walk reads, the first sector included. Each address is read
// at most once per walk, and this also bounds the nesting depth, so a damaged
// or looping chain of extended tables always ends. A real disk needs one table
// per logical drive, and no more than 20 entries can be kept anyway.
#define MAX_PARTITION_TABLES 64u

struct PartitionWalkOps {
    // Reads `count` sectors at cylinder/head/sector (sectors from 1); returns
    // the sector-read result word.
    uint32_t (*readSectors)(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                            void* buffer);
    // Whole pages from the virtual-memory allocator (so never less than 512
    // bytes); null when none can be had.
    void* (*allocate)(uint32_t bytes);
    void (*release)(void* block);
    ShowBoxFn showBox;
};

// Walks drive's tables from cylinder 0, head 0, sector 1. Returns 1 when that
// first sector was read and signed, 0 otherwise (list then empty). The count
// is reset before anything else; the sector buffer is released on every path.
int loadPartitionMapWith(const PartitionWalkOps& ops, uint32_t drive);

// One table at the given address and everything nested below it, appended to
// the drive's list, with `buffer` (at least 512 bytes) shared by every level.
// Returns 1 when that sector was read and signed. A start sector of 0 names no
// sector: it counts as unreadable and nothing is read.
int scanPartitionsWith(const PartitionWalkOps& ops, uint32_t drive, uint16_t cylinder, uint16_t head,
                       uint16_t sector, void* buffer);

// Win32-bound entry points (partition_walk_win32.cpp), reading through
// app.disk.
int loadPartitionMap(uint32_t drive);
extern const PartitionWalkOps PARTITION_WALK_OPS;
