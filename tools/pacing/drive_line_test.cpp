#include "pacing/drive_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok;
    SimulatedDrive drive;
    std::string reason;
    std::vector<std::string> options;  // what the tool was handed
};

// A tool whose own options are "mine" and "mine=N"; it refuses "mine=bad".
const char* takeMine(void* context, const char* word) {
    std::string w = word;
    if (w.compare(0, 4, "mine") != 0) return "unknown option";
    if (w == "mine=bad") return "not mine=N";
    static_cast<Parsed*>(context)->options.push_back(w);
    return nullptr;
}

Parsed parse(const std::string& line, DriveLineOption option = takeMine) {
    Parsed p;
    char reason[160];
    p.ok = driveLineParse(line.c_str(), &p.drive, option, &p, reason, sizeof reason) != 0;
    p.reason = p.ok ? "(accepted)" : reason;
    return p;
}

TEST(DriveLineTest, ReadsGeometrySpeedStreamAndHandsOnTheToolsOptions) {
    Parsed p = parse("  Z:\\tmp\\d0.img 40 4 17 0x200 mine speed=2000,1000 stream mine=3 # a comment\r");
    ASSERT_TRUE(p.ok) << p.reason;
    EXPECT_STREQ(p.drive.image, "Z:\\tmp\\d0.img");
    EXPECT_EQ(p.drive.cylinders, 40u);
    EXPECT_EQ(p.drive.heads, 4u);
    EXPECT_EQ(p.drive.sectorsPerTrack, 17u);
    EXPECT_EQ(p.drive.bytesPerSector, 512u);
    EXPECT_EQ(p.drive.paced, 1);
    EXPECT_EQ(p.drive.firstKbps, 2000u);
    EXPECT_EQ(p.drive.lastKbps, 1000u);
    EXPECT_EQ(p.drive.streaming, 1);
    EXPECT_EQ(p.options, (std::vector<std::string>{"mine", "mine=3"}));
    EXPECT_EQ(simulatedCylinderBytes(&p.drive), 4u * 17 * 512);

    p = parse("\"Z:\\my disks\\a#1.img\"\t1 1 1 4096");
    ASSERT_TRUE(p.ok) << p.reason;
    EXPECT_STREQ(p.drive.image, "Z:\\my disks\\a#1.img");
    EXPECT_EQ(p.drive.paced, 0);
    EXPECT_EQ(p.drive.streaming, 0);
    EXPECT_TRUE(p.options.empty());
    EXPECT_TRUE(parse("a.img 1 1 1 65535").ok);
    EXPECT_TRUE(parse("a.img 16 32767 65536 1").ok);  // a cylinder of 2 GiB less 64 KiB
    EXPECT_EQ(parse("a.img 16 32768 65536 1").reason, "one cylinder is larger than 2 GiB");
}

TEST(DriveLineTest, RejectsWhatNoSimulatedDriveCanServeWithAReason) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"", "no image path"},
        {"   # only a comment", "no image path"},
        {"a.img 40 4 17", "missing: \"bytes per sector\""},
        {"a.img 40 4 17 512#", "(accepted)"},
        {"a.img 40 0 17 512", "not a positive number: \"0\""},
        {"a.img 40 4x 17 512", "not a positive number: \"4x\""},
        {"a.img 40 4 0x 512", "not a positive number: \"0x\""},
        {"a.img 4294967296 4 17 512", "not a positive number: \"4294967296\""},
        {"a.img 18446744073709551616 4 17 512", "not a positive number: \"18446744073709551616\""},
        {"a.img 40 4 17 65536", "not a number from 1 to 65535: \"65536\""},
        {"a.img 40 65536 65536 512", "one cylinder is larger than 2 GiB"},
        {"a.img 40 4 17 512 speed=2000", "not speed=FIRST_KBPS,LAST_KBPS with positive numbers: \"speed=2000\""},
        {"a.img 40 4 17 512 speed=0,10", "not speed=FIRST_KBPS,LAST_KBPS with positive numbers: \"speed=0,10\""},
        {"a.img 40 4 17 512 speed=1,2,3", "not speed=FIRST_KBPS,LAST_KBPS with positive numbers: \"speed=1,2,3\""},
        {"a.img 40 4 17 512 streaming", "unknown option: \"streaming\""},
        {"a.img 40 4 17 512 mine=bad", "not mine=N: \"mine=bad\""},
        {"\"a.img 40 4 17 512", "unterminated quote"},
        {"\"a\".img 40 4 17 512", "text right after a closing quote"},
        {"a.img 40 4 17 512 \"mine", "unterminated quote"},
    };
    for (const auto& c : cases) EXPECT_EQ(parse(c.line).reason, c.reason) << c.line;
    EXPECT_EQ(parse("a.img 40 4 17 512 mine", nullptr).reason, "unknown option: \"mine\"");
    EXPECT_EQ(parse(std::string(DRIVE_LINE_PATH_SIZE, 'x') + " 1 1 1 512").reason, "word too long");
    EXPECT_TRUE(parse(std::string(DRIVE_LINE_PATH_SIZE - 1, 'x') + " 1 1 1 512").ok);
}

