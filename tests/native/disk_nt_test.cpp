// The NT family's discovery and sector read over a fake device.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "drive/disk_nt.h"
#include "drive/disk_ops.h"
#include "drive/sector_service.h"
#include "fakes.h"

namespace {

FakeDrive failing(uint32_t error) {
    FakeDrive d;
    d.opens = false;
    d.openError = error;
    return d;
}

std::vector<std::string> opened() {
    std::vector<std::string> names;
    for (const std::string& e : fakeDevice.events)
        if (e.rfind("open ", 0) == 0) names.push_back(e.substr(5));
    return names;
}

class DiskNt : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        resetFakes();
        app.ntDevice = &FAKE_DEVICE;
    }
    DriveGeometry table[MAX_DRIVES] = {};
};

TEST(DeviceName, OneCharacterAfterThePrefix) {
    char name[DEVICE_NAME_SIZE];
    formatDeviceName(name, 0);
    EXPECT_STREQ(name, "\\\\.\\PHYSICALDRIVE0");
    formatDeviceName(name, 9);
    EXPECT_STREQ(name, "\\\\.\\PHYSICALDRIVE9");
    formatDeviceName(name, 10);
    EXPECT_STREQ(name, "\\\\.\\PHYSICALDRIVE:");
    formatDeviceName(name, 19);
    EXPECT_STREQ(name, "\\\\.\\PHYSICALDRIVEC");
}

TEST(SectorOffset, SmallAndAbove4GiB) {
    DriveGeometry g = {1024, 16, 63, 512};
    EXPECT_EQ(sectorByteOffset(g, 2, 3, 4), (uint64_t)(2 * 16 * 63 + 3 * 63 + 3) * 512);
    EXPECT_EQ(sectorByteOffset(g, 0, 0, 1), 0u);
    DriveGeometry big = {1024, 255, 63, 512};
    uint64_t expected = (uint64_t)(1023ull * 255 * 63 + 254 * 63 + 62) * 512;
    EXPECT_EQ(sectorByteOffset(big, 1023, 254, 63), expected);
    EXPECT_EQ(expected >> 32, 1u);
}

TEST(ResultWord, SystemErrorsAlwaysReadAsFailures) {
    EXPECT_EQ(failureWordFromSystemError(23), 23u << 8);
    EXPECT_EQ(sectorReadErrorCode(failureWordFromSystemError(23)), 23u);
    EXPECT_EQ(sectorReadErrorCode(failureWordFromSystemError(0x45D)), 0x5Du);
    for (uint32_t e : {0u, 0x100u, 0x200u, 0x4500u, 0xFFFFFF00u, 0x45Du, 1u, 0xFFu, 0x12345678u}) {
        EXPECT_TRUE(sectorReadFailed(failureWordFromSystemError(e))) << std::hex << e;
    }
    // A low byte of zero must not look like the bare open failure either.
    EXPECT_NE(failureWordFromSystemError(0x100), SECTOR_RESULT_OPEN_FAILED);
    EXPECT_FALSE(sectorReadFailed(1));
    EXPECT_FALSE(sectorReadFailed(63));
    EXPECT_TRUE(sectorReadFailed(SECTOR_RESULT_OPEN_FAILED));
    EXPECT_EQ(sectorReadErrorCode(SECTOR_RESULT_OPEN_FAILED), 0u);
}

// Through the family's table, as start-up runs it.
TEST_F(DiskNt, DiscoveryStopsAtTheFirstGapAndCopiesLow32BitsOfCylinders) {
    fakeDevice.drives = {answeringDrive(0x100002710ull, 255, 63, 512), failing(2), answeringDrive(10, 1, 1, 512)};
    EXPECT_EQ(NT_DISK.enumerateDrives(table), 1u);
    EXPECT_EQ(table[0].cylinders, 10000u);
    EXPECT_EQ(table[0].heads, 255u);
    EXPECT_EQ(table[0].sectorsPerTrack, 63u);
    EXPECT_EQ(table[0].bytesPerSector, 512u);
    EXPECT_EQ(opened().size(), 2u);  // index 2 never probed
    EXPECT_EQ(fakeDevice.openHandles, 0);
    EXPECT_TRUE(fakeBoxes.shown.empty());
}

TEST_F(DiskNt, DiscoveryEndsAtADeviceRefusingGeometryAndClosesIt) {
    fakeDevice.drives = {answeringDrive(5, 2, 3, 512), answeringDrive(5, 2, 3, 512)};
    fakeDevice.drives[1].answersGeometry = false;
    EXPECT_EQ(enumerateDrivesWith(FAKE_DEVICE, table), 1u);
    EXPECT_EQ(fakeDevice.count("close"), 2u);
    EXPECT_EQ(fakeDevice.openHandles, 0);
    EXPECT_EQ(table[1].cylinders, 0u);  // not written
}

