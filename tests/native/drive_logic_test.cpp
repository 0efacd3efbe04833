#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "drive/drive_access.h"

namespace {

// A scripted NT device: per drive index whether it opens, with what error,
// and whether it answers the geometry request.
struct FakeDrive {
    bool opens;
    uint32_t openError;
    bool answers;
    uint8_t reply[24];
};

struct FakeWorld {
    std::vector<FakeDrive> drives;
    std::vector<std::string> opened;
    int openHandles = 0;
    int closes = 0;
    uint32_t lastError = 0;
    bool positionFails = false;
    uint32_t positionError = 0;
    bool readFails = false;
    uint32_t readError = 0;
    uint64_t position = 0;
    uint32_t readBytes = 0;
    std::vector<std::string> boxes;
    std::vector<void*> boxOwners;
    int exitCode = -1;
};
FakeWorld* world;

intptr_t fakeOpen(const char* name, bool noBuffering) {
    EXPECT_FALSE(noBuffering);
    world->opened.push_back(name);
    size_t index = (unsigned char)name[strlen(name) - 1] - '0';
    if (index >= world->drives.size() || !world->drives[index].opens) {
        world->lastError = index < world->drives.size() ? world->drives[index].openError : 2;
        return HANDLE_INVALID;
    }
    ++world->openHandles;
    return (intptr_t)(index + 100);
}
uint32_t fakeLastError() { return world->lastError; }
bool fakeGeometry(intptr_t h, uint8_t reply[DISK_GEOMETRY_SIZE]) {
    const FakeDrive& d = world->drives[h - 100];
    memcpy(reply, d.reply, 24);
    return d.answers;
}
bool fakeSetPosition(intptr_t, uint64_t offset) {
    world->position = offset;
    world->lastError = world->positionError;
    return !world->positionFails;
}
bool fakeRead(intptr_t, void*, uint32_t bytes) {
    world->readBytes = bytes;
    world->lastError = world->readError;
    return !world->readFails;
}
void fakeClose(intptr_t) {
    ++world->closes;
    --world->openHandles;
}
int32_t fakeBox(void* owner, const char* text, uint32_t style) {
    EXPECT_EQ(style, BOX_ICON_ERROR);
    world->boxes.push_back(text);
    world->boxOwners.push_back(owner);
    return 1;
}
void fakeExit(int code) { world->exitCode = code; }

const DeviceOps FAKE_OPS = {
    .open = fakeOpen,
    .lastError = fakeLastError,
    .getGeometry = fakeGeometry,
    .setPosition = fakeSetPosition,
    .read = fakeRead,
    .readAt = nullptr,
    .close = fakeClose,
};

FakeDrive answering(uint64_t cylinders, uint32_t heads, uint32_t sectors, uint32_t bytes) {
    FakeDrive d = {true, 0, true, {}};
    memcpy(d.reply, &cylinders, 8);
    uint32_t media = 12;
    memcpy(d.reply + 8, &media, 4);
    memcpy(d.reply + 12, &heads, 4);
    memcpy(d.reply + 16, &sectors, 4);
    memcpy(d.reply + 20, &bytes, 4);
    return d;
}
FakeDrive failing(uint32_t error) { return FakeDrive{false, error, false, {}}; }

class DriveLogic : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        world = &fw;
    }
    FakeWorld fw;
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

TEST_F(DriveLogic, DiscoveryStopsAtTheFirstGapAndCopiesLow32BitsOfCylinders) {
    fw.drives = {answering(0x100002710ull, 255, 63, 512), failing(2), answering(10, 1, 1, 512)};
    EXPECT_EQ(enumerateDrivesWith(FAKE_OPS, fakeBox, fakeExit, table), 1u);
    EXPECT_EQ(table[0].cylinders, 10000u);
    EXPECT_EQ(table[0].heads, 255u);
    EXPECT_EQ(table[0].sectorsPerTrack, 63u);
    EXPECT_EQ(table[0].bytesPerSector, 512u);
    EXPECT_EQ(fw.opened.size(), 2u);  // index 2 never probed
    EXPECT_EQ(fw.openHandles, 0);
    EXPECT_TRUE(fw.boxes.empty());
}

TEST_F(DriveLogic, DiscoveryEndsAtADeviceRefusingGeometryAndClosesIt) {
    fw.drives = {answering(5, 2, 3, 512), answering(5, 2, 3, 512)};
    fw.drives[1].answers = false;
    EXPECT_EQ(enumerateDrivesWith(FAKE_OPS, fakeBox, fakeExit, table), 1u);
    EXPECT_EQ(fw.closes, 2);
    EXPECT_EQ(fw.openHandles, 0);
    EXPECT_EQ(table[1].cylinders, 0u);  // not written
}

TEST_F(DriveLogic, DiscoveryProbesAtMostTwentyNames) {
    fw.drives.assign(25, answering(100, 4, 17, 512));
    EXPECT_EQ(enumerateDrivesWith(FAKE_OPS, fakeBox, fakeExit, table), 20u);
    ASSERT_EQ(fw.opened.size(), 20u);
    EXPECT_EQ(fw.opened.back(), "\\\\.\\PHYSICALDRIVEC");
    for (const std::string& n : fw.opened) EXPECT_EQ(n.size(), strlen("\\\\.\\PHYSICALDRIVE0"));
}

