// The partition walk over disks built in memory.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "partition/partition_walk.h"

namespace {

const uint32_t SECTOR_SIZE = 512;
const uint32_t MAX_FAKE_SECTORS = 256;

struct FakeSector {
    uint16_t cylinder, head, sector;
    uint32_t failWord;  // non-zero: reading it returns this word
    uint8_t bytes[SECTOR_SIZE];
};

struct ReadCall {
    uint32_t drive, cylinder, head, sector, count;
};

// The disk every fake op sees; addresses not on it read as zeroed sectors.
struct FakeDisk {
    FakeSector sectors[MAX_FAKE_SECTORS];
    uint32_t sectorCount;
    std::vector<ReadCall> reads;
    bool fanOut;  // every address reads as a table of four links to fresh addresses
    uint32_t fanOutNext;
    bool allocationFails;
    uint32_t bytesAsked;
    int allocations, releases;
    alignas(4096) uint8_t pages[8192];
} disk;

FakeSector* findSector(uint32_t c, uint32_t h, uint32_t s) {
    for (uint32_t i = 0; i < disk.sectorCount; i++)
        if (disk.sectors[i].cylinder == c && disk.sectors[i].head == h && disk.sectors[i].sector == s)
            return &disk.sectors[i];
    return nullptr;
}

uint32_t fanOutRead(void* buffer, uint32_t count) {
    uint8_t* bytes = (uint8_t*)buffer;
    memset(bytes, 0, SECTOR_SIZE);
    for (int i = 0; i < 4; i++) {
        uint32_t n = ++disk.fanOutNext;
        uint8_t* e = bytes + 446 + 16 * i;
        e[1] = (uint8_t)(n / 1024);
        e[2] = (uint8_t)(1 | (((n % 1024) >> 8) << 6));
        e[3] = (uint8_t)n;
        e[4] = PARTITION_TYPE_EXTENDED;
    }
    bytes[510] = 0x55;
    bytes[511] = 0xAA;
    return count;
}

uint32_t fakeRead(uint32_t drive, uint32_t c, uint32_t h, uint32_t s, uint32_t count, void* buffer) {
    disk.reads.push_back({drive, c, h, s, count});
    if (disk.fanOut) return fanOutRead(buffer, count);
    const FakeSector* found = findSector(c, h, s);
    if (found && found->failWord) return found->failWord;
    memset(buffer, 0, SECTOR_SIZE);
    if (found) memcpy(buffer, found->bytes, SECTOR_SIZE);
    return count;
}

void* fakeAllocate(uint32_t bytes) {
    disk.bytesAsked = bytes;
    if (disk.allocationFails || bytes > sizeof disk.pages) return nullptr;
    disk.allocations++;
    memset(disk.pages, 0xCC, sizeof disk.pages);
    return disk.pages;
}

void fakeRelease(void* block) {
    EXPECT_EQ(block, (void*)disk.pages);
    disk.releases++;
}

const PartitionWalkOps fakeOps = {.readSectors = fakeRead, .allocate = fakeAllocate, .release = fakeRelease, .showBox = fakeShowBox};

struct Entry {
    uint8_t bytes[16];
};

// An entry whose bytes beyond the type and start address are all distinct, so
// a stored copy can be told from any other entry.
Entry makeEntry(uint8_t type, uint32_t cylinder, uint8_t head, uint8_t sector, uint8_t tag) {
    Entry e;
    for (int i = 0; i < 16; i++) e.bytes[i] = (uint8_t)(tag * 16 + i);
    e.bytes[0] = 0x80;
    e.bytes[1] = head;
    e.bytes[2] = (uint8_t)(sector | ((cylinder >> 8) << 6));
    e.bytes[3] = (uint8_t)cylinder;
    e.bytes[4] = type;
    return e;
}

Entry link(uint32_t cylinder, uint8_t head, uint8_t sector, uint8_t tag) {
    return makeEntry(PARTITION_TYPE_EXTENDED, cylinder, head, sector, tag);
}
Entry part(uint8_t type, uint8_t tag) { return makeEntry(type, 0, 0, 1, tag); }
Entry empty() {
    Entry e;
    memset(e.bytes, 0, sizeof e.bytes);
    return e;
}

FakeSector* putTable(uint32_t c, uint32_t h, uint32_t s, Entry e0, Entry e1 = empty(), Entry e2 = empty(),
                     Entry e3 = empty()) {
    FakeSector* sec = findSector(c, h, s);
    if (!sec) {
        EXPECT_LT(disk.sectorCount, MAX_FAKE_SECTORS);
        sec = &disk.sectors[disk.sectorCount++];
        sec->cylinder = (uint16_t)c, sec->head = (uint16_t)h, sec->sector = (uint16_t)s;
    }
    sec->failWord = 0;
    for (uint32_t i = 0; i < SECTOR_SIZE; i++) sec->bytes[i] = (uint8_t)(i * 7);  // boot code, not a table
    const Entry entries[4] = {e0, e1, e2, e3};
    for (int i = 0; i < 4; i++) memcpy(sec->bytes + 446 + 16 * i, entries[i].bytes, 16);
    sec->bytes[510] = 0x55;
    sec->bytes[511] = 0xAA;
    return sec;
}

class PartitionWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        resetFakes();
        disk.sectorCount = 0;
        disk.reads.clear();
        fakeBoxes.shown.clear();
        disk.fanOut = false;
        disk.fanOutNext = 0;
        disk.allocationFails = false;
        disk.bytesAsked = 0;
        disk.allocations = disk.releases = 0;
        for (uint32_t d = 0; d < MAX_DRIVES; d++) app.driveTable[d] = DriveGeometry{1024, 255, 63, SECTOR_SIZE};
        app.mainWindow = (void*)0x1234;
    }
    void TearDown() override {
        EXPECT_EQ(disk.allocations, disk.releases) << "sector buffer not released";
        for (uint32_t i = 0; i < disk.reads.size(); i++) {
            EXPECT_NE(disk.reads[i].sector, 0u) << "read of a wrapped sector address";
            EXPECT_EQ(disk.reads[i].count, 1u);
        }
    }

    void expectList(uint32_t drive, const std::vector<Entry>& expected) {
        ASSERT_EQ(app.partitionCounts[drive], expected.size());
        for (uint32_t i = 0; i < expected.size(); i++)
            EXPECT_EQ(0, memcmp(app.partitionLists[drive][i].bytes, expected[i].bytes, 16)) << "entry " << i;
    }
    void expectNoRepeatedRead() {
        for (uint32_t i = 0; i < disk.reads.size(); i++)
            for (uint32_t j = i + 1; j < disk.reads.size(); j++)
                EXPECT_FALSE(disk.reads[i].cylinder == disk.reads[j].cylinder &&
                             disk.reads[i].head == disk.reads[j].head && disk.reads[i].sector == disk.reads[j].sector)
                    << "reads " << i << " and " << j << " hit the same address";
    }
};

