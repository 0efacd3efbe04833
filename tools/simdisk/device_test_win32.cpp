// The simulated drives as a program sees them, under Wine with simdisk.sys
// started by device-test.sh: drive 0 is a 6 x 2 x 4 x 512 image whose every
// sector starts with its own number and whose track 5 (bytes 10240..12287)
// holds a fault of STATUS_DEVICE_DATA_ERROR at its second sector; drive 1 is
// 2 x 1 x 4 x 512 over an image of three 0xFF sectors; drive 2's image does
// not exist.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <stdint.h>

namespace {

const DWORD TRACK = 4 * 512;

HANDLE openDrive(char number, bool noBuffering = false) {
    char name[] = "\\\\.\\PHYSICALDRIVE0";
    name[17] = number;
    return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | (noBuffering ? FILE_FLAG_NO_BUFFERING : 0), nullptr);
}

struct Drive {
    HANDLE handle;
    // Page-aligned, as unbuffered reads want.
    uint8_t* buffer = (uint8_t*)VirtualAlloc(nullptr, 4 * TRACK, MEM_COMMIT, PAGE_READWRITE);
    explicit Drive(char number, bool noBuffering = false) : handle(openDrive(number, noBuffering)) {}
    ~Drive() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        VirtualFree(buffer, 0, MEM_RELEASE);
    }
    // Reads on, or at offset when one is given; -1 on failure, else the
    // count delivered.
    long read(DWORD bytes, int64_t offset = -1) {
        DWORD got = 0;
        OVERLAPPED at = {};
        at.Offset = (DWORD)offset;
        at.OffsetHigh = (DWORD)(offset >> 32);
        if (!ReadFile(handle, buffer, bytes, &got, offset >= 0 ? &at : nullptr)) return -1;
        return (long)got;
    }
    uint32_t sectorNumber(DWORD index) { return *(uint32_t*)(buffer + index * 512); }
};

TEST(SimDiskDevice, AnswersTheGeometryAndLengthRequests) {
    Drive d('0');
    ASSERT_NE(d.handle, INVALID_HANDLE_VALUE) << GetLastError();
    DISK_GEOMETRY geometry = {};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(d.handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry,
                                &returned, nullptr));
    EXPECT_EQ(returned, 24u);
    EXPECT_EQ(geometry.Cylinders.QuadPart, 6);
    EXPECT_EQ(geometry.MediaType, FixedMedia);
    EXPECT_EQ(geometry.TracksPerCylinder, 2u);
    EXPECT_EQ(geometry.SectorsPerTrack, 4u);
    EXPECT_EQ(geometry.BytesPerSector, 512u);

    GET_LENGTH_INFORMATION length = {};
    ASSERT_TRUE(DeviceIoControl(d.handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &returned,
                                nullptr));
    EXPECT_EQ(length.Length.QuadPart, 12 * (LONGLONG)TRACK);
    uint8_t small[8];
    EXPECT_FALSE(DeviceIoControl(d.handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, small, sizeof small, &returned,
                                 nullptr));
}

TEST(SimDiskDevice, ReadsGoOnFromTheLastOneAndFromAGivenOffset) {
    Drive d('0');
    ASSERT_NE(d.handle, INVALID_HANDLE_VALUE);
    ASSERT_EQ(d.read(TRACK), (long)TRACK);
    EXPECT_EQ(d.sectorNumber(0), 0u);
    EXPECT_EQ(d.sectorNumber(3), 3u);
    ASSERT_EQ(d.read(TRACK), (long)TRACK);
    EXPECT_EQ(d.sectorNumber(0), 4u);
    // An explicit offset is read there, and the next read goes on after it.
    ASSERT_EQ(d.read(1024, 8 * 512), 1024);
    EXPECT_EQ(d.sectorNumber(0), 8u);
    ASSERT_EQ(d.read(512), 512);
    EXPECT_EQ(d.sectorNumber(0), 10u);
    // Wine keeps no position for such a device, so positioning fails; the
    // program's partition walk meets this on every simulated drive.
    EXPECT_EQ(SetFilePointer(d.handle, 512, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    // The end: a read crossing it is shortened, one at it delivers nothing.
    EXPECT_EQ(d.read(2 * TRACK, 11 * TRACK), (long)TRACK);
    EXPECT_EQ(d.sectorNumber(3), 47u);
    EXPECT_EQ(d.read(TRACK), 0);
}

TEST(SimDiskDevice, AFaultFailsEveryReadTouchingItAndLeavesThePosition) {
    Drive d('0');
    ASSERT_NE(d.handle, INVALID_HANDLE_VALUE);
    ASSERT_EQ(d.read(TRACK, 4 * TRACK), (long)TRACK);
    EXPECT_EQ(d.read(TRACK), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CRC);
    // The failed read moved nothing: reading on meets the fault again.
    EXPECT_EQ(d.read(512), 512);
    EXPECT_EQ(d.sectorNumber(0), 20u);
    EXPECT_EQ(d.read(512), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CRC);
    ASSERT_EQ(d.read(TRACK, 6 * TRACK), (long)TRACK);
    EXPECT_EQ(d.sectorNumber(0), 24u);
}

TEST(SimDiskDevice, UnbufferedOpensReadWholeSectorsOnly) {
    Drive d('0', true);
    ASSERT_NE(d.handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(d.read(100), -1);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(d.read(512, 100), -1);
    ASSERT_EQ(d.read(512), 512);
    EXPECT_EQ(d.sectorNumber(0), 0u);

    Drive buffered('0');
    EXPECT_EQ(buffered.read(100), 100);
}

TEST(SimDiskDevice, AShortImageReadsAsZerosAndAMissingOneIsNoDrive) {
    Drive d('1');
    ASSERT_NE(d.handle, INVALID_HANDLE_VALUE);
    memset(d.buffer, 0x55, TRACK);
    ASSERT_EQ(d.read(TRACK), (long)TRACK);
    EXPECT_EQ(d.buffer[0], 0xFF);
    EXPECT_EQ(d.buffer[3 * 512 - 1], 0xFF);
    EXPECT_EQ(d.buffer[3 * 512], 0x00);
    EXPECT_EQ(d.buffer[TRACK - 1], 0x00);

    EXPECT_EQ(openDrive('2'), INVALID_HANDLE_VALUE);
}

}  // namespace
