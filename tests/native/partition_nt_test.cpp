// The partition walk reading through the NT device logic, with a fake device:
// the boxes of both layers and the cylinder/head/sector to byte mapping.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "drive/drive_access.h"
#include "partition/partition_walk.h"

namespace {

struct Device {
    std::vector<uint8_t> image;  // the whole disk, as one long file
    bool opens = true;
    uint32_t readError = 0;  // non-zero: every read fails with it
    uint64_t position = 0;
    int handles = 0;
    std::vector<std::string> boxes;
    std::vector<uint64_t> readOffsets;
};
Device* device;

intptr_t devOpen(const char*, bool) {
    if (!device->opens) return HANDLE_INVALID;
    device->handles++;
    return 5;
}
uint32_t devLastError() { return device->readError; }
bool devGeometry(intptr_t, uint8_t*) { return false; }
bool devSetPosition(intptr_t, uint64_t offset) {
    device->position = offset;
    return true;
}
bool devRead(intptr_t, void* buffer, uint32_t bytes) {
    device->readOffsets.push_back(device->position);
    if (device->readError) return false;
    if (device->position + bytes > device->image.size()) return false;
    memcpy(buffer, device->image.data() + device->position, bytes);
    return true;
}
void devClose(intptr_t) { device->handles--; }
int32_t recordBox(void*, const char* text, uint32_t style) {
    EXPECT_EQ(style, 0x10u);
    device->boxes.push_back(text);
    return 1;
}

const DeviceOps DEVICE_OPS = {
    .open = devOpen,
    .lastError = devLastError,
    .getGeometry = devGeometry,
    .setPosition = devSetPosition,
    .read = devRead,
    .readAt = nullptr,
    .close = devClose,
};

uint32_t readThroughDevice(uint32_t drive, uint32_t c, uint32_t h, uint32_t s, uint32_t count, void* buffer) {
    return readSectorsWith(DEVICE_OPS, recordBox, drive, c, h, s, count, buffer);
}

alignas(4096) uint8_t pages[4096];
void* pageAllocate(uint32_t bytes) { return bytes <= sizeof pages ? pages : nullptr; }
void pageRelease(void*) {}

const PartitionWalkOps WALK_OPS = {
    .readSectors = readThroughDevice, .allocate = pageAllocate, .release = pageRelease, .showBox = recordBox};

class PartitionNtTest : public ::testing::Test {
protected:
    Device dev;
    void SetUp() override {
        resetAppState();
        app.platformKind = PLATFORM_NT;
        app.driveTable[0] = DriveGeometry{4, 16, 63, 512};
        app.driveCount = 1;
        dev.image.assign(4 * 16 * 63 * 512, 0);
        device = &dev;
    }
    void TearDown() override { EXPECT_EQ(dev.handles, 0); }

    uint8_t* sectorAt(uint32_t c, uint32_t h, uint32_t s) {
        return dev.image.data() + ((c * 16 + h) * 63 + (s - 1)) * 512;
    }
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

TEST_F(PartitionNtTest, FailedReadShowsTheFullCodeThenItsLowByte) {
    dev.readError = 0x45D;
    EXPECT_EQ(loadPartitionMapWith(WALK_OPS, 0), 0);
    ASSERT_EQ(dev.boxes.size(), 2u);
    EXPECT_EQ(dev.boxes[0], "Reading error ( code=45Dh )");
    EXPECT_EQ(dev.boxes[1], "Reading error ( code=5Dh )");
    EXPECT_EQ(app.partitionCounts[0], 0u);
}

TEST_F(PartitionNtTest, DeviceThatWillNotOpenShowsCantOpenThenCodeZero) {
    dev.opens = false;
    EXPECT_EQ(loadPartitionMapWith(WALK_OPS, 0), 0);
    ASSERT_EQ(dev.boxes.size(), 2u);
    EXPECT_EQ(dev.boxes[0], "Can't open disk!");
    EXPECT_EQ(dev.boxes[1], "Reading error ( code=0h )");
}

TEST_F(PartitionNtTest, NestedTablesAreFoundAtTheirByteOffsets) {
    // The extended table at cylinder 2, head 3, sector 4 holds one logical drive.
    putEntry(sectorAt(0, 0, 1), 0, 0x07, 0, 1, 1);
    putEntry(sectorAt(0, 0, 1), 1, 0x05, 2, 3, 4);
    putEntry(sectorAt(2, 3, 4), 0, 0x0B, 2, 3, 5);
    EXPECT_EQ(loadPartitionMapWith(WALK_OPS, 0), 1);
    ASSERT_EQ(app.partitionCounts[0], 2u);
    EXPECT_EQ(app.partitionLists[0][0].bytes[4], 0x07);
    EXPECT_EQ(app.partitionLists[0][1].bytes[4], 0x0B);
    ASSERT_EQ(dev.readOffsets.size(), 2u);
    EXPECT_EQ(dev.readOffsets[1], (uint64_t)(2 * 16 * 63 + 3 * 63 + 3) * 512);
    EXPECT_TRUE(dev.boxes.empty());
}

}  // namespace