TEST_F(PartitionWalkTest, FirstSectorWithoutSignatureGivesEmptyListAndNoMessage) {
    app.partitionCounts[0] = 7;  // left from earlier: must be reset
    FakeSector* mbr = putTable(0, 0, 1, part(6, 1));
    mbr->bytes[510] = 0xAA;
    mbr->bytes[511] = 0x55;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 0);
    EXPECT_EQ(app.partitionCounts[0], 0u);
    EXPECT_TRUE(fakeBoxes.shown.empty());

    mbr->bytes[510] = 0x55;
    mbr->bytes[511] = 0x00;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 0);
    EXPECT_EQ(app.partitionCounts[0], 0u);
    EXPECT_TRUE(fakeBoxes.shown.empty());
}

TEST_F(PartitionWalkTest, FourEmptySlotsGiveEmptyListAndSuccess) {
    putTable(0, 0, 1, empty());
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    EXPECT_EQ(app.partitionCounts[0], 0u);
    ASSERT_EQ(disk.reads.size(), 1u);
    EXPECT_EQ(disk.reads[0].cylinder, 0u);
    EXPECT_EQ(disk.reads[0].head, 0u);
    EXPECT_EQ(disk.reads[0].sector, 1u);
}

// Types 6, 5, 7, 0; the extended table holds a 6 and a link to a last table.
class NestedDiskTest : public PartitionWalkTest {
protected:
    Entry primary6 = part(6, 1), link1 = link(2, 0, 1, 2), primary7 = part(7, 3);
    // The inner link needs the cylinder's high bits: 700 = 0x2BC.
    Entry inner6 = part(6, 4), innerLink = link(700, 3, 5, 5);
    Entry last0B = part(0x0B, 6);
    FakeSector* lastTable = nullptr;

