// The partition walk reading through the NT family's sector read, with a fake
// device: the boxes of both layers and the cylinder/head/sector to byte
// mapping.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/disk_ops.h"
#include "fakes.h"
#include "partition/partition_walk.h"

namespace {

alignas(4096) uint8_t pages[4096];
void* pageAllocate(uint32_t bytes) { return bytes <= sizeof pages ? pages : nullptr; }
void pageRelease(void*) {}

const PartitionWalkOps WALK_OPS = {
    .readSectors = NT_DISK.readSectors, .allocate = pageAllocate, .release = pageRelease, .showBox = fakeShowBox};

class PartitionWalkNt : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        resetFakes();
        app.platformKind = PLATFORM_NT;
        app.ntDevice = &FAKE_DEVICE;
        app.driveTable[0] = DriveGeometry{4, 16, 63, 512};
        app.driveCount = 1;
        fakeDevice.drives.resize(1);
        image().assign(4 * 16 * 63 * 512, 0);
    }
    void TearDown() override { EXPECT_EQ(fakeDevice.openHandles, 0); }

    std::vector<uint8_t>& image() { return fakeDevice.drives[0].image; }
    uint8_t* sectorAt(uint32_t c, uint32_t h, uint32_t s) { return image().data() + ((c * 16 + h) * 63 + (s - 1)) * 512; }
    void putEntry(uint8_t* sector, int slot, uint8_t type, uint32_t c, uint8_t h, uint8_t s) {
        uint8_t* e = sector + 446 + 16 * slot;
        e[1] = h;
        e[2] = (uint8_t)(s | ((c >> 8) << 6));
        e[3] = (uint8_t)c;
        e[4] = type;
        sector[510] = 0x55;
        sector[511] = 0xAA;
    }
};

TEST_F(PartitionWalkNt, FailedReadShowsTheFullCodeThenItsLowByte) {
    fakeDevice.readError = 0x45D;
    EXPECT_EQ(loadPartitionMapWith(WALK_OPS, 0), 0);
    EXPECT_EQ(fakeBoxes.texts(), (std::vector<std::string>{"Reading error ( code=45Dh )", "Reading error ( code=5Dh )"}));
    EXPECT_EQ(fakeBoxes.shown[0].style, BOX_ICON_ERROR);
    EXPECT_EQ(fakeBoxes.shown[1].style, BOX_OK | BOX_ICON_ERROR);
    EXPECT_EQ(app.partitionCounts[0], 0u);
}

TEST_F(PartitionWalkNt, DeviceThatWillNotOpenShowsCantOpenThenCodeZero) {
    fakeDevice.drives[0].opens = false;
    EXPECT_EQ(loadPartitionMapWith(WALK_OPS, 0), 0);
    EXPECT_EQ(fakeBoxes.texts(), (std::vector<std::string>{"Can't open disk!", "Reading error ( code=0h )"}));
}

TEST_F(PartitionWalkNt, NestedTablesAreFoundAtTheirByteOffsets) {
    // The extended table at cylinder 2, head 3, sector 4 holds one logical drive.
    putEntry(sectorAt(0, 0, 1), 0, 0x07, 0, 1, 1);
    putEntry(sectorAt(0, 0, 1), 1, 0x05, 2, 3, 4);
    putEntry(sectorAt(2, 3, 4), 0, 0x0B, 2, 3, 5);
    EXPECT_EQ(loadPartitionMapWith(WALK_OPS, 0), 1);
    ASSERT_EQ(app.partitionCounts[0], 2u);
    EXPECT_EQ(app.partitionLists[0][0].bytes[4], 0x07);
    EXPECT_EQ(app.partitionLists[0][1].bytes[4], 0x0B);
    EXPECT_EQ(fakeDevice.count("position " + std::to_string((2 * 16 * 63 + 3 * 63 + 3) * 512)), 1u);
    EXPECT_EQ(fakeDevice.count("read 512"), 2u);
    EXPECT_TRUE(fakeBoxes.shown.empty());
}

}  // namespace
