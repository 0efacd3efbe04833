// The benchmark loop against a fake disk, a scripted clock and scripted answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "fakes.h"

namespace {

// A 9x run through the sector service's read `read`.
void runLegacyWith(const BenchPlatform& platform, ReadPhysicalSector32Fn read) {
    app.sectorService.readPhysicalSector32 = read;
    runBenchmarkWith(platform, LEGACY_DISK);
}

struct Fake {
    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> failures;  // (cylinder, head) -> code or result word
    uint64_t nowUs = 0;
    uint32_t usPerRead = 3000;
    std::vector<uint32_t> costs;  // microseconds per read by cylinder, else usPerRead
    uint64_t tickStepUs = 1000;   // how far the tick moves at a time
    uint64_t perSecond = 1193182;  // the counter's frequency (the PC's timer chip); 0: none
    bool noMemory = false;
    uint32_t stopDuring = 0xFFFFFFFFu;
    uint32_t reads = 0;
    alignas(4096) uint8_t buffer[8192];
} f;

std::string num(uint64_t v) { return std::to_string(v); }

void* fakeReserve(uint32_t bytes) {
    f.events.push_back("reserve " + num(bytes));
    return f.noMemory ? nullptr : f.buffer;
}
void fakeRelease(void* buffer) { f.events.push_back(buffer == f.buffer ? "release" : "release ?"); }
uint32_t fakeTick() {
    f.events.push_back("tick");
    return (uint32_t)(f.nowUs / f.tickStepUs * f.tickStepUs / 1000u);
}
uint64_t fakeFrequency() { return f.perSecond; }
uint64_t fakeCounter() {
    f.events.push_back("counter");
    return f.nowUs * f.perSecond / 1000000u;
}
void fakeClass(uint32_t c) { f.events.push_back("class " + num(c)); }
void fakeThread(int32_t p) { f.events.push_back("thread " + std::to_string(p)); }
// The read-error prompts among the boxes.
std::vector<std::string> prompts() {
    std::vector<std::string> out;
    for (const BoxShown& b : fakeBoxes.shown)
        if (b.style == (BOX_ICON_ERROR | BOX_YES_NO_CANCEL)) out.push_back(b.text);
    return out;
}
void fakeStatus(const char* text) {
    f.statuses.push_back(text);
    f.events.push_back("status " + std::string(text) + " done=" + num(app.tracksDone));
}
void fakeEnded(bool any) { f.events.push_back(std::string("ended ") + (any ? "1" : "0")); }

const BenchPlatform PLATFORM = {
    .reserveBuffer = fakeReserve,
    .releaseBuffer = fakeRelease,
    .tick = fakeTick,
    .counterFrequency = fakeFrequency,
    .counter = fakeCounter,
    .setPriorityClass = fakeClass,
    .setThreadPriority = fakeThread,
    .showBox = fakeShowBox,
    .statusText = fakeStatus,
    .runEnded = fakeEnded,
};

// One read of (current cylinder, head); returns the scripted failure, if any.
bool scriptedRead(uint32_t cylinder, uint32_t head, uint32_t* failure) {
    f.reads++;
    f.nowUs += cylinder < f.costs.size() ? f.costs[cylinder] : f.usPerRead;
    if (cylinder == f.stopDuring) app.runFlag = 0;
    auto it = f.failures.find({cylinder, head});
    if (it == f.failures.end()) return true;
    *failure = it->second;
    return false;
}

// The NT runs read the shared fake device, whose reads are decided here
// from the cylinder and head at its position; its events join the run's.
bool deviceRead(uint64_t offset, uint32_t bytes, uint32_t* error) {
    const uint32_t heads = app.driveTable[app.selectedDrive].heads;
    const uint64_t track = offset / bytes;
    return scriptedRead((uint32_t)(track / heads), (uint32_t)(track % heads), error);
}

uint32_t SECTOR_SERVICE_CALL fakeSectorRead(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                                            uint32_t count, void* buffer) {
    f.events.push_back("read " + num(drive) + " " + num(cylinder) + "/" + num(head) + " s" + num(sector) + " n" +
                       num(count) + (buffer == f.buffer ? "" : " ?"));
    uint32_t word = 0;
    return scriptedRead(cylinder, head, &word) ? count : word;
}

uint32_t SECTOR_SERVICE_CALL succeedingRead(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t count, void*) {
    return count;
}

class Bench : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        resetFakes();
        f = Fake();
        fakeBoxes.log = &f.events;
        fakeDevice.log = &f.events;
        fakeDevice.drives.resize(2);
        fakeDevice.onRead = deviceRead;
        fakeDevice.buffer = f.buffer;
        app.ntDevice = &FAKE_DEVICE;
        app.mainWindow = &f;
        app.selectedDrive = 1;
        app.driveTable[1] = {3, 2, 4, 512};  // 4 KiB per cylinder
        app.runFlag = 1;
        for (auto& s : app.trackSpeeds) s = 0xDEADu;
    }
    void TearDown() override {
        for (const BoxShown& b : fakeBoxes.shown) EXPECT_EQ(b.owner, app.mainWindow) << b.text;
    }
    void startAgain() {
        app.runFlag = 1;
        app.tracksDone = 0;
        f.statuses.clear();
        fakeBoxes.shown.clear();
    }
    // The device's events joined into the run's, in order.
    void runNt() { runBenchmarkWith(PLATFORM, NT_DISK); }
    void runLegacy() { runLegacyWith(PLATFORM, fakeSectorRead); }
};

