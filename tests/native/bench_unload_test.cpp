// Closing while a 9x-family run may be inside the sector-service library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "drive/drive_access.h"

namespace {

// A 9x run through the sector service's read `read`.
void runLegacyWith(const BenchPlatform& platform, ReadPhysicalSector32Fn read) {
    app.sectorService.readPhysicalSector32 = read;
    runBenchmarkWith(platform, LEGACY_DISK);
}

uint32_t fakeNow;
uint32_t sleeps;
uint32_t leaveAfterSleeps;  // 0: the call inside never returns

uint32_t fakeTick() { return fakeNow; }
void fakeSleep(uint32_t ms) {
    fakeNow += ms;
    if (++sleeps == leaveAfterSleeps) leaveSectorService();
}
const UnloadWaitOps FAKE_WAIT = {fakeTick, fakeSleep};

class Unload : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        fakeNow = 1000;
        sleeps = 0;
        leaveAfterSleeps = 0;
        app.runFlag = 1;
    }
};

TEST_F(Unload, NobodyInsideReleasesAtOnceAndShutsTheGate) {
    EXPECT_TRUE(stopWorkerBeforeUnloadWith(FAKE_WAIT, 5000));
    EXPECT_EQ(sleeps, 0u);
    EXPECT_EQ(app.runFlag, 0);
    EXPECT_FALSE(enterSectorService());
    EXPECT_EQ(app.sectorServiceCallsInside, 0);
}

TEST_F(Unload, WaitsForTheCallInsideToReturn) {
    ASSERT_TRUE(enterSectorService());
    leaveAfterSleeps = 3;
    EXPECT_TRUE(stopWorkerBeforeUnloadWith(FAKE_WAIT, 5000));
    EXPECT_EQ(sleeps, 3u);
}

TEST_F(Unload, GivesUpAfterTheTimeoutWhileACallIsStillInside) {
    ASSERT_TRUE(enterSectorService());
    EXPECT_FALSE(stopWorkerBeforeUnloadWith(FAKE_WAIT, 500));
    EXPECT_GE(fakeNow - 1000, 500u);
    EXPECT_LE(fakeNow - 1000, 520u);
}

// A real worker blocked inside a read while the dialog thread closes: once the
// wait says the library may go, the worker never calls into it again.
std::atomic<bool> inside, release, released;
std::atomic<int> readsAfterRelease, reads;

uint32_t SECTOR_SERVICE_CALL blockingRead(uint32_t, uint32_t cylinder, uint32_t head, uint32_t, uint32_t count,
                                          void*) {
    reads++;
    if (released) readsAfterRelease++;
    if (cylinder == 3 && head == 0) {
        inside = true;
        while (!release) std::this_thread::yield();
    }
    return count;
}

void* reserveBuffer(uint32_t) {
    static uint8_t buffer[4096];
    return buffer;
}
void ignoreBuffer(void*) {}
uint32_t zeroTick() { return 0; }
uint64_t noCounter() { return 0; }
void ignoreClass(uint32_t) {}
void ignoreThread(int32_t) {}
int32_t answerYes(void*, const char*, uint32_t) { return BOX_ANSWER_YES; }
void ignoreText(const char*) {}
void ignoreTrack(uint32_t) {}
std::atomic<int> ended;
void countEnd(bool) { ended++; }

uint32_t realTick() {
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
void sleepAndRelease(uint32_t ms) {
    release = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST_F(Unload, WorkerNeverEntersTheLibraryAfterTheWaitEnds) {
    app.driveTable[0] = {100, 2, 8, 512};
    inside = release = released = false;
    readsAfterRelease = reads = 0;
    ended = 0;
    const BenchPlatform platform = {reserveBuffer, ignoreBuffer, zeroTick,    noCounter, noCounter, ignoreClass,
                                    ignoreThread,  answerYes,    ignoreText, ignoreTrack, countEnd};
    std::thread worker([&] { runLegacyWith(platform, blockingRead); });
    while (!inside) std::this_thread::yield();

    const UnloadWaitOps wait = {realTick, sleepAndRelease};
    const bool mayRelease = stopWorkerBeforeUnloadWith(wait, 5000);
    released = true;
    worker.join();

    EXPECT_TRUE(mayRelease);
    EXPECT_EQ(readsAfterRelease, 0);
    EXPECT_EQ(reads, 3 * 2 + 1);
    // The cylinder whose next head was refused is not recorded.
    EXPECT_EQ(app.tracksDone, 3u);
    EXPECT_EQ(ended, 1);
}

}  // namespace
