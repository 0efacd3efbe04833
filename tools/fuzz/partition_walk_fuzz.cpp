// libFuzzer target: arbitrary bytes become a whole small disk, which the
// partition walk reads; the walk must keep its bounds on every disk.
//
// Input layout:
//   0  cylinders - 1 (low 3 bits)      1  heads - 1 (low 2 bits)
//   2  sectors per track - 1 (low 3 bits)
//   3  bits 0-1: bytes per sector 512 << n; bits 2-3: drive index;
//      bit 4: the sector buffer cannot be had
//   4  error code of a failing sector (0: the device did not open)
//   5..12  which sectors fail: bit (LBA mod 64)
//   13..   bytes 446..511 of each sector in LBA order, 66 per sector; sectors
//          past the end of the input are zero there
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/platform_values.h"
#include "drive/sector_service.h"
#include "partition/partition_walk.h"

namespace {

const uint32_t HEADER_SIZE = 13;
const uint32_t TAIL_SIZE = 66;  // the four entries and the signature
const uint32_t PAGE = 4096;

struct Disk {
    const uint8_t* data;
    size_t size;
    DriveGeometry geometry;
    uint32_t drive;
    bool allocationFails;
    uint32_t failWord;
    uint64_t failMask;

    // What the walk did.
    uint32_t reads;
    uint32_t readLba[MAX_PARTITION_TABLES + 1];
    bool readSigned[MAX_PARTITION_TABLES + 1];
    uint32_t failedWords[MAX_PARTITION_TABLES + 1];
    uint32_t failedReads;
    uint32_t boxes;
    bool outOfMemoryBox;
    int allocations, releases;
    void* handedOut;
} disk;

alignas(PAGE) uint8_t pages[PAGE];

#define CHECK(cond)                                                        \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "invariant broken: %s (line %d)\n", #cond, __LINE__); \
            abort();                                                       \
        }                                                                  \
    } while (0)

uint8_t tailByte(uint32_t lba, uint32_t offset) {
    size_t at = HEADER_SIZE + (size_t)lba * TAIL_SIZE + offset;
    return at < disk.size ? disk.data[at] : 0;
}

bool sectorSigned(uint32_t lba) {
    return tailByte(lba, PARTITION_SIGNATURE_OFFSET - PARTITION_TABLE_OFFSET) == PARTITION_SIGNATURE_0 &&
           tailByte(lba, PARTITION_SIGNATURE_OFFSET - PARTITION_TABLE_OFFSET + 1) == PARTITION_SIGNATURE_1;
}

bool linkedFromReadTable(uint32_t c, uint32_t h, uint32_t s) {
    for (uint32_t r = 0; r < disk.reads; r++) {
        if (!disk.readSigned[r]) continue;
        for (uint32_t slot = 0; slot < PARTITION_TABLE_ENTRIES; slot++) {
            uint32_t at = slot * PARTITION_ENTRY_SIZE;
            uint8_t sectorByte = tailByte(disk.readLba[r], at + 2);
            if (tailByte(disk.readLba[r], at + 4) == PARTITION_TYPE_EXTENDED &&
                tailByte(disk.readLba[r], at + 1) == h && decodeSector(sectorByte) == s &&
                decodeCylinder(sectorByte, tailByte(disk.readLba[r], at + 3)) == c)
                return true;
        }
    }
    return false;
}

uint32_t fuzzRead(uint32_t drive, uint32_t c, uint32_t h, uint32_t s, uint32_t count, void* buffer) {
    CHECK(drive == disk.drive);
    CHECK(count == 1);
    CHECK(s != 0);  // a wrapped address must never reach the device
    CHECK(buffer == pages);
    // Nothing more can be kept once the list is full, so nothing more is read.
    CHECK(disk.reads == 0 || app.partitionCounts[drive] < MAX_PARTITIONS);
    CHECK(disk.reads < MAX_PARTITION_TABLES);
    // The first sector first; after it only addresses some type-5 entry of a
    // table already read names.
    if (disk.reads == 0)
        CHECK(c == 0 && h == 0 && s == 1);
    else
        CHECK(linkedFromReadTable(c, h, s));

    const DriveGeometry& g = disk.geometry;
    if (c >= g.cylinders || h >= g.heads || s > g.sectorsPerTrack) {
        disk.readLba[disk.reads++] = 0xFFFFFFFFu;
        disk.failedWords[disk.failedReads++] = SYS_ERROR_SECTOR_NOT_FOUND << 8;
        return SYS_ERROR_SECTOR_NOT_FOUND << 8;
    }
    uint32_t lba = (c * g.heads + h) * g.sectorsPerTrack + (s - 1);
    for (uint32_t i = 0; i < disk.reads; i++) CHECK(disk.readLba[i] != lba);  // no table read twice
    disk.readLba[disk.reads] = lba;
    disk.readSigned[disk.reads] = false;
    disk.reads++;
    if (disk.failMask >> (lba % 64) & 1) {
        disk.failedWords[disk.failedReads++] = disk.failWord;
        return disk.failWord;
    }
    uint8_t* bytes = (uint8_t*)buffer;
    memset(bytes, 0xE5, g.bytesPerSector);
    for (uint32_t i = 0; i < TAIL_SIZE; i++) bytes[PARTITION_TABLE_OFFSET + i] = tailByte(lba, i);
    disk.readSigned[disk.reads - 1] = sectorSigned(lba);
    return count;
}

