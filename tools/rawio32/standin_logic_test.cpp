#include "standin_logic.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> reports;

void collect(void*, const char* message) { reports.push_back(message); }

StandinConfig parse(const std::string& text, const char* folder = "C:\\disks") {
    static StandinConfig cfg;
    reports.clear();
    parseConfigText(&cfg, folder, text.data(), text.size(), collect, nullptr);
    return cfg;
}

TEST(StandinConfigTest, ParsesDrivesFaultsAndStats) {
    StandinConfig cfg = parse(
        "\xEF\xBB\xBF# two drives\r\n"
        "\r\n"
        "drive a.img 1024 16 63 512 speed=16000,8000 stream\r\n"
        "fault 3 1 0x40   # a bad track\r\n"
        "fault 5 0 7\n"
        "  drive \"Z:\\my disks\\b.img\" 120 4 17 0x200 noparams\n"
        "stats /tmp/stats.txt\n");
    EXPECT_TRUE(reports.empty());
    ASSERT_EQ(cfg.driveCount, 2u);
    const StandinDrive& a = cfg.drives[0];
    EXPECT_STREQ(a.sim.image, "C:\\disks\\a.img");
    EXPECT_EQ(a.sim.cylinders, 1024u);
    EXPECT_TRUE(a.sim.paced);
    EXPECT_FALSE(a.noParams);
    ASSERT_EQ(a.faultCount, 2u);
    EXPECT_EQ(a.faults[0].cylinder, 3u);
    EXPECT_EQ(a.faults[0].head, 1u);
    EXPECT_EQ(a.faults[0].code, 0x40u);
    EXPECT_EQ(a.faults[1].code, 7u);
    const StandinDrive& b = cfg.drives[1];
    EXPECT_STREQ(b.sim.image, "Z:\\my disks\\b.img");
    EXPECT_FALSE(b.sim.paced);
    EXPECT_TRUE(b.noParams);
    EXPECT_EQ(b.faultCount, 0u);
    EXPECT_TRUE(cfg.hasStats);
    EXPECT_STREQ(cfg.statsPath, "/tmp/stats.txt");
}

TEST(StandinConfigTest, ResolvesPathsAgainstTheFolder) {
    char out[STANDIN_PATH_SIZE];
    ASSERT_TRUE(resolveConfigPath("C:\\x", "d.img", out, sizeof out));
    EXPECT_STREQ(out, "C:\\x\\d.img");
    ASSERT_TRUE(resolveConfigPath("C:\\x\\", "sub\\d.img", out, sizeof out));
    EXPECT_STREQ(out, "C:\\x\\sub\\d.img");
    ASSERT_TRUE(resolveConfigPath("C:\\x", "d:\\d.img", out, sizeof out));
    EXPECT_STREQ(out, "d:\\d.img");
    ASSERT_TRUE(resolveConfigPath("C:\\x", "\\\\server\\d.img", out, sizeof out));
    EXPECT_STREQ(out, "\\\\server\\d.img");
    char small[10];
    EXPECT_TRUE(resolveConfigPath("C:", "123456", small, sizeof small));  // "C:\123456" and NUL: 10
    EXPECT_FALSE(resolveConfigPath("C:", "1234567", small, sizeof small));
}