TEST_F(DiskNt, DiscoveryProbesAtMostTwentyNames) {
    fakeDevice.drives.assign(25, answeringDrive(100, 4, 17, 512));
    EXPECT_EQ(enumerateDrivesWith(FAKE_DEVICE, table), 20u);
    ASSERT_EQ(opened().size(), 20u);
    EXPECT_EQ(opened().back(), "\\\\.\\PHYSICALDRIVEC");
    for (const std::string& n : opened()) EXPECT_EQ(n.size(), strlen("\\\\.\\PHYSICALDRIVE0"));
}

TEST_F(DiskNt, AccessDeniedShowsOneOwnerlessBoxAndExitsWithOne) {
    app.mainWindow = (void*)0x1234;  // discovery boxes never have an owner
    fakeDevice.drives = {failing(SYS_ERROR_ACCESS_DENIED)};
    enumerateDrivesWith(FAKE_DEVICE, table);
    ASSERT_EQ(fakeBoxes.shown.size(), 1u);
    EXPECT_EQ(fakeBoxes.shown[0].text, "Access denied! You maust be Administrator!");
    EXPECT_EQ(fakeBoxes.shown[0].owner, nullptr);
    EXPECT_EQ(fakeBoxes.shown[0].style, BOX_ICON_ERROR);
    EXPECT_EQ(fakeDevice.exitCode, 1);
}

TEST_F(DiskNt, ReadPositionsAtTheFullOffsetAndReturnsTheCount) {
    app.driveTable[0] = {1024, 255, 63, 512};
    fakeDevice.drives = {answeringDrive(1024, 255, 63, 512)};
    uint8_t buffer[512];
    EXPECT_EQ(NT_DISK.readSectors(0, 1023, 254, 63, 1, buffer), 1u);
    const std::string at = std::to_string((1023ull * 255 * 63 + 254 * 63 + 62) * 512);
    EXPECT_EQ(fakeDevice.events,
              (std::vector<std::string>{"open \\\\.\\PHYSICALDRIVE0", "position " + at, "read 512", "close"}));
    EXPECT_TRUE(fakeBoxes.shown.empty());
}

TEST_F(DiskNt, ReadFailuresShowTheirBoxCloseTheHandleAndReturnTheWord) {
    app.driveTable[0] = {1024, 16, 63, 512};
    app.mainWindow = (void*)0x55;
    fakeDevice.drives = {answeringDrive(1024, 16, 63, 512)};
    uint8_t buffer[512];

    fakeDevice.readError = 23;
    EXPECT_EQ(readSectorsWith(FAKE_DEVICE, 0, 0, 0, 1, 1, buffer), 23u << 8);
    fakeDevice.readError = 0;
    fakeDevice.positionError = 0x45D;
    uint32_t word = readSectorsWith(FAKE_DEVICE, 0, 0, 0, 1, 1, buffer);
    EXPECT_TRUE(sectorReadFailed(word));
    EXPECT_EQ(sectorReadErrorCode(word), 0x5Du);
    fakeDevice.positionError = 0x100;
    EXPECT_TRUE(sectorReadFailed(readSectorsWith(FAKE_DEVICE, 0, 0, 0, 1, 1, buffer)));

    EXPECT_EQ(fakeBoxes.texts(), (std::vector<std::string>{"Reading error ( code=17h )",
                                                           "Set file pointer error ( code=45Dh )",
                                                           "Set file pointer error ( code=100h )"}));
    for (const BoxShown& b : fakeBoxes.shown) {
        EXPECT_EQ(b.owner, (void*)0x55);
        EXPECT_EQ(b.style, BOX_ICON_ERROR);
    }
    EXPECT_EQ(fakeDevice.openHandles, 0);
    EXPECT_EQ(fakeDevice.count("close"), 3u);
}

TEST_F(DiskNt, ReadOfAnUnopenableDrive) {
    app.driveTable[0] = {1024, 16, 63, 512};
    fakeDevice.drives = {failing(2)};
    uint8_t buffer[512];
    EXPECT_EQ(readSectorsWith(FAKE_DEVICE, 0, 0, 0, 1, 1, buffer), SECTOR_RESULT_OPEN_FAILED);
    EXPECT_EQ(fakeBoxes.texts(), std::vector<std::string>{"Can't open disk!"});
}

}  // namespace