// The orders that matter, for both bodies, rather than every call: a
// cylinder's time is taken around its reads and nothing else, by the
// counter alone where there is one; with the high-priority option the
// process is raised before the first reading and lowered after the second;
// each cylinder's status text comes before its speed is published and
// tracksDone advances; the device and the buffer
// are given back and normal priority restored before the summary, and
// runEnded comes last.
class BenchOrder : public Bench {
protected:
    size_t at(const std::string& prefix, size_t from = 0) const {
        for (size_t i = from; i < f.events.size(); ++i)
            if (f.events[i].rfind(prefix, 0) == 0) return i;
        ADD_FAILURE() << "no event starting with " << prefix;
        return f.events.size();
    }
    void expectOrders(const std::string& statusPrefix, const std::string& readPrefix) {
        size_t from = 0;
        for (uint32_t c = 0; c < 2; ++c) {
            SCOPED_TRACE(c);
            const size_t raise = at("class 256", from), start = at("counter", raise);
            const size_t status = at(statusPrefix + num(c) + ".", start);
            const size_t lower = at("class 32", start);
            // Reads, and only reads, between the cylinder's two readings.
            size_t end = start + 1;
            while (end < f.events.size() && f.events[end].rfind(readPrefix, 0) == 0) ++end;
            EXPECT_EQ(end - start - 1, 2u) << "both heads read in the timed window";
            EXPECT_EQ(f.events[end], "counter");
            EXPECT_EQ(f.events[at("thread", raise)], "thread 15");
            EXPECT_LT(raise, start);
            EXPECT_LT(end, lower);
            EXPECT_EQ(f.events[lower + 1], "thread -2");
            EXPECT_LT(lower, status);
            EXPECT_NE(f.events[status].find(" done=" + num(c)), std::string::npos) << "status before the advance";
            from = status;
        }
        const size_t summary = f.events.size() - 2;
        EXPECT_EQ(f.events.back(), "ended 1");
        EXPECT_LT(at("release"), summary);
        EXPECT_EQ(f.events[at("thread 0")], "thread 0");
        EXPECT_LT(at("thread 0"), summary);
        EXPECT_EQ(f.events[at("reserve")], "reserve 2048");  // one track
        EXPECT_EQ(app.tracksDone, 2u);
        EXPECT_EQ(std::count(f.events.begin(), f.events.end(), "tick"), 0) << "one clock for the run";
    }
};

TEST_F(BenchOrder, NtRun) {
    app.driveTable[1].cylinders = 2;
    app.highPriority = 1;
    app.noBuffering = 1;
    runNt();
    EXPECT_EQ(f.events[1], "open \\\\.\\PHYSICALDRIVE1 nobuf");
    EXPECT_LT(at("close"), at("release"));
    expectOrders("status Track ", "read 2048");
    EXPECT_EQ(f.statuses.back(), "Read 2 tracks for 12 ms. Speed <min/eff/avr/max> 666/666/666/666 kB/s.");
}