    void SetUp() override {
        PartitionWalkTest::SetUp();
        putTable(0, 0, 1, primary6, link1, primary7, empty());
        putTable(2, 0, 1, inner6, innerLink);
        lastTable = putTable(700, 3, 5, empty(), last0B);
    }
};

TEST_F(NestedDiskTest, InnerTablesStandInPlaceOfTheirLinksDepthFirst) {
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {primary6, inner6, last0B, primary7});
    ASSERT_EQ(disk.reads.size(), 3u);
    EXPECT_EQ(disk.reads[1].cylinder, 2u);
    EXPECT_EQ(disk.reads[2].cylinder, 700u);
    EXPECT_EQ(disk.reads[2].head, 3u);
    EXPECT_EQ(disk.reads[2].sector, 5u);
    EXPECT_TRUE(fakeBoxes.shown.empty());
    EXPECT_EQ(disk.bytesAsked, SECTOR_SIZE);
}

TEST_F(NestedDiskTest, UnreadableLastTableLeavesItsLinkListedAfterOneBox) {
    lastTable->failWord = 0x1B00;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {primary6, inner6, innerLink, primary7});
    ASSERT_EQ(fakeBoxes.shown.size(), 1u);
    EXPECT_EQ(fakeBoxes.shown[0].text, "Reading error ( code=1Bh )");
    EXPECT_EQ(fakeBoxes.shown[0].owner, (void*)0x1234);
    EXPECT_EQ(fakeBoxes.shown[0].style, 0x10u);
}

TEST_F(NestedDiskTest, UnsignedLastTableLeavesItsLinkListedSilently) {
    lastTable->bytes[511] = 0;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {primary6, inner6, innerLink, primary7});
    EXPECT_TRUE(fakeBoxes.shown.empty());
}

TEST_F(NestedDiskTest, ListGoesToTheDriveAskedWithItsSectorSize) {
    putTable(0, 0, 1, primary6);  // drive 0 would give another list
    app.driveTable[3].bytesPerSector = 4096;
    app.partitionCounts[0] = 2;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 3), 1);
    EXPECT_EQ(disk.bytesAsked, 4096u);
    for (const ReadCall& r : disk.reads) EXPECT_EQ(r.drive, 3u);
    EXPECT_EQ(app.partitionCounts[0], 2u);
    EXPECT_EQ(app.partitionCounts[3], 1u);
}

TEST_F(PartitionWalkTest, OnlyType5IsFollowed) {
    // 0x0F and 0x85 point at signed tables; they are listed and nothing is read.
    Entry lba = makeEntry(0x0F, 2, 0, 1, 1), linux = makeEntry(0x85, 3, 0, 1, 2);
    putTable(0, 0, 1, lba, linux);
    putTable(2, 0, 1, part(6, 3));
    putTable(3, 0, 1, part(7, 4));
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {lba, linux});
    EXPECT_EQ(disk.reads.size(), 1u);
}

TEST_F(PartitionWalkTest, UnreadableFirstSectorShowsOneBoxAndEmptiesTheList) {
    const struct {
        uint32_t word;
        const char* text;
    } cases[] = {{0x1B00, "Reading error ( code=1Bh )"},
                 {0x80000000u, "Reading error ( code=0h )"},
                 {0x8000FF00u, "Reading error ( code=FFh )"}};
    for (const auto& c : cases) {
        fakeBoxes.shown.clear();
        app.partitionCounts[0] = 4;
        putTable(0, 0, 1, part(6, 1))->failWord = c.word;
        EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 0);
        EXPECT_EQ(app.partitionCounts[0], 0u);
        ASSERT_EQ(fakeBoxes.shown.size(), 1u);
        EXPECT_EQ(fakeBoxes.shown[0].text, c.text);
        EXPECT_EQ(fakeBoxes.shown[0].style, 0x10u);
    }
    // Before the dialog has set its window the box has no owner.
    app.mainWindow = nullptr;
    fakeBoxes.shown.clear();
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 0);
    ASSERT_EQ(fakeBoxes.shown.size(), 1u);
    EXPECT_EQ(fakeBoxes.shown[0].owner, nullptr);
}

