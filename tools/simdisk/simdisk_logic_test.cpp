#include "simdisk/simdisk_logic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

SimDiskDrive parse(const char* line) {
    SimDiskDrive drive;
    char reason[SIMDISK_REASON_SIZE];
    EXPECT_EQ(simdiskParseDrive(line, &drive, reason, sizeof reason), 1) << line << ": " << reason;
    return drive;
}

std::string rejection(const char* line) {
    SimDiskDrive drive;
    char reason[SIMDISK_REASON_SIZE];
    if (simdiskParseDrive(line, &drive, reason, sizeof reason)) return "(accepted)";
    return reason;
}

// The drive line itself is pacing/drive_line.h's; the driver's own option
// is fault=.
TEST(SimDiskParseTest, ReadsFaults) {
    SimDiskDrive d = parse("  Z:\\tmp\\d0.img 40 4 17 0x200 speed=2000,1000 stream fault=0x11000,512,0xC000009C "
                           "fault=99,1,3221225861");
    EXPECT_STREQ(d.sim.image, "Z:\\tmp\\d0.img");
    EXPECT_EQ(d.sim.lastKbps, 1000u);
    ASSERT_EQ(d.faultCount, 2u);
    EXPECT_EQ(d.faults[0].offset, 0x11000u);
    EXPECT_EQ(d.faults[0].length, 512u);
    EXPECT_EQ(d.faults[0].status, 0xC000009Cu);
    EXPECT_EQ(d.faults[1].status, 0xC0000185u);
    EXPECT_EQ(parse("a.img 1 1 1 4096").faultCount, 0u);
    // Offsets beyond 4 GiB are kept whole.
    d = parse("a.img 1024 255 63 512 fault=0x1F6000000,512,0xC0000185");
    EXPECT_EQ(d.faults[0].offset, 0x1F6000000ull);
}

TEST(SimDiskParseTest, RejectsFaultsItCannotServe) {
    // A success or warning status would make a "failed" read succeed.
    EXPECT_NE(rejection("a.img 40 4 17 512 fault=0,512,0"), "(accepted)");
    EXPECT_NE(rejection("a.img 40 4 17 512 fault=0,512,0x80000005"), "(accepted)");
    EXPECT_NE(rejection("a.img 40 4 17 512 fault=0,0,0xC000009C"), "(accepted)");
    EXPECT_NE(rejection("a.img 40 4 17 512 fault=0,1,0xC000009C,7"), "(accepted)");
    EXPECT_EQ(rejection("a.img 40 4 17 512 noparams"), "unknown option: \"noparams\"");
    std::string many = "a.img 40 4 17 512";
    for (int i = 0; i < SIMDISK_MAX_FAULTS; ++i) many += " fault=0,1,0xC000009C";
    EXPECT_EQ(rejection(many.c_str()), "(accepted)");
    many += " fault=0,1,0xC000009C";
    EXPECT_EQ(rejection(many.c_str()), "too many faults: \"fault=0,1,0xC000009C\"");
}

TEST(SimDiskGeometryTest, RepliesWithTheDiskGeometryLayout) {
    SimDiskDrive d = parse("a.img 0x12345 255 63 4096");
    uint8_t reply[SIMDISK_GEOMETRY_SIZE];
    simdiskFillGeometry(&d, reply);
    const uint8_t expected[SIMDISK_GEOMETRY_SIZE] = {0x45, 0x23, 0x01, 0, 0, 0, 0, 0, 12, 0, 0, 0,
                                                     255,  0,    0,    0, 63, 0, 0, 0, 0, 0x10, 0, 0};
    EXPECT_EQ(0, memcmp(reply, expected, sizeof reply));
    EXPECT_EQ(simdiskDiskBytes(&d), 0x12345ull * 255 * 63 * 4096);
}

// Reads the way the benchmark does, one track at a time at "offset 0", and
// the way a positioned reader does.
TEST(SimDiskReadTest, ContinuesAtItsOwnPositionWhenAskedForOffsetZero) {
    SimDiskDrive d = parse("a.img 3 2 4 512");  // 4 KiB per cylinder, 12 KiB in all
    SimDiskOpen open = {0, 0};
    for (uint32_t track = 0; track < 6; ++track) {
        SimDiskReadPlan plan = simdiskPlanRead(&d, &open, 0, 2048);
        EXPECT_EQ(plan.status, SIMDISK_STATUS_SUCCESS);
        EXPECT_EQ(plan.offset, track * 2048ull);
        EXPECT_EQ(plan.length, 2048u);
        EXPECT_EQ(plan.cylinder, track / 2);
        simdiskFinishRead(&open, &plan);
    }
    SimDiskReadPlan end = simdiskPlanRead(&d, &open, 0, 2048);
    EXPECT_EQ(end.status, SIMDISK_STATUS_END_OF_FILE);
    EXPECT_EQ(end.length, 0u);

    // An explicit offset is taken as given, and the position follows it.
    open.position = 0;
    SimDiskReadPlan at = simdiskPlanRead(&d, &open, 4096 + 512, 1024);
    EXPECT_EQ(at.offset, 4608u);
    EXPECT_EQ(at.cylinder, 1u);
    simdiskFinishRead(&open, &at);
    EXPECT_EQ(simdiskPlanRead(&d, &open, 0xFFFFFFFFFFFFFFFEull, 512).offset, 5632u);
    // A read crossing the end is shortened.
    SimDiskReadPlan tail = simdiskPlanRead(&d, &open, 12288 - 512, 2048);
    EXPECT_EQ(tail.status, SIMDISK_STATUS_SUCCESS);
    EXPECT_EQ(tail.length, 512u);
}

