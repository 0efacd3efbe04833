// The program's hold on the sector-service library: its load, the gate
// around the worker's calls, and the release when the main window closes,
// also while a run may be inside the library.
#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "drive/sector_service.h"

namespace {

uint32_t SECTOR_SERVICE_CALL readStub(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, void*) { return 0; }
uint32_t SECTOR_SERVICE_CALL paramsStub(uint32_t, void*) { return 0; }

struct Loader {
    uintptr_t module = 0x10000000;
    bool hasRead = true;
    bool hasParams = true;
    std::vector<std::string> calls;
    uint32_t now = 1000;
    uint32_t sleeps = 0;
    uint32_t leaveAfterSleeps = 0;  // 0: the call inside never returns
} l;

uintptr_t loadLibrary(const char* name) {
    l.calls.push_back(std::string("load ") + name);
    return l.module;
}
void* findProcedure(uintptr_t module, const char* name) {
    l.calls.push_back("proc " + std::string(name) + (module == l.module ? "" : " ?"));
    if (!strcmp(name, "ReadPhysicalSector32")) return l.hasRead ? (void*)readStub : nullptr;
    if (!strcmp(name, "GetDriveParameters32")) return l.hasParams ? (void*)paramsStub : nullptr;
    return nullptr;
}
void freeLibrary(uintptr_t module) { l.calls.push_back(module == l.module ? "free" : "free ?"); }
uint32_t fakeTick() { return l.now; }
void fakeSleep(uint32_t ms) {
    l.now += ms;
    if (++l.sleeps == l.leaveAfterSleeps) leaveSectorService();
}
const SectorServiceOps OPS = {loadLibrary, findProcedure, freeLibrary, fakeTick, fakeSleep};

class SectorServiceHold : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        l = Loader();
    }
};

TEST_F(SectorServiceHold, LoadFindsBothEntryPointsByName) {
    EXPECT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_LOADED);
    EXPECT_EQ(l.calls, (std::vector<std::string>{"load Rawio32.dll", "proc ReadPhysicalSector32",
                                                 "proc GetDriveParameters32"}));
    EXPECT_EQ(app.sectorService.module, l.module);
    EXPECT_EQ((void*)app.sectorService.readPhysicalSector32, (void*)readStub);
    EXPECT_EQ((void*)app.sectorService.getDriveParameters32, (void*)paramsStub);
}

TEST_F(SectorServiceHold, LibraryHandlesUpTo32AreFailuresAndNothingIsKept) {
    for (uintptr_t handle : {(uintptr_t)0, (uintptr_t)1, (uintptr_t)32}) {
        l.module = handle;
        l.calls.clear();
        EXPECT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_LIBRARY_MISSING);
        EXPECT_EQ(l.calls, std::vector<std::string>{"load Rawio32.dll"});
        EXPECT_EQ(app.sectorService.module, 0u);
        // An error code is no library: the release frees nothing.
        EXPECT_TRUE(releaseSectorServiceWith(OPS, 5000));
        EXPECT_EQ(l.calls.size(), 1u);
    }
    l.module = 33;
    EXPECT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_LOADED);
}

TEST_F(SectorServiceHold, EitherMissingEntryPointFailsAfterBothLookups) {
    for (int missing = 0; missing < 3; ++missing) {
        resetAppState();
        l.hasRead = missing == 1;
        l.hasParams = missing == 0;
        l.calls.clear();
        EXPECT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_ENTRIES_MISSING);
        EXPECT_EQ(l.calls.size(), 3u);
        EXPECT_EQ(app.sectorService.readPhysicalSector32, nullptr);
        EXPECT_EQ(app.sectorService.getDriveParameters32, nullptr);
    }
}

TEST_F(SectorServiceHold, ReleaseWithNobodyInsideFreesAtOnceAndShutsTheGate) {
    ASSERT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_LOADED);
    EXPECT_TRUE(releaseSectorServiceWith(OPS, 5000));
    EXPECT_EQ(l.calls.back(), "free");
    EXPECT_EQ(l.sleeps, 0u);
    EXPECT_EQ(app.sectorService.module, 0u);
    EXPECT_FALSE(enterSectorService());
    EXPECT_EQ(app.sectorService.callsInside, 0);
}

TEST_F(SectorServiceHold, ReleaseWaitsForTheCallInsideToReturn) {
    ASSERT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_LOADED);
    ASSERT_TRUE(enterSectorService());
    l.leaveAfterSleeps = 3;
    EXPECT_TRUE(releaseSectorServiceWith(OPS, 5000));
    EXPECT_EQ(l.sleeps, 3u);
    EXPECT_EQ(l.calls.back(), "free");
}

TEST_F(SectorServiceHold, ReleaseGivesUpAfterTheTimeoutAndKeepsTheLibrary) {
    ASSERT_EQ(loadSectorServiceWith(OPS), SECTOR_SERVICE_LOADED);
    ASSERT_TRUE(enterSectorService());
    EXPECT_FALSE(releaseSectorServiceWith(OPS, 500));
    EXPECT_GE(l.now - 1000, 500u);
    EXPECT_LE(l.now - 1000, 520u);
    EXPECT_NE(l.calls.back(), "free");
    EXPECT_EQ(app.sectorService.module, l.module);
}

// A real worker blocked inside a read while the dialog thread closes: once the
// release has freed the library, the worker never calls into it again.
std::atomic<bool> inside, unblock, freed;
std::atomic<int> readsAfterFree, reads;

uint32_t SECTOR_SERVICE_CALL blockingRead(uint32_t, uint32_t cylinder, uint32_t head, uint32_t, uint32_t count,
                                          void*) {
    reads++;
    if (freed) readsAfterFree++;
    if (cylinder == 3 && head == 0) {
        inside = true;
        while (!unblock) std::this_thread::yield();
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
std::atomic<int> ended;
void countEnd(bool) { ended++; }

uint32_t realTick() {
    using namespace std::chrono;
    return (uint32_t)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
void sleepAndUnblock(uint32_t ms) {
    unblock = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
void freeAndNote(uintptr_t) { freed = true; }

TEST_F(SectorServiceHold, WorkerNeverEntersTheLibraryOnceItIsFreed) {
    app.driveTable[0] = {100, 2, 8, 512};
    app.runFlag = 1;
    app.sectorService.module = 0x10000000;
    app.sectorService.readPhysicalSector32 = blockingRead;
    inside = unblock = freed = false;
    readsAfterFree = reads = 0;
    ended = 0;
    const BenchPlatform platform = {reserveBuffer, ignoreBuffer, zeroTick,   noCounter,  noCounter, ignoreClass,
                                    ignoreThread,  answerYes,    ignoreText, countEnd};
    std::thread worker([&] { runBenchmarkWith(platform, LEGACY_DISK); });
    while (!inside) std::this_thread::yield();

    const SectorServiceOps real = {loadLibrary, findProcedure, freeAndNote, realTick, sleepAndUnblock};
    const bool releasedNow = releaseSectorServiceWith(real, 5000);
    worker.join();

    EXPECT_TRUE(releasedNow);
    EXPECT_TRUE(freed);
    EXPECT_EQ(readsAfterFree, 0);
    EXPECT_EQ(reads, 3 * 2 + 1);
    // The cylinder whose next head was refused is not recorded.
    EXPECT_EQ(app.tracksDone, 3u);
    EXPECT_EQ(ended, 1);
}

}  // namespace