TEST_F(PartitionWalkTest, NoBufferShowsOutOfMemoryAndReadsNothing) {
    putTable(0, 0, 1, part(6, 1));
    app.partitionCounts[0] = 3;
    disk.allocationFails = true;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 0);
    EXPECT_EQ(app.partitionCounts[0], 0u);
    EXPECT_TRUE(disk.reads.empty());
    ASSERT_EQ(fakeBoxes.shown.size(), 1u);
    EXPECT_EQ(fakeBoxes.shown[0].text, "Out of memory!");
    EXPECT_EQ(fakeBoxes.shown[0].owner, (void*)0x1234);
    EXPECT_EQ(fakeBoxes.shown[0].style, 0x10u);
}

TEST_F(PartitionWalkTest, ListStopsAtTwentyEntriesAndTheWalkEnds) {
    // A primary, then a chain of 25 logical drives, then a primary after it.
    Entry first = part(6, 100), after = part(7, 101);
    putTable(0, 0, 1, first, link(1, 0, 1, 102), after);
    std::vector<Entry> logicals;
    for (uint32_t k = 1; k <= 25; k++) {
        logicals.push_back(part(0x0B, (uint8_t)k));
        putTable(k, 0, 1, logicals.back(), k < 25 ? link(k + 1, 0, 1, (uint8_t)(k + 50)) : empty());
    }
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    std::vector<Entry> expected = {first};
    expected.insert(expected.end(), logicals.begin(), logicals.begin() + 19);
    expectList(0, expected);
    // The full list stops the walk: the 19th logical's table is the last read.
    EXPECT_EQ(disk.reads.size(), 20u);
    EXPECT_TRUE(fakeBoxes.shown.empty());
}

TEST_F(PartitionWalkTest, SelfLinkedTableIsReadOnceAndItsLinkListed) {
    Entry logical = part(6, 1), self = link(1, 0, 1, 2), back = link(0, 0, 1, 3);
    putTable(0, 0, 1, link(1, 0, 1, 4));
    putTable(1, 0, 1, logical, self, back);
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {logical, self, back});
    EXPECT_EQ(disk.reads.size(), 2u);
    expectNoRepeatedRead();
}

TEST_F(PartitionWalkTest, TwoTableLoopEnds) {
    Entry a = part(6, 1), b = part(7, 2), backToA = link(1, 0, 1, 3);
    putTable(0, 0, 1, link(1, 0, 1, 4));
    putTable(1, 0, 1, a, link(2, 0, 1, 5));
    putTable(2, 0, 1, b, backToA);
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {a, b, backToA});
    EXPECT_EQ(disk.reads.size(), 3u);
    expectNoRepeatedRead();
}

TEST_F(PartitionWalkTest, EndlessNestingIsCutAtTheTableBound) {
    // A chain of 200 distinct tables holding nothing but the link to the next.
    for (uint32_t k = 0; k < 200; k++) putTable(k, 0, 1, link(k + 1, 0, 1, (uint8_t)k));
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    EXPECT_EQ(disk.reads.size(), (size_t)MAX_PARTITION_TABLES);
    // The deepest table read keeps its link; every other stands in for its own.
    expectList(0, {link(MAX_PARTITION_TABLES, 0, 1, (uint8_t)(MAX_PARTITION_TABLES - 1))});
    expectNoRepeatedRead();
}

TEST_F(PartitionWalkTest, FanOutOfLinksIsCutAtTheTableBound) {
    // Every table read links to four tables never seen before: bounding only
    // the depth would still read 4 to the power of it.
    disk.fanOut = true;
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    EXPECT_EQ(disk.reads.size(), (size_t)MAX_PARTITION_TABLES);
    // Links left unfollowed are listed until the list is full.
    EXPECT_EQ(app.partitionCounts[0], (uint32_t)MAX_PARTITIONS);
    expectNoRepeatedRead();
}

TEST_F(PartitionWalkTest, StartSectorZeroIsNeverRead) {
    Entry broken = link(1, 0, 0, 1), seven = part(7, 2);
    putTable(0, 0, 1, broken, seven);
    putTable(1, 0, 0, part(6, 3));  // what a wrapped read could meet
    EXPECT_EQ(loadPartitionMapWith(fakeOps, 0), 1);
    expectList(0, {broken, seven});
    EXPECT_EQ(disk.reads.size(), 1u);
    EXPECT_TRUE(fakeBoxes.shown.empty());

    uint8_t buffer[SECTOR_SIZE];
    EXPECT_EQ(scanPartitionsWith(fakeOps, 0, 1, 0, 0, buffer), 0);
    EXPECT_EQ(disk.reads.size(), 1u);
}

}  // namespace