TEST(SimDiskReadTest, UnbufferedOpensNeedWholeSectors) {
    SimDiskDrive d = parse("a.img 3 2 4 512");
    SimDiskOpen buffered = {0, 0};
    SimDiskOpen unbuffered = {0, 1};
    EXPECT_EQ(simdiskPlanRead(&d, &buffered, 100, 300).status, SIMDISK_STATUS_SUCCESS);
    EXPECT_EQ(simdiskPlanRead(&d, &unbuffered, 100, 512).status, SIMDISK_STATUS_INVALID_PARAMETER);
    EXPECT_EQ(simdiskPlanRead(&d, &unbuffered, 512, 300).status, SIMDISK_STATUS_INVALID_PARAMETER);
    SimDiskReadPlan ok = simdiskPlanRead(&d, &unbuffered, 0, 1024);
    EXPECT_EQ(ok.status, SIMDISK_STATUS_SUCCESS);
    EXPECT_EQ(ok.length, 1024u);
}

TEST(SimDiskReadTest, FaultRangesFailEveryReadTouchingThem) {
    // Bytes 5000..5099 fail; reads of 1000 bytes at various places.
    SimDiskDrive d = parse("a.img 3 2 4 512 fault=5000,100,0xC000009C fault=0xFFFFFFFFFFFFFF00,0xFFFFFFFFFFFFFFFF,"
                           "0xC0000185");
    SimDiskOpen open = {0, 0};
    struct Case {
        uint64_t offset;
        bool fails;
    } cases[] = {
        {4000, false},  // ends just before the range
        {4001, true},   // its last byte is the range's first
        {4500, true},   // covers it
        {5050, true},   // starts inside
        {5099, true},   // its first byte is the range's last
        {5100, false},  // starts just after
    };
    for (const Case& c : cases) {
        SimDiskReadPlan plan = simdiskPlanRead(&d, &open, c.offset, 1000);
        EXPECT_EQ(plan.status, c.fails ? 0xC000009Cu : SIMDISK_STATUS_SUCCESS) << c.offset;
        EXPECT_EQ(plan.length, c.fails ? 0u : 1000u) << c.offset;
    }
    // A failed read delivers nothing and leaves the position where it began,
    // so the next read at "offset 0" meets the same range again.
    open.position = 4096;
    SimDiskReadPlan failed = simdiskPlanRead(&d, &open, 0, 2048);
    EXPECT_EQ(failed.status, 0xC000009Cu);
    simdiskFinishRead(&open, &failed);
    EXPECT_EQ(open.position, 4096u);
    EXPECT_EQ(simdiskPlanRead(&d, &open, 0, 2048).status, 0xC000009Cu);
}

TEST(SimDiskStatsTest, CountsAndFormatsOneLinePerDrive) {
    SimDiskStats stats = {2, 1, 0, 0, 0, 0};
    SimDiskReadPlan good = {SIMDISK_STATUS_SUCCESS, 4096, 2048, 1};
    SimDiskReadPlan bad = {0xC000009Cu, 6144, 0, 1};
    simdiskCountRead(&stats, &good);
    simdiskCountRead(&stats, &bad);
    char line[SIMDISK_STATS_LINE_SIZE];
    size_t length = simdiskFormatStats(line, sizeof line, 7, &stats);
    EXPECT_STREQ(line, "drive=7 opens=2 unbuffered=1 reads=2 failed=1 bytes=2048 end=6144\r\n");
    EXPECT_EQ(length, strlen(line));

    SimDiskStats big = {~0ull, ~0ull, ~0ull, ~0ull, ~0ull, ~0ull};
    length = simdiskFormatStats(line, sizeof line, 9, &big);
    EXPECT_EQ(std::string(line), "drive=9 opens=18446744073709551615 unbuffered=18446744073709551615 reads="
                                 "18446744073709551615 failed=18446744073709551615 bytes=18446744073709551615 "
                                 "end=18446744073709551615\r\n");
    EXPECT_EQ(simdiskFormatStats(line, 20, 9, &big), 0u);  // does not fit: nothing
    EXPECT_STREQ(line, "");
}

}  // namespace