TEST_F(BenchOrder, LegacyRunReadsWholeTracksByAddressInCodePage936) {
    app.driveTable[1].cylinders = 2;
    app.highPriority = 1;
    f.usPerRead = 0;  // under a millisecond: counted as 1 ms
    runLegacy();
    EXPECT_EQ(f.events[at("read")], "read 129 0/0 s1 n4");
    EXPECT_EQ(f.events[at("read 129 1/1")], "read 129 1/1 s1 n4");
    expectOrders("status \xD5\xBB\xB5\xC0  ", "read 129 ");
    EXPECT_EQ(f.statuses[0], "\xD5\xBB\xB5\xC0  0. \xCB\xD9\xB6\xC8  4000 kB/s. \xD7\xEE\xB5\xCD\xCB\xD9\xB6\xC8  4000, "
                             "\xD7\xEE\xB8\xDF\xCB\xD9\xB6\xC8  4000.");
    EXPECT_EQ(f.statuses.back(), "\xB6\xC1\xC8\xA1 2 \xD5\xBB\xB5\xC0\xD3\xC3\xC1\xCB   1 ms. "
                                 "Speed <min/eff/avr/max> 4000/8000/4000/4000 kB/s.");
}

TEST_F(Bench, MinimumMaximumAndAverageFollowTheCylinders) {
    app.driveTable[1] = {4, 1, 8, 512};  // 4 KiB per cylinder, one read each
    f.costs = {4000, 2000, 8000, 2000};  // 1000, 2000, 500, 2000 kB/s
    runNt();
    ASSERT_EQ(f.statuses.size(), 5u);
    EXPECT_EQ(f.statuses[0], "Track 0. Speed 1000 kB/s. Min speed 1000, max speed 1000.");
    EXPECT_EQ(f.statuses[2], "Track 2. Speed 500 kB/s. Min speed 500, max speed 2000.");
    EXPECT_EQ(f.statuses[3], "Track 3. Speed 2000 kB/s. Min speed 500, max speed 2000.");
    // 16 KiB in 16 ms; average (1000 + 2000 + 500 + 2000) / 4.
    EXPECT_EQ(f.statuses[4], "Read 4 tracks for 16 ms. Speed <min/eff/avr/max> 500/1000/1375/2000 kB/s.");
    EXPECT_EQ(app.trackSpeeds[2], 500u);
}

TEST_F(Bench, StopLetsTheCurrentCylinderFinish) {
    app.driveTable[1].cylinders = 10;
    f.stopDuring = 3;
    runNt();
    EXPECT_EQ(app.tracksDone, 4u);
    EXPECT_EQ(f.statuses.size(), 5u);
    EXPECT_EQ(f.statuses.back().rfind("Read 4 tracks for ", 0), 0u);
    EXPECT_EQ(f.events.back(), "ended 1");
}

TEST_F(Bench, CancelLeavesWithoutRecordingTheCylinder) {
    for (uint32_t k : {0u, 2u}) {
        SetUp();
        f.failures[{k, 1}] = 0x1F4A;
        fakeBoxes.answers = {BOX_ANSWER_CANCEL};
        app.highPriority = 1;
        runNt();
        EXPECT_EQ(app.tracksDone, k);
        EXPECT_EQ(app.runFlag, 0);
        EXPECT_EQ(app.trackSpeeds[k], 0xDEADu);
        ASSERT_EQ(prompts().size(), 1u);
        EXPECT_EQ(prompts()[0], "Reading error ( code=1F4Ah )\nTrack " + num(k) +
                                    ", head 1.\nShow this message if error will be occured?");
        // Cancel skips the between-cylinder drop; the exit still restores normal.
        std::vector<std::string> tail(f.events.end() - 7, f.events.end());
        EXPECT_EQ(tail[0], "close");
        EXPECT_EQ(tail[1], "release");
        EXPECT_EQ(tail[2], "class 32");
        EXPECT_EQ(tail[3], "thread 0");
        if (k == 0) {
            EXPECT_EQ(f.statuses, std::vector<std::string>{"No sectors read!"});
            EXPECT_EQ(tail[6], "ended 0");
        } else {
            EXPECT_EQ(f.statuses.back().rfind("Read 2 tracks for ", 0), 0u);
            EXPECT_EQ(tail[6], "ended 1");
        }
    }
}

