// Encoding of partition sectors for mkdisk: CHS fields, 16-byte entries, the
// table sector, the ENTRY argument, and the demo disks' layout. No file I/O.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
    TABLE_SECTOR_BYTES = 512,
    TABLE_ENTRIES_OFFSET = 446,
    TABLE_ENTRY_BYTES = 16,
    TABLE_ENTRY_COUNT = 4,
    MAX_CHS_CYLINDER = 1023,
    MAX_CHS_HEAD = 255,
    MAX_CHS_SECTOR = 63,
    DEMO_MAX_SECTORS = 4,
};

struct DiskGeometry {
    uint32_t cylinders;
    uint32_t heads;
    uint32_t sectors;
    uint32_t bytesPerSector;
};

struct ChsAddress {
    uint32_t cylinder;
    uint32_t head;
    uint32_t sector;
};

struct EntryLayout {
    bool empty;
    uint8_t type;
    ChsAddress start;
    ChsAddress end;
};

// Size in bytes of an image of that geometry; false when a field is 0 or the
// size does not fit 63 bits.
bool imageBytes(const DiskGeometry& g, uint64_t* out);

// True when the address lies on the disk (sectors count from 1).
bool addressOnDisk(const DiskGeometry& g, const ChsAddress& a);

// Linear sector number of a CHS address (sector 0 is taken as 1 before it).
uint64_t chsToLba(const DiskGeometry& g, const ChsAddress& a);

// The three CHS bytes of an entry: head; sector with cylinder bits 8-9 in its
// top two bits; cylinder bits 0-7. False when a field does not fit.
bool encodeChs(const ChsAddress& a, uint8_t out[3]);

// One 16-byte entry; lbaStart and lbaCount go into bytes 8..15 as given.
bool encodeEntry(const EntryLayout& e, bool bootable, uint32_t lbaStart, uint32_t lbaCount,
                 uint8_t out[TABLE_ENTRY_BYTES]);

// The entry as the table command writes it: LBA fields absolute, from the
// geometry; the count 0 when the end lies before the start.
bool encodeAbsoluteEntry(const DiskGeometry& g, const EntryLayout& e, uint8_t out[TABLE_ENTRY_BYTES]);

// A 512-byte partition sector: zero boot area, the entries, and 0x55 0xAA
// unless signature is false.
void buildTableSector(const uint8_t entries[TABLE_ENTRY_COUNT][TABLE_ENTRY_BYTES], bool signature,
                      uint8_t sector[TABLE_SECTOR_BYTES]);

// "-" or "TYPE:SC/SH/SS-EC/EH/ES" (TYPE hex, the rest decimal).
bool parseEntryLayout(const char* text, EntryLayout* out);

// A table sector and where it goes.
struct DemoSector {
    ChsAddress at;
    uint8_t bytes[TABLE_SECTOR_BYTES];
};

struct DemoDisk {
    DiskGeometry geometry;
    uint32_t sectorCount;
    DemoSector sectors[DEMO_MAX_SECTORS];
    uint32_t partitionCount;  // partitions a reader lists, extended links not counted
};

// demo0: 1024 x 16 x 63 x 512 with FAT16, NTFS, an extended partition holding
// FAT32 and, one link further, Linux, and a BSD slice.
void buildDemoDisk0(DemoDisk* out);
// demo1: 120 x 4 x 17 x 512 with one FAT16 partition.
void buildDemoDisk1(DemoDisk* out);

// The stand-in configuration serving both demo disks.
extern const char DEMO_CONFIG_TEXT[];
