// The partition walk's Win32 bindings: page allocation, and sector reads
// through the sector service (BIOS drive 0x80 + index). The demo-disk cases
// run from tests/e2e/partition_demo.sh, which writes the disks with mkdisk
// beside a copy of Rawio32.dll and names that folder in PARTITION_DEMO_DIR.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "drive/disk_ops.h"
#include "drive/sector_service.h"
#include "partition/partition_walk.h"

namespace {

std::vector<std::string> boxes;
int32_t recordBox(void*, const char* text, uint32_t style) {
    EXPECT_EQ(style, (uint32_t)MB_ICONERROR);
    boxes.push_back(text);
    return IDOK;
}

// The real bindings with boxes recorded instead of shown, so a failure cannot
// leave a modal box waiting on the test.
PartitionWalkOps recordingOps() {
    PartitionWalkOps ops = PARTITION_WALK_OPS;
    ops.showBox = recordBox;
    return ops;
}

TEST(PartitionWalkBinding, SectorBufferComesFromWholePages) {
    const PartitionWalkOps& ops = PARTITION_WALK_OPS;
    void* block = ops.allocate(512);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ((uintptr_t)block % 4096, 0u);
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(VirtualQuery(block, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, (DWORD)MEM_COMMIT);
    EXPECT_GE(info.RegionSize, 512u);  // bytes 446..511 lie inside it
    ops.release(block);
    ASSERT_NE(VirtualQuery(block, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, (DWORD)MEM_FREE);
}

TEST(PartitionWalkBinding, DriveWithoutSectorSizeGivesOutOfMemory) {
    resetAppState();
    boxes.clear();
    app.disk = &LEGACY_DISK;
    app.partitionCounts[0] = 3;
    EXPECT_EQ(loadPartitionMapWith(recordingOps(), 0), 0);  // VirtualAlloc of 0 bytes fails
    EXPECT_EQ(app.partitionCounts[0], 0u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Out of memory!");
}

TEST(PartitionWalkBinding, MissingSectorServiceReadsAsUnopened) {
    resetAppState();
    app.disk = &LEGACY_DISK;
    uint8_t buffer[512];
    EXPECT_EQ(app.disk->readSectors(0, 0, 0, 1, 1, buffer), SECTOR_RESULT_OPEN_FAILED);
}

// The demo disks: each list entry must be the 16 bytes mkdisk wrote at the
// place the demo layout puts it.
struct ImageEntry {
    uint32_t cylinder, head, sector;  // the table holding it
    uint32_t slot;
    uint8_t type;
};

class PartitionDemo : public ::testing::Test {
protected:
    std::string folder;
    HMODULE service = nullptr;

    void SetUp() override {
        const char* dir = getenv("PARTITION_DEMO_DIR");
        if (dir == nullptr || dir[0] == '\0') GTEST_SKIP() << "run by tests/e2e/partition_demo.sh";
        folder = dir[0] == '/' ? std::string("Z:") + dir : std::string(dir);
        for (char& c : folder)
            if (c == '/') c = '\\';
        if (folder.back() != '\\') folder += '\\';

        resetAppState();
        boxes.clear();
        service = LoadLibraryA((folder + "Rawio32.dll").c_str());
        ASSERT_NE(service, nullptr) << "no Rawio32.dll in " << folder;
        app.sectorService.module = (uintptr_t)service;
        app.sectorService.readPhysicalSector32 =
            (ReadPhysicalSector32Fn)(void*)GetProcAddress(service, READ_PHYSICAL_SECTOR_NAME);
        app.sectorService.getDriveParameters32 =
            (GetDriveParameters32Fn)(void*)GetProcAddress(service, GET_DRIVE_PARAMETERS_NAME);
        ASSERT_NE(app.sectorService.readPhysicalSector32, nullptr);
        ASSERT_NE(app.sectorService.getDriveParameters32, nullptr);
        app.disk = &LEGACY_DISK;
        app.driveCount = app.disk->enumerateDrives(app.driveTable);
        ASSERT_EQ(app.driveCount, 2u);
    }
    void TearDown() override {
        if (service) FreeLibrary(service);
        resetAppState();
    }

    void readImageEntry(const char* image, const DriveGeometry& g, const ImageEntry& at, uint8_t out[16]) {
        HANDLE f = CreateFileA((folder + image).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        uint64_t lba = ((uint64_t)at.cylinder * g.heads + at.head) * g.sectorsPerTrack + (at.sector - 1);
        LARGE_INTEGER offset;
        offset.QuadPart = (LONGLONG)(lba * g.bytesPerSector + 446 + 16 * at.slot);
        DWORD got = 0;
        BOOL ok = SetFilePointerEx(f, offset, nullptr, FILE_BEGIN) && ReadFile(f, out, 16, &got, nullptr);
        CloseHandle(f);
        ASSERT_TRUE(ok && got == 16);
    }

    void expectList(uint32_t drive, const char* image, const std::vector<ImageEntry>& expected) {
        ASSERT_EQ(app.partitionCounts[drive], expected.size());
        for (uint32_t i = 0; i < expected.size(); i++) {
            uint8_t written[16];
            readImageEntry(image, app.driveTable[drive], expected[i], written);
            EXPECT_EQ(written[4], expected[i].type) << "the demo layout changed: entry " << i;
            EXPECT_EQ(0, memcmp(app.partitionLists[drive][i].bytes, written, 16)) << "entry " << i;
        }
    }
};

// demo0: FAT16, NTFS, an extended partition at cylinder 450 holding FAT32 and
// a link to cylinder 650 holding Linux, then a BSD slice.
const std::vector<ImageEntry> DEMO0 = {
    {0, 0, 1, 0, 0x06}, {0, 0, 1, 1, 0x07}, {450, 0, 1, 0, 0x0B}, {650, 0, 1, 0, 0x83}, {0, 0, 1, 3, 0xA5}};
const std::vector<ImageEntry> DEMO1 = {{0, 0, 1, 0, 0x06}};

TEST_F(PartitionDemo, EveryDrivesListIsWhatMkdiskWrote) {
    EXPECT_EQ(loadPartitionMapWith(recordingOps(), 0), 1);
    EXPECT_EQ(loadPartitionMapWith(recordingOps(), 1), 1);
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    expectList(0, "demo0.img", DEMO0);
    expectList(1, "demo1.img", DEMO1);

    // The same through the program's own entry point.
    memset(app.partitionLists, 0, sizeof app.partitionLists);
    EXPECT_EQ(loadPartitionMap(0), 1);
    expectList(0, "demo0.img", DEMO0);
}

TEST_F(PartitionDemo, DriveTheServiceDoesNotKnowFailsWithItsCode) {
    // Index 5 is BIOS drive 0x85, which the demo configuration does not serve.
    app.driveTable[5] = app.driveTable[0];
    uint8_t buffer[512];
    uint32_t word = app.disk->readSectors(5, 0, 0, 1, 1, buffer);
    ASSERT_TRUE(sectorReadFailed(word));
    char expected[48];
    snprintf(expected, sizeof expected, "Reading error ( code=%Xh )", (unsigned)sectorReadErrorCode(word));

    EXPECT_EQ(loadPartitionMapWith(recordingOps(), 5), 0);
    EXPECT_EQ(app.partitionCounts[5], 0u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], expected);
}

}  // namespace