// The option alone raises the process, and a prompt is answered at the
// raised priority: the drop between cylinders comes after it.
TEST_F(Bench, HighPriorityOnlyWhenTickedAndDroppedOnlyAfterThePrompt) {
    auto count = [](const char* event) { return std::count(f.events.begin(), f.events.end(), event); };
    for (int ticked = 0; ticked < 2; ++ticked) {
        SCOPED_TRACE(ticked);
        SetUp();
        app.driveTable[1].cylinders = 3;
        f.failures[{1, 0}] = 0x17;
        app.highPriority = ticked;
        runNt();
        ASSERT_EQ(prompts().size(), 1u);
        // Each cylinder raised and dropped when ticked; the run's closing
        // restore either way.
        EXPECT_EQ(count("class 256"), ticked ? 3 : 0);
        EXPECT_EQ(count("thread 15"), ticked ? 3 : 0);
        EXPECT_EQ(count("thread -2"), ticked ? 3 : 0);
        EXPECT_EQ(count("class 32"), ticked ? 4 : 1);
        if (!ticked) continue;
        size_t prompt = 0;
        while (f.events[prompt].rfind("box Reading error", 0) != 0) ++prompt;
        size_t before = prompt, after = prompt;
        while (f.events[before].rfind("class ", 0) != 0) --before;
        while (f.events[after].rfind("class ", 0) != 0) ++after;
        EXPECT_EQ(f.events[before], "class 256");
        EXPECT_EQ(f.events[after], "class 32");
        EXPECT_EQ(f.events[after + 1], "thread -2");
    }
}

TEST_F(Bench, NoSilencesTheRestOfThisRunOnly) {
    app.driveTable[1].cylinders = 5;
    for (uint32_t c = 1; c <= 3; ++c) f.failures[{c, 0}] = 0x1500;
    fakeBoxes.answers = {BOX_ANSWER_NO};
    runLegacy();
    EXPECT_EQ(prompts().size(), 1u);
    EXPECT_EQ(app.tracksDone, 5u);

    startAgain();
    runLegacy();
    EXPECT_EQ(prompts().size(), 3u);
    EXPECT_EQ(app.tracksDone, 5u);
}

TEST_F(Bench, FailedHeadEndsTheCylinderButItIsRecordedWhole) {
    app.driveTable[1] = {2, 4, 4, 512};  // 8 KiB per cylinder
    f.failures[{0, 1}] = 0x00001500;
    runLegacy();
    ASSERT_EQ(prompts().size(), 1u);
    EXPECT_EQ(prompts()[0], "Reading error ( code=15h )\n\xD5\xBB\xB5\xC0  0, \xD6\xF9\xCD\xB7 1.\n"
                            "Show this message if error will be occured?");
    EXPECT_EQ(f.reads, 2u + 4u);
    // Two reads of 3 ms, the full 8 KiB counted.
    EXPECT_EQ(app.trackSpeeds[0], 8u * 1000u / 6u);
    EXPECT_EQ(app.tracksDone, 2u);
}

// A bad sector must cost its own cylinder only: the cylinder after it is
// read from its own first byte, and sequential reading goes on from there.
TEST_F(Bench, NtRunGoesOnWithTheNextCylinderAfterAFailedRead) {
    app.driveTable[1] = {5, 3, 4, 512};  // 2 KiB tracks, 3 per cylinder
    f.failures[{1, 1}] = 0x17;
    f.failures[{3, 0}] = 0x45D;
    f.failures[{4, 0}] = 0x45D;  // a failure on the first read after one
    runNt();
    EXPECT_EQ(prompts(), (std::vector<std::string>{
                             "Reading error ( code=17h )\nTrack 1, head 1.\nShow this message if error will be occured?",
                             "Reading error ( code=45Dh )\nTrack 3, head 0.\nShow this message if error will be occured?",
                             "Reading error ( code=45Dh )\nTrack 4, head 0.\nShow this message if error will be occured?"}));
    std::vector<std::string> reads;
    for (const std::string& e : f.events) {
        if (e.rfind("read ", 0) == 0) reads.push_back(e.substr(5));
    }
    EXPECT_EQ(reads, (std::vector<std::string>{"2048", "2048", "2048",                     // cylinder 0
                                               "2048", "2048",                             // 1: head 1 fails
                                               "2048 at 12288", "2048", "2048",            // 2 from its start
                                               "2048",                                     // 3: head 0 fails
                                               "2048 at 24576"}));                         // 4: fails again
    EXPECT_EQ(app.tracksDone, 5u);
}

