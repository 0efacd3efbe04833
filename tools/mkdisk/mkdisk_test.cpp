#include "disk_layout.h"

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

namespace {

TEST(MkdiskEncodingTest, ChsFieldsCarryCylinderHighBitsInTheSectorByte) {
    uint8_t chs[3];
    ASSERT_TRUE(encodeChs({1023, 254, 63}, chs));
    EXPECT_EQ(chs[0], 254);
    EXPECT_EQ(chs[1], 0xFF);  // 63 | 0xC0
    EXPECT_EQ(chs[2], 0xFF);
    ASSERT_TRUE(encodeChs({0x2A5, 3, 1}, chs));
    EXPECT_EQ(chs[1], 0x81);
    EXPECT_EQ(chs[2], 0xA5);
    EXPECT_FALSE(encodeChs({1024, 0, 1}, chs));
    EXPECT_FALSE(encodeChs({0, 256, 1}, chs));
    EXPECT_FALSE(encodeChs({0, 0, 64}, chs));
}

TEST(MkdiskEncodingTest, EntryBytesAndTableSector) {
    const DiskGeometry g{1024, 16, 63, 512};
    EntryLayout layout;
    ASSERT_TRUE(parseEntryLayout("a5:850/0/1-1023/15/63", &layout));
    uint8_t e[TABLE_ENTRY_BYTES];
    ASSERT_TRUE(encodeAbsoluteEntry(g, layout, e));
    const uint8_t expected[TABLE_ENTRY_BYTES] = {0x00, 0x00, 0xC1, 0x52, 0xA5, 0x0F, 0xFF, 0xFF,
                                                 0xE0, 0x12, 0x0D, 0x00,   // 850 * 1008 = 856800
                                                 0x20, 0xAD, 0x02, 0x00};  // 174 * 1008 = 175392
    EXPECT_EQ(0, memcmp(e, expected, sizeof e));

    uint8_t entries[TABLE_ENTRY_COUNT][TABLE_ENTRY_BYTES];
    memset(entries, 0, sizeof entries);
    memcpy(entries[3], e, sizeof e);
    uint8_t sector[TABLE_SECTOR_BYTES];
    buildTableSector(entries, true, sector);
    EXPECT_EQ(sector[510], 0x55);
    EXPECT_EQ(sector[511], 0xAA);
    EXPECT_EQ(0, memcmp(sector + 446 + 48, e, sizeof e));
    EXPECT_EQ(sector[446 + 4], 0);
    buildTableSector(entries, false, sector);
    EXPECT_EQ(sector[510], 0);
    EXPECT_EQ(sector[511], 0);

    // An end before the start gives a zero count rather than a wrapped one.
    ASSERT_TRUE(parseEntryLayout("5:10/0/1-9/0/1", &layout));
    ASSERT_TRUE(encodeAbsoluteEntry(g, layout, e));
    EXPECT_EQ(e[12] | e[13] | e[14] | e[15], 0);
}

TEST(MkdiskEncodingTest, ParsesEntryArguments) {
    EntryLayout layout;
    ASSERT_TRUE(parseEntryLayout("-", &layout));
    EXPECT_TRUE(layout.empty);
    ASSERT_TRUE(parseEntryLayout("0B:1/2/3-4/5/0", &layout));
    EXPECT_FALSE(layout.empty);
    EXPECT_EQ(layout.type, 0x0B);
    EXPECT_EQ(layout.start.cylinder, 1u);
    EXPECT_EQ(layout.start.head, 2u);
    EXPECT_EQ(layout.start.sector, 3u);
    EXPECT_EQ(layout.end.cylinder, 4u);
    EXPECT_EQ(layout.end.sector, 0u);  // 0-sector links are allowed on purpose
    const char* bad[] = {"", "5", "5:", "x5:1/2/3-4/5/6", "105:1/2/3-4/5/6", "5:1/2/3", "5:1/2/3-4/5",
                         "5:1/2/3-4/5/6/7", "5:1024/0/1-0/0/1", "5:0/256/1-0/0/1", "5:0/0/64-0/0/1",
                         "5:1/2/3-4/5/6x", "5:-1/2/3-4/5/6", ":1/2/3-4/5/6"};
    for (const char* text : bad) EXPECT_FALSE(parseEntryLayout(text, &layout)) << text;
}

TEST(MkdiskEncodingTest, ImageSizesAndAddresses) {
    uint64_t size = 0;
    ASSERT_TRUE(imageBytes({1024, 16, 63, 512}, &size));
    EXPECT_EQ(size, 528482304u);
    EXPECT_FALSE(imageBytes({0, 16, 63, 512}, &size));
    EXPECT_FALSE(imageBytes({0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 512}, &size));
    const DiskGeometry g{10, 4, 17, 512};
    EXPECT_TRUE(addressOnDisk(g, {9, 3, 17}));
    EXPECT_FALSE(addressOnDisk(g, {0, 0, 0}));
    EXPECT_FALSE(addressOnDisk(g, {0, 0, 18}));
    EXPECT_EQ(chsToLba(g, {2, 1, 5}), (2u * 4 + 1) * 17 + 4);
}

// Follows the demo disk's tables the way the program's walk does: from 0/0/1,
// into every type-5 entry at its absolute CHS start, listing everything else.
struct WalkResult {
    std::vector<uint8_t> types;
    int tablesRead = 0;
};

const DemoSector* sectorAt(const DemoDisk& disk, const ChsAddress& a) {
    for (uint32_t i = 0; i < disk.sectorCount; ++i) {
        const ChsAddress& at = disk.sectors[i].at;
        if (at.cylinder == a.cylinder && at.head == a.head && at.sector == a.sector) return &disk.sectors[i];
    }
    return nullptr;
}

void walk(const DemoDisk& disk, const ChsAddress& at, uint64_t extendedBase, WalkResult* out) {
    const DemoSector* s = sectorAt(disk, at);
    ASSERT_NE(s, nullptr) << at.cylinder << "/" << at.head << "/" << at.sector;
    ASSERT_EQ(s->bytes[510], 0x55);
    ASSERT_EQ(s->bytes[511], 0xAA);
    ++out->tablesRead;
    const uint64_t self = chsToLba(disk.geometry, at);
    for (int i = 0; i < TABLE_ENTRY_COUNT; ++i) {
        const uint8_t* e = s->bytes + TABLE_ENTRIES_OFFSET + i * TABLE_ENTRY_BYTES;
        if (e[4] == 0) continue;
        ChsAddress start{(uint32_t)((e[2] & 0xC0) << 2 | e[3]), e[1], (uint32_t)(e[2] & 0x3F)};
        ChsAddress end{(uint32_t)((e[6] & 0xC0) << 2 | e[7]), e[5], (uint32_t)(e[6] & 0x3F)};
        EXPECT_TRUE(addressOnDisk(disk.geometry, start));
        EXPECT_TRUE(addressOnDisk(disk.geometry, end));
        uint32_t lba = (uint32_t)(e[8] | e[9] << 8 | e[10] << 16 | (uint32_t)e[11] << 24);
        uint32_t count = (uint32_t)(e[12] | e[13] << 8 | e[14] << 16 | (uint32_t)e[15] << 24);
        // LBA fields: absolute in the master record, relative inside the chain
        // (to the extended partition for links, to the own table otherwise).
        bool inChain = self != 0;
        uint64_t base = !inChain ? 0 : (e[4] == 0x05 ? extendedBase : self);
        EXPECT_EQ(lba + base, chsToLba(disk.geometry, start)) << "type " << (int)e[4];
        EXPECT_EQ(count, chsToLba(disk.geometry, end) - chsToLba(disk.geometry, start) + 1);
        if (e[4] == 0x05) {
            walk(disk, start, inChain ? extendedBase : chsToLba(disk.geometry, start), out);
        } else {
            out->types.push_back(e[4]);
        }
    }
}

TEST(MkdiskDemoTest, DemoDisksHoldConsistentChains) {
    static DemoDisk disk;
    buildDemoDisk0(&disk);
    EXPECT_EQ(disk.geometry.cylinders, 1024u);
    EXPECT_EQ(disk.geometry.heads, 16u);
    EXPECT_EQ(disk.geometry.sectors, 63u);
    WalkResult result;
    walk(disk, {0, 0, 1}, 0, &result);
    EXPECT_EQ(result.tablesRead, 3);
    EXPECT_EQ(result.types, (std::vector<uint8_t>{0x06, 0x07, 0x0B, 0x83, 0xA5}));
    EXPECT_EQ(disk.partitionCount, 5u);

    buildDemoDisk1(&disk);
    EXPECT_EQ(disk.geometry.cylinders, 120u);
    WalkResult small;
    walk(disk, {0, 0, 1}, 0, &small);
    EXPECT_EQ(small.types, (std::vector<uint8_t>{0x06}));
}

}  // namespace