TEST(DriveLinePacingTest, RatesDurationsAndDeadlines) {
    EXPECT_EQ(paceRateKbps(16000, 8000, 1024, 0), 16000u);
    EXPECT_EQ(paceRateKbps(16000, 8000, 1024, 1023), 8000u);
    EXPECT_EQ(paceRateKbps(16000, 8000, 1024, 341), 16000u - 8000u * 341 / 1023);
    EXPECT_EQ(paceRateKbps(4000, 6000, 1024, 512), 4000u + 2000u * 512 / 1023);  // rising profiles too
    EXPECT_EQ(paceRateKbps(4000, 6000, 1, 0), 4000u);

    EXPECT_EQ(paceTransferMicroseconds(1024, 1), 1000000u);
    EXPECT_EQ(paceTransferMicroseconds(63 * 512, 16000), 1969u);  // 1968.75 rounded up
    EXPECT_EQ(paceTransferMicroseconds(0, 100), 0u);

    // A caller that keeps up is paced back to back; a late one starts afresh.
    EXPECT_EQ(paceNextDeadline(0, 5000, 100, 0), 5100u);
    EXPECT_EQ(paceNextDeadline(5100, 5050, 100, 0), 5200u);
    EXPECT_EQ(paceNextDeadline(5200, 5201, 100, 0), 5301u);
    // Streaming: a read within the window after the deadline continues from
    // it, even when its data is ready (it returns at once); a longer idle,
    // or the very first read, starts from now.
    EXPECT_EQ(paceNextDeadline(5200, 5700, 100, 500), 5300u);
    EXPECT_EQ(paceNextDeadline(5200, 5701, 100, 500), 5801u);
    EXPECT_EQ(paceNextDeadline(0, 400, 100, 500), 500u);
    EXPECT_EQ(paceStreamWindowMicroseconds(16 * 63 * 512, 16000), 31500u);
}

// The step both simulated drives take for every paced read.
TEST(DriveLinePacingTest, AReadsDeadlineFollowsItsCylindersSpeed) {
    Parsed p = parse("a.img 1024 16 63 512 speed=16000,8000");
    ASSERT_TRUE(p.ok) << p.reason;
    const uint64_t track = 63 * 512;
    EXPECT_EQ(paceReadDeadline(&p.drive, 0, track, 0, 1000), 1000u + 1969u);
    EXPECT_EQ(paceReadDeadline(&p.drive, 1023, track, 2969, 2000), 2969u + 3938u);  // half the speed, twice the time
    EXPECT_EQ(paceReadDeadline(&p.drive, 0, track, 2969, 5000), 5000u + 1969u);     // idle: from its arrival
    p = parse("a.img 1024 16 63 512 speed=16000,8000 stream");
    ASSERT_TRUE(p.ok) << p.reason;
    EXPECT_EQ(paceReadDeadline(&p.drive, 0, track, 2969, 5000), 2969u + 1969u);   // read ahead meanwhile
    EXPECT_EQ(paceReadDeadline(&p.drive, 0, track, 2969, 40000), 40000u + 1969u);  // more than a cylinder idle
}

}  // namespace