TEST_F(Bench, LegacyFailureIsAnyBitOfTheMaskAndTheCodeIsBits8To15) {
    const struct {
        uint32_t word;
        const char* code;  // null: not a failure
    } cases[] = {{0x80000000u, "0h"}, {0x12345678u, "56h"}, {0x000000FFu, nullptr}, {0x7FFF00FFu, nullptr}};
    for (const auto& c : cases) {
        SetUp();
        app.driveTable[1].cylinders = 1;
        f.failures[{0, 0}] = c.word;
        runLegacy();
        if (!c.code) {
            EXPECT_TRUE(prompts().empty()) << std::hex << c.word;
            continue;
        }
        ASSERT_EQ(prompts().size(), 1u) << std::hex << c.word;
        EXPECT_EQ(prompts()[0].substr(0, prompts()[0].find('\n')), std::string("Reading error ( code=") + c.code + " )");
    }
}

// A run that cannot begin: its box, "No sectors read!" on the NT family
// (nothing on the 9x family), runEnded(false), the buffer given back when
// it was had, no device closed that was never opened, normal priority.
TEST_F(Bench, RunsThatCannotBeginEndWithNothingRead) {
    f.noMemory = true;
    runNt();
    EXPECT_EQ(f.events[1], "box Out of memory! 16");
    EXPECT_EQ(f.statuses, std::vector<std::string>{"No sectors read!"});
    EXPECT_EQ(f.events.back(), "ended 0");
    EXPECT_EQ(std::count(f.events.begin(), f.events.end(), "thread 0"), 1);

    SetUp();
    fakeDevice.drives[1].opens = false;
    runNt();
    EXPECT_EQ(f.events[2], "box Can't open disk! 16");
    EXPECT_EQ(std::count(f.events.begin(), f.events.end(), "release"), 1);
    EXPECT_EQ(std::count(f.events.begin(), f.events.end(), "close"), 0);
    EXPECT_EQ(f.statuses, std::vector<std::string>{"No sectors read!"});
    EXPECT_EQ(f.events.back(), "ended 0");

    SetUp();
    f.noMemory = true;
    runLegacy();
    EXPECT_EQ(f.events, (std::vector<std::string>{"reserve 2048", "box Out of memory! 16", "ended 0"}));
}

TEST_F(Bench, LargestDriveKeepsTheEffectiveSpeedWhole) {
    app.driveTable[1] = {1024, 255, 63, 512};  // 8032 KiB per cylinder
    BenchPlatform platform = PLATFORM;
    static uint32_t clock;
    clock = 0;
    // No counter, and every tick one millisecond later: 1 ms per cylinder,
    // 2049 ms in all.
    f.perSecond = 0;
    platform.tick = [] { return clock++; };
    platform.statusText = [](const char* text) { f.statuses.push_back(text); };
    runLegacyWith(platform, succeedingRead);
    ASSERT_EQ(app.tracksDone, 1024u);
    EXPECT_EQ(app.trackSpeeds[1023], 8032000u);
    // Effective 8032 x 1024 x 1000 / 2049 needs 64 bits; the sum of 1024 x
    // 8032000 wraps modulo 2^32 before the average is taken.
    EXPECT_EQ(effectiveSpeed(8225280u, 1024u, 2049u), 4014040u);
    const std::string summary = f.statuses.back();
    EXPECT_NE(summary.find("2049 ms. Speed <min/eff/avr/max> 8032000/4014040/3837696/8032000 kB/s."),
              std::string::npos)
        << summary;
}

// The main window starts runs only on drives within the table's size; a
// drive beyond it is measured up to the table's end and no further.
TEST_F(Bench, NoRunPassesTheSpeedTable) {
    app.driveTable[1] = {MAX_TRACKS + 6, 1, 8, 512};
    app.driveTable[0] = {11, 22, 33, 44};  // the record's next field after the table
    f.usPerRead = 0;
    runLegacy();
    EXPECT_EQ(app.tracksDone, (uint32_t)MAX_TRACKS);
    EXPECT_EQ(f.statuses.back().rfind("\xB6\xC1\xC8\xA1 1024 ", 0), 0u) << f.statuses.back();
    EXPECT_EQ(app.driveTable[0].cylinders, 11u);
    EXPECT_EQ(app.driveTable[0].bytesPerSector, 44u);
}