void* fuzzAllocate(uint32_t bytes) {
    disk.allocations++;
    if (disk.allocationFails) return nullptr;
    CHECK(bytes == disk.geometry.bytesPerSector && bytes <= sizeof pages);
    disk.handedOut = pages;
    return pages;
}

void fuzzRelease(void* block) {
    CHECK(block == disk.handedOut && block != nullptr);
    disk.releases++;
}

int32_t fuzzBox(void* owner, const char* text, uint32_t style) {
    CHECK(owner == app.mainWindow);
    CHECK(style == (BOX_OK | BOX_ICON_ERROR));
    if (strcmp(text, "Out of memory!") == 0) {
        CHECK(!disk.outOfMemoryBox && disk.reads == 0);
        disk.outOfMemoryBox = true;
        return 1;
    }
    // One reading-error box per failed read, with that read's code.
    CHECK(disk.boxes < disk.failedReads);
    char expected[48];
    snprintf(expected, sizeof expected, "Reading error ( code=%Xh )",
             (unsigned)sectorReadErrorCode(disk.failedWords[disk.boxes]));
    CHECK(strcmp(text, expected) == 0);
    disk.boxes++;
    return 1;
}

const PartitionWalkOps fuzzOps = {.readSectors = fuzzRead, .allocate = fuzzAllocate, .release = fuzzRelease, .showBox = fuzzBox};

// A stored entry must be one of the four slots of a signed sector the walk
// read, with a non-zero type, byte for byte.
bool entryFromReadTable(const PartitionEntry& entry) {
    if (entry.bytes[4] == PARTITION_TYPE_EMPTY) return false;
    for (uint32_t r = 0; r < disk.reads; r++) {
        if (!disk.readSigned[r]) continue;
        for (uint32_t slot = 0; slot < PARTITION_TABLE_ENTRIES; slot++) {
            bool same = true;
            for (uint32_t i = 0; i < PARTITION_ENTRY_SIZE && same; i++)
                same = entry.bytes[i] == tailByte(disk.readLba[r], slot * PARTITION_ENTRY_SIZE + i);
            if (same) return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HEADER_SIZE) return 0;
    resetAppState();
    memset(&disk, 0, sizeof disk);
    disk.data = data;
    disk.size = size;
    disk.geometry.cylinders = 1 + (data[0] & 7u);
    disk.geometry.heads = 1 + (data[1] & 3u);
    disk.geometry.sectorsPerTrack = 1 + (data[2] & 7u);
    disk.geometry.bytesPerSector = 512u << (data[3] & 3u);
    disk.drive = (data[3] >> 2) & 3u;
    disk.allocationFails = (data[3] & 0x10) != 0;
    disk.failWord = data[4] ? (uint32_t)data[4] << 8 : SECTOR_RESULT_OPEN_FAILED;
    for (int i = 0; i < 8; i++) disk.failMask |= (uint64_t)data[5 + i] << (8 * i);

    app.mainWindow = (void*)0x51;
    for (uint32_t d = 0; d < MAX_DRIVES; d++) {
        app.driveTable[d] = disk.geometry;
        app.partitionCounts[d] = 7;  // other drives' lists must stay as they are
    }

    int result = loadPartitionMapWith(fuzzOps, disk.drive);

    CHECK(disk.allocations == 1);
    CHECK(disk.releases == (disk.allocationFails ? 0 : 1));
    CHECK(disk.outOfMemoryBox == disk.allocationFails);
    CHECK(disk.boxes == disk.failedReads);
    CHECK(disk.reads <= MAX_PARTITION_TABLES);
    uint32_t count = app.partitionCounts[disk.drive];
    CHECK(count <= MAX_PARTITIONS);
    for (uint32_t d = 0; d < MAX_DRIVES; d++)
        if (d != disk.drive) CHECK(app.partitionCounts[d] == 7);
    // 1 exactly when the first sector was read and signed; otherwise nothing listed.
    CHECK(result == (disk.reads > 0 && disk.readSigned[0] && disk.readLba[0] == 0 ? 1 : 0));
    if (!result) CHECK(count == 0);
    for (uint32_t i = 0; i < count; i++) CHECK(entryFromReadTable(app.partitionLists[disk.drive][i]));
    return 0;
}
