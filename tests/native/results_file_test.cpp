#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "export/results_file.h"

namespace {

struct SaveWorld {
    bool chosen = true;
    bool opens = true;
    int failAtWrite = -1;
    std::string file;
    int writes = 0;
    int closes = 0;
    std::vector<std::string> boxes;
};
SaveWorld* w;

bool askPath(void*, char* path, uint32_t size) {
    EXPECT_STREQ(path, "*.dat");
    EXPECT_EQ(size, 256u);
    return w->chosen;
}
intptr_t create(const char*) { return w->opens ? 7 : -1; }
bool write(intptr_t, const char* bytes, uint32_t length) {
    if (w->writes++ == w->failAtWrite) return false;
    w->file.append(bytes, length);
    return true;
}
void close(intptr_t) { ++w->closes; }
uint32_t lastError() { return w->opens ? 0x70 : 0x20; }
int32_t showBox(void*, const char* text, const char* caption, uint32_t style) {
    EXPECT_STREQ(caption, "Lasergauge");
    EXPECT_EQ(style, 0x10u);
    w->boxes.push_back(text);
    return 1;
}
const ResultsFileOps OPS = {
    .askPath = askPath, .create = create, .write = write, .close = close, .lastError = lastError, .showBox = showBox};

class ResultsFile : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        w = &world;
        app.trackSpeeds[0] = 0;
        app.trackSpeeds[1] = 850;
        app.trackSpeeds[2] = 4294967295u;
        app.trackSpeeds[3] = 999;  // left by an earlier, longer run
        app.tracksDone = 3;
    }
    SaveWorld world;
};

TEST(ResultsLine, PlainDecimalsSpaceAndCrLf) {
    char line[RESULTS_LINE_SIZE];
    EXPECT_EQ(formatResultsLine(line, 0, 0), 5);
    EXPECT_STREQ(line, "0 0\r\n");
    formatResultsLine(line, 1023, 4294967295u);
    EXPECT_STREQ(line, "1023 4294967295\r\n");
}

TEST_F(ResultsFile, WritesExactlyTheRunsLinesOneWritePerLine) {
    saveResultsWith(OPS, nullptr);
    EXPECT_EQ(world.file, "0 0\r\n1 850\r\n2 4294967295\r\n");
    EXPECT_EQ(world.writes, 3);
    EXPECT_EQ(world.closes, 1);
    EXPECT_TRUE(world.boxes.empty());
}

TEST_F(ResultsFile, CancelWritesNothingAndOpenFailureShowsItsCode) {
    world.chosen = false;
    saveResultsWith(OPS, nullptr);
    EXPECT_EQ(world.writes, 0);
    EXPECT_TRUE(world.boxes.empty());
    world.chosen = true;
    world.opens = false;
    saveResultsWith(OPS, nullptr);
    EXPECT_EQ(world.boxes, std::vector<std::string>{"File open error ( code=20h )"});
    EXPECT_EQ(world.closes, 0);
}

TEST_F(ResultsFile, AFailedWriteStopsKeepsEarlierLinesAndCloses) {
    world.failAtWrite = 1;
    saveResultsWith(OPS, nullptr);
    EXPECT_EQ(world.file, "0 0\r\n");
    EXPECT_EQ(world.boxes, std::vector<std::string>{"Writing error ( code=70h )"});
    EXPECT_EQ(world.closes, 1);
}

}  // namespace
