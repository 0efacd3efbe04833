#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "fakes.h"
#include "res/resource.h"

namespace {

struct Script {
    void* running = nullptr;
    bool minimised = false;
    bool versionOk = true;
    uint32_t platformId = 2;
    SectorServiceLoad load = SECTOR_SERVICE_LOADED;
    uint32_t drives = 1;
    // The calls in order, each box among them as "box TEXT STYLE".
    std::vector<std::string> calls;
    std::string searchedCaption;
};
Script* s;

void* findMainWindow(const char* caption) {
    s->calls.push_back("find");
    s->searchedCaption = caption;
    return s->running;
}
bool isMinimised(void*) {
    s->calls.push_back("iconic");
    return s->minimised;
}
void restore(void*) { s->calls.push_back("restore"); }
void bringToFront(void*) { s->calls.push_back("front"); }
bool queryPlatform(uint32_t* id) {
    s->calls.push_back("version");
    *id = s->platformId;
    return s->versionOk;
}
SectorServiceLoad loadSectorService() {
    s->calls.push_back("load");
    return s->load;
}
uint32_t enumerateNt(DriveGeometry*) {
    s->calls.push_back("enumNt");
    return s->drives;
}
uint32_t enumerateLegacy(DriveGeometry*) {
    s->calls.push_back("enumLegacy");
    return s->drives;
}
void runMainDialog() { s->calls.push_back("dialog"); }
// Each family's table, with only its discovery faked.
DiskOps familyTable(const DiskOps& real, uint32_t (*enumerate)(DriveGeometry*)) {
    DiskOps table = real;
    table.enumerateDrives = enumerate;
    return table;
}
const DiskOps NT_TABLE = familyTable(NT_DISK, enumerateNt);
const DiskOps LEGACY_TABLE = familyTable(LEGACY_DISK, enumerateLegacy);

const StartupOps OPS = {
    .findMainWindow = findMainWindow,
    .isMinimised = isMinimised,
    .restore = restore,
    .bringToFront = bringToFront,
    .queryPlatform = queryPlatform,
    .loadSectorService = loadSectorService,
    .showBox = fakeShowBox,
    .ntDisk = &NT_TABLE,
    .legacyDisk = &LEGACY_TABLE,
    .ntDevice = &FAKE_DEVICE,
    .runMainDialog = runMainDialog,
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        resetFakes();
        s = &script;
        fakeBoxes.log = &script.calls;
    }
    void TearDown() override {
        for (const BoxShown& b : fakeBoxes.shown) EXPECT_EQ(b.owner, nullptr) << "start-up's boxes have no owner";
    }
    Script script;
    std::vector<std::string> expectCalls(std::initializer_list<const char*> names) {
        return std::vector<std::string>(names.begin(), names.end());
    }
};

TEST_F(Startup, ARunningCopyIsRestoredIfMinimisedBroughtToFrontAndExitsOne) {
    script.running = (void*)0x42;
    script.minimised = true;
    EXPECT_EQ(runStartup(OPS), 1);
    EXPECT_EQ(script.calls, expectCalls({"find", "iconic", "restore", "front"}));
    EXPECT_EQ(script.searchedCaption, MAIN_WINDOW_CAPTION);
    EXPECT_STREQ(MAIN_WINDOW_CAPTION, "zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo");

    script.calls.clear();
    script.minimised = false;
    EXPECT_EQ(runStartup(OPS), 1);
    EXPECT_EQ(script.calls, expectCalls({"find", "iconic", "front"}));
}

TEST_F(Startup, VersionFailureAndUnknownPlatformExitZero) {
    script.versionOk = false;
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_TRUE(fakeBoxes.shown.empty());

    script.versionOk = true;
    script.platformId = 0;  // Win32s
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_EQ(script.calls.back(), "box This program requires Windows 95/NT. 0");
    EXPECT_EQ(fakeBoxes.shown.size(), 1u);
}

TEST_F(Startup, NtFamilyDiscoversThroughItsDeviceAndLoadsNoLibrary) {
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_EQ(script.calls, expectCalls({"find", "version", "enumNt", "dialog"}));
    EXPECT_EQ(app.platformKind, PLATFORM_NT);
    EXPECT_EQ(app.disk, &NT_TABLE);
    EXPECT_EQ(app.ntDevice, &FAKE_DEVICE);
    EXPECT_EQ(app.driveCount, 1u);
}

TEST_F(Startup, LegacyFamilyLoadsTheLibraryBeforeItDiscovers) {
    script.platformId = 1;
    script.drives = 3;
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_EQ(script.calls, expectCalls({"find", "version", "load", "enumLegacy", "dialog"}));
    EXPECT_EQ(app.platformKind, PLATFORM_LEGACY);
    EXPECT_EQ(app.disk, &LEGACY_TABLE);
    EXPECT_EQ(app.ntDevice, nullptr);
    EXPECT_EQ(app.driveCount, 3u);
}

TEST_F(Startup, ALibraryThatFailsToLoadEndsStartUpWithOne) {
    script.platformId = 1;
    const struct {
        SectorServiceLoad load;
        const char* box;
    } cases[] = {
        {SECTOR_SERVICE_LIBRARY_MISSING,
         "box Failure loading library Rawio32.DLL.\nCheck that Rawio32.DLL and Rawio16.DLL exist. 16"},
        {SECTOR_SERVICE_ENTRIES_MISSING, "box Failure locating procedures. 16"},
    };
    for (const auto& c : cases) {
        script.load = c.load;
        script.calls.clear();
        EXPECT_EQ(runStartup(OPS), 1);
        EXPECT_EQ(script.calls, expectCalls({"find", "version", "load", c.box}));
    }
}

TEST_F(Startup, NoDriveOnEitherFamilyExitsOne) {
    script.drives = 0;
    for (uint32_t platform : {1u, 2u}) {
        script.platformId = platform;
        script.calls.clear();
        EXPECT_EQ(runStartup(OPS), 1);
        EXPECT_EQ(script.calls.back(), "box Hard Disks not found!. 16");
    }
}

TEST(AppStateRecord, StartsZeroed) {
    app.tracksDone = 5;
    app.driveCount = 3;
    resetAppState();
    EXPECT_EQ(app.tracksDone, 0u);
    EXPECT_EQ(app.driveCount, 0u);
    EXPECT_EQ(sizeof(PartitionEntry), 16u);
    EXPECT_EQ(sizeof(DriveGeometry), 16u);
    // Cylinder fields carry two high bits in the sector byte.
    EXPECT_EQ(decodeCylinder(0xC1, 0xFF), 1023u);
    EXPECT_EQ(decodeSector(0xC1), 1u);
}

}  // namespace