TEST_F(DriveLogic, AccessDeniedShowsOneOwnerlessBoxAndExitsWithOne) {
    app.mainWindow = (void*)0x1234;  // discovery boxes never have an owner
    fw.drives = {failing(SYS_ERROR_ACCESS_DENIED)};
    enumerateDrivesWith(FAKE_OPS, fakeBox, fakeExit, table);
    ASSERT_EQ(fw.boxes.size(), 1u);
    EXPECT_EQ(fw.boxes[0], "Access denied! You maust be Administrator!");
    EXPECT_EQ(fw.boxOwners[0], nullptr);
    EXPECT_EQ(fw.exitCode, 1);
}

TEST_F(DriveLogic, ReadPositionsAtTheFullOffsetAndReturnsTheCount) {
    app.driveTable[0] = {1024, 255, 63, 512};
    fw.drives = {answering(1024, 255, 63, 512)};
    uint8_t buffer[512];
    EXPECT_EQ(readSectorsWith(FAKE_OPS, fakeBox, 0, 1023, 254, 63, 1, buffer), 1u);
    EXPECT_EQ(fw.position, (uint64_t)(1023ull * 255 * 63 + 254 * 63 + 62) * 512);
    EXPECT_EQ(fw.readBytes, 512u);
    EXPECT_EQ(fw.openHandles, 0);
    EXPECT_TRUE(fw.boxes.empty());
}

TEST_F(DriveLogic, ReadFailuresShowTheirBoxCloseTheHandleAndReturnTheWord) {
    app.driveTable[0] = {1024, 16, 63, 512};
    app.mainWindow = (void*)0x55;
    fw.drives = {answering(1024, 16, 63, 512)};
    uint8_t buffer[512];

    fw.readFails = true;
    fw.readError = 23;
    EXPECT_EQ(readSectorsWith(FAKE_OPS, fakeBox, 0, 0, 0, 1, 1, buffer), 23u << 8);
    fw.readFails = false;
    fw.positionFails = true;
    fw.positionError = 0x45D;
    uint32_t word = readSectorsWith(FAKE_OPS, fakeBox, 0, 0, 0, 1, 1, buffer);
    EXPECT_TRUE(sectorReadFailed(word));
    EXPECT_EQ(sectorReadErrorCode(word), 0x5Du);
    fw.positionError = 0x100;
    EXPECT_TRUE(sectorReadFailed(readSectorsWith(FAKE_OPS, fakeBox, 0, 0, 0, 1, 1, buffer)));

    ASSERT_EQ(fw.boxes.size(), 3u);
    EXPECT_EQ(fw.boxes[0], "Reading error ( code=17h )");
    EXPECT_EQ(fw.boxes[1], "Set file pointer error ( code=45Dh )");
    EXPECT_EQ(fw.boxes[2], "Set file pointer error ( code=100h )");
    for (void* owner : fw.boxOwners) EXPECT_EQ(owner, (void*)0x55);
    EXPECT_EQ(fw.openHandles, 0);
    EXPECT_EQ(fw.closes, 3);
}

TEST_F(DriveLogic, ReadOfAnUnopenableDrive) {
    app.driveTable[0] = {1024, 16, 63, 512};
    fw.drives = {failing(2)};
    uint8_t buffer[512];
    EXPECT_EQ(readSectorsWith(FAKE_OPS, fakeBox, 0, 0, 0, 1, 1, buffer), SECTOR_RESULT_OPEN_FAILED);
    ASSERT_EQ(fw.boxes.size(), 1u);
    EXPECT_EQ(fw.boxes[0], "Can't open disk!");
}

// The legacy discovery reads the parameter block at its fixed offsets.
uint32_t legacyDrives = 0;
uint32_t legacyFailure = 0x100;
uint32_t SECTOR_SERVICE_CALL fakeParameters(uint32_t driveNumber, void* block) {
    uint32_t index = driveNumber - 0x80;
    if (index >= legacyDrives) return legacyFailure;
    uint8_t* b = (uint8_t*)block;
    memset(b, 0xEE, DRIVE_PARAMETERS_SIZE);  // the caller must not rely on other bytes
    uint32_t c = 100 + index, h = 16, s = 63;
    uint16_t bps = 512;
    memcpy(b + 4, &c, 4);
    memcpy(b + 8, &h, 4);
    memcpy(b + 12, &s, 4);
    memcpy(b + 24, &bps, 2);
    return 0x7F;  // any low-byte value is success
}

TEST(LegacyDiscovery, FillsLeadingEntriesUntilTheFirstFailure) {
    DriveGeometry table[MAX_DRIVES] = {};
    legacyDrives = 3;
    EXPECT_EQ(enumerateDrivesLegacyWith(fakeParameters, table), 3u);
    EXPECT_EQ(table[2].cylinders, 102u);
    EXPECT_EQ(table[2].heads, 16u);
    EXPECT_EQ(table[2].sectorsPerTrack, 63u);
    EXPECT_EQ(table[2].bytesPerSector, 512u);
    legacyFailure = 0x80000000;
    legacyDrives = 0;
    EXPECT_EQ(enumerateDrivesLegacyWith(fakeParameters, table), 0u);
    legacyDrives = 30;
    EXPECT_EQ(enumerateDrivesLegacyWith(fakeParameters, table), 20u);
}

}  // namespace