// The drive's own cylinder times, 31.5 to 63 ms as 504 KiB take from 16000
// down to 8000 kB/s, under a tick that moves in 55 ms steps as Windows 95's
// does. Timed by the counter every cylinder and the run are within 1 ms of
// those times; timed by the tick, where there is no counter, none is: the
// cylinders come out at 0 ms (counted as 1) or 55.
TEST_F(Bench, CounterTimesEachCylinderWithinAMillisecondWhereTheTicksStepsDoNot) {
    const std::vector<uint32_t> costs = {31500, 35000, 40000, 47250, 52000, 58500, 61000, 63000};
    uint64_t trueTotalUs = 0;
    for (uint32_t c : costs) trueTotalUs += c;
    for (uint64_t perSecond : {1193182u, 0u}) {
        SCOPED_TRACE(perSecond);
        SetUp();
        app.driveTable[1] = {(uint32_t)costs.size(), 1, 8, 512};  // 4 KiB per cylinder, one read each
        f.costs = costs;
        f.tickStepUs = 55000;
        f.nowUs = 20000;  // the run starts between two ticks
        f.perSecond = perSecond;
        runNt();
        ASSERT_EQ(app.tracksDone, costs.size());
        size_t within = 0;
        for (size_t c = 0; c < costs.size(); ++c) {
            const uint32_t low = (costs[c] - 1000 + 999) / 1000, high = (costs[c] + 1000) / 1000;
            bool near = false;
            for (uint32_t ms = low; ms <= high; ++ms) near = near || app.trackSpeeds[c] == cylinderSpeed(4096, ms);
            within += near;
        }
        uint32_t totalMs = 0;
        ASSERT_EQ(sscanf(f.statuses.back().c_str(), "Read 8 tracks for %u ms.", &totalMs), 1) << f.statuses.back();
        const bool totalNear = totalMs * 1000ull + 1000 >= trueTotalUs && totalMs * 1000ull <= trueTotalUs + 1000;
        if (perSecond != 0) {
            EXPECT_EQ(within, costs.size());
            EXPECT_TRUE(totalNear) << totalMs;
            EXPECT_NE(f.statuses.back().find("<min/eff/avr/max> 63/"), std::string::npos) << f.statuses.back();
        } else {
            EXPECT_EQ(within, 0u);
            EXPECT_FALSE(totalNear) << totalMs;
            EXPECT_NE(f.statuses.back().find("/4000 kB/s."), std::string::npos) << "0 ms counted as 1";
        }
    }
}

TEST(BenchArithmetic, CylinderSpeedIsThirtyTwoBitWithZeroAsOneMillisecond) {
    EXPECT_EQ(cylinderSpeed(4096, 0), 4000u);
    EXPECT_EQ(cylinderSpeed(4096, 1), 4000u);
    EXPECT_EQ(cylinderSpeed(4096, 3), 1333u);
    EXPECT_EQ(cylinderSpeed(1023, 1), 0u);  // below one KiB
    // 255 x 63 x 65536 bytes: 1028160 KiB x 1000 still fits in 32 bits.
    EXPECT_EQ(cylinderSpeed(255u * 63u * 65536u, 7), 146880000u);
}

TEST(BenchArithmetic, CountsBecomeTheNearestMillisecondWithoutOverflow) {
    EXPECT_EQ(countsToMs(1193, 1193182), 1u);   // 0.9998 ms
    EXPECT_EQ(countsToMs(596, 1193182), 0u);    // 0.4995 ms
    EXPECT_EQ(countsToMs(37585, 1193182), 31u);  // 31.4998 ms
    EXPECT_EQ(countsToMs(37586, 1193182), 32u);  // 31.5007 ms
    // 30 days of a 10 GHz counter: counts x 1000 would pass 2^64.
    EXPECT_EQ(countsToMs(10000000000ull * 2592000u, 10000000000ull), 2592000000u);
}

}  // namespace