TEST(StandinConfigTest, SkipsBadLinesWithTheirLineNumbersAndKeepsTheRest) {
    StandinConfig cfg = parse(
        "fault 0 0 5\n"                           // 1: no drive yet
        "drive a.img 10 2 8 512\n"                // 2: 0x80
        "bogus words\n"                           // 3
        "fault 0 0 0\n"                           // 4: code 0
        "fault 0 0 256\n"                         // 5: code too big
        "fault 10 0 5\n"                          // 6: cylinder outside
        "fault 1 2 5\n"                           // 7: head outside
        "drive b.img 10 x 8 512\n"                // 8: bad heads
        "fault 1 1 9\n"                           // 9: follows the skipped drive
        "drive d.img 10 2 8 512 fast\n"           // 10: not an option of the stand-in's
        "stats\n"                                 // 11: no path
        "drive j.img 10 2 8 512\n"                // 12: 0x81
        "fault 1 1 0xFF\n");                      // 13: on j
    ASSERT_EQ(cfg.driveCount, 2u);
    EXPECT_STREQ(cfg.drives[0].sim.image, "C:\\disks\\a.img");
    EXPECT_EQ(cfg.drives[0].faultCount, 0u);
    EXPECT_STREQ(cfg.drives[1].sim.image, "C:\\disks\\j.img");
    ASSERT_EQ(cfg.drives[1].faultCount, 1u);
    EXPECT_EQ(cfg.drives[1].faults[0].code, 0xFFu);
    EXPECT_FALSE(cfg.hasStats);
    std::vector<int> lines;
    for (const std::string& r : reports) {
        int n = 0;
        ASSERT_EQ(sscanf(r.c_str(), "Rawio32.cfg line %d:", &n), 1) << r;
        EXPECT_NE(r.find("(line skipped)"), std::string::npos) << r;
        lines.push_back(n);
    }
    EXPECT_EQ(lines, (std::vector<int>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_NE(reports[1].find("unknown keyword \"bogus\""), std::string::npos) << reports[1];
    EXPECT_NE(reports[8].find("unknown drive option: \"fast\""), std::string::npos) << reports[8];
}

TEST(StandinConfigTest, LimitsDrivesFaultsAndLineLength) {
    std::string text;
    for (int i = 0; i < STANDIN_MAX_DRIVES; ++i) text += "drive d.img 2 2 2 512\n";
    for (int i = 0; i < STANDIN_MAX_FAULTS + 1; ++i) text += "fault 1 1 3\n";
    text += "drive d.img 2 2 2 512\n";
    text += "fault 0 0 3\n";
    text += "drive " + std::string(STANDIN_MAX_LINE, 'x') + " 2 2 2 512\n";
    text += "fault 0 0 3\n";
    StandinConfig cfg = parse(text);
    EXPECT_EQ(cfg.driveCount, (uint32_t)STANDIN_MAX_DRIVES);
    const StandinDrive& last = cfg.drives[STANDIN_MAX_DRIVES - 1];
    EXPECT_EQ(last.faultCount, (uint32_t)STANDIN_MAX_FAULTS);
    EXPECT_EQ(last.faults[0].code, 3u);
    // Faults after a skipped drive line never land on the drive before it.
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_NE(reports[0].find("more than 16 faults"), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find("more than 16 drives"), std::string::npos) << reports[1];
    EXPECT_NE(reports[2].find("skipped"), std::string::npos) << reports[2];
    EXPECT_NE(reports[3].find("longer than"), std::string::npos) << reports[3];
    EXPECT_NE(reports[4].find("follows a drive line"), std::string::npos) << reports[4];
}

TEST(StandinReadTest, ChecksAddressesAndFaults) {
    StandinConfig cfg = parse(
        "drive a.img 10 4 17 512\n"
        "fault 7 2 0xBB\n"
        "drive b.img 2 1 1 4096\n");
    StandinReadPlan plan;
    char message[STANDIN_MESSAGE_SIZE];
    struct Case {
        uint32_t drive, c, h, s, n, word;
    };
    const Case cases[] = {
        {0x7F, 0, 0, 1, 1, 0x0400},  {0x82, 0, 0, 1, 1, 0x0400},  {0x80, 10, 0, 1, 1, 0x0400},
        {0x80, 0, 4, 1, 1, 0x0400},  {0x80, 0, 0, 0, 1, 0x0400},  {0x80, 0, 0, 18, 1, 0x0400},
        {0x80, 0, 0, 1, 0, 0x0400},  {0x80, 0, 0, 2, 17, 0x0400}, {0x80, 0, 0, 2, 0xFFFFFFFF, 0x0400},
        {0x80, 7, 2, 1, 17, 0xBB00}, {0x80, 7, 2, 9, 1, 0xBB00},  {0x80, 7, 1, 1, 17, 0},
        {0x80, 6, 2, 1, 17, 0},      {0x80, 9, 3, 17, 1, 0},      {0x81, 1, 0, 1, 1, 0},
    };
    for (const Case& c : cases) {
        message[0] = '\0';
        uint32_t word = planRead(cfg, c.drive, c.c, c.h, c.s, c.n, &plan, message, sizeof message);
        EXPECT_EQ(word, c.word) << c.drive << " " << c.c << "/" << c.h << "/" << c.s << " x" << c.n;
        EXPECT_EQ(word != 0, message[0] != '\0') << message;
    }
    ASSERT_EQ(planRead(cfg, 0x80, 9, 3, 5, 13, &plan, message, sizeof message), 0u);
    EXPECT_EQ(plan.driveIndex, 0u);
    EXPECT_EQ(plan.offset, ((9u * 4 + 3) * 17 + 4) * 512ull);
    EXPECT_EQ(plan.bytes, 13u * 512);
    ASSERT_EQ(planRead(cfg, 0x81, 1, 0, 1, 1, &plan, message, sizeof message), 0u);
    EXPECT_EQ(plan.driveIndex, 1u);
    EXPECT_EQ(plan.offset, 4096u);
    EXPECT_EQ(plan.bytes, 4096u);

    EXPECT_TRUE(readFitsImage(0, 512, 512));
    EXPECT_TRUE(readFitsImage(512, 0, 512));
    EXPECT_FALSE(readFitsImage(1, 512, 512));
    EXPECT_FALSE(readFitsImage(1024, 0, 512));
    EXPECT_FALSE(readFitsImage(0xFFFFFFFFFFFFFFFFull, 2, 512));
}

TEST(StandinParametersTest, FillsTheBlockOrRefuses) {
    StandinConfig cfg = parse(
        "drive a.img 1024 255 63 2048\n"
        "drive b.img 10 2 8 512 noparams\n");
    uint8_t block[DRIVE_PARAMETERS_SIZE];
    memset(block, 0xCC, sizeof block);
    char message[STANDIN_MESSAGE_SIZE];
    ASSERT_EQ(fillDriveParameters(cfg, 0x80, block, message, sizeof message), 0u);
    const uint8_t expected[DRIVE_PARAMETERS_SIZE] = {
        26, 0, 0, 0,                                     // size, flags
        0x00, 0x04, 0, 0,                                // cylinders 1024
        0xFF, 0, 0, 0,                                   // heads 255
        63, 0, 0, 0,                                     // sectors per track
        0x00, 0x04, 0xFB, 0x00, 0, 0, 0, 0,              // 1024 * 255 * 63 = 0xFB0400
        0x00, 0x08,                                      // 2048 bytes per sector
        0, 0};
    EXPECT_EQ(0, memcmp(block, expected, sizeof block));
    EXPECT_EQ(fillDriveParameters(cfg, 0x81, block, message, sizeof message), STANDIN_PARAMS_FAILED);
    EXPECT_NE(strstr(message, "noparams"), nullptr);
    EXPECT_EQ(fillDriveParameters(cfg, 0x82, block, message, sizeof message), STANDIN_PARAMS_FAILED);
    EXPECT_EQ(fillDriveParameters(cfg, 0x00, block, message, sizeof message), STANDIN_PARAMS_FAILED);
}

// A pass runs from a whole read of the first track to one of the last; the
// partition walk's single sectors before it, and a run stopped before the
// end (whose next run begins a new pass), leave no line.
TEST(StandinStatsTest, CountsWholePasses) {
    StandinDrive d = {};
    d.sim.cylinders = 2;
    d.sim.heads = 2;
    d.sim.sectorsPerTrack = 8;
    StandinPass pass = {};
    EXPECT_FALSE(countPassRead(&pass, d, 0, 0, 1, 1, 10, 20));  // one sector: not a pass
    EXPECT_FALSE(pass.open);
    EXPECT_FALSE(countPassRead(&pass, d, 0, 0, 1, 8, 100, 150));
    EXPECT_FALSE(countPassRead(&pass, d, 0, 1, 1, 8, 160, 200));
    EXPECT_FALSE(countPassRead(&pass, d, 0, 0, 1, 8, 1000, 1050));  // a new run: the pass starts again
    EXPECT_FALSE(countPassRead(&pass, d, 0, 1, 1, 8, 1060, 1100));
    EXPECT_FALSE(countPassRead(&pass, d, 1, 0, 1, 8, 1110, 1150));
    EXPECT_TRUE(countPassRead(&pass, d, 1, 1, 1, 8, 1200, 1240));
    char line[128];
    size_t length = formatPassLine(line, sizeof line, 0x80, pass);
    EXPECT_STREQ(line, "drive=0x80 pass=2 calls=4 inside_us=170 span_us=240\n");
    EXPECT_EQ(length, strlen(line));
    EXPECT_FALSE(countPassRead(&pass, d, 1, 1, 1, 8, 1300, 1310));  // after the end, until the next pass
    // The read that ends a cylinder (whose tick the program takes next).
    EXPECT_TRUE(readEndsCylinder(d, 1, 5, 4));
    EXPECT_FALSE(readEndsCylinder(d, 1, 1, 7));
    EXPECT_FALSE(readEndsCylinder(d, 0, 1, 8));
}

}  // namespace
