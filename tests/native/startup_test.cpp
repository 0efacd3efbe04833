#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "drive/drive_access.h"
#include "res/resource.h"

namespace {

struct Script {
    void* running = nullptr;
    bool minimised = false;
    bool versionOk = true;
    uint32_t platformId = 2;
    uintptr_t module = 0x10000000;
    bool hasRead = true;
    bool hasParams = true;
    uint32_t drives = 1;
    std::vector<std::string> calls;
    std::vector<std::string> boxes;
    std::vector<uint32_t> styles;
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
uintptr_t loadLibrary(const char* name) {
    s->calls.push_back(std::string("load ") + name);
    return s->module;
}
uint32_t SECTOR_SERVICE_CALL readStub(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, void*) { return 0; }
uint32_t SECTOR_SERVICE_CALL paramsStub(uint32_t, void*) { return 0; }
void* findProcedure(uintptr_t, const char* name) {
    s->calls.push_back(std::string("proc ") + name);
    if (!strcmp(name, "ReadPhysicalSector32")) return s->hasRead ? (void*)readStub : nullptr;
    if (!strcmp(name, "GetDriveParameters32")) return s->hasParams ? (void*)paramsStub : nullptr;
    return nullptr;
}
int32_t showBox(void* owner, const char* text, uint32_t style) {
    EXPECT_EQ(owner, nullptr) << "start-up's boxes have no owner";
    s->calls.push_back("box");
    s->boxes.push_back(text);
    s->styles.push_back(style);
    return 1;
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
const DiskOps NT_TABLE = familyTable(ntDiskOps(nullptr), enumerateNt);
const DiskOps LEGACY_TABLE = familyTable(LEGACY_DISK, enumerateLegacy);

const StartupOps OPS = {
    .findMainWindow = findMainWindow,
    .isMinimised = isMinimised,
    .restore = restore,
    .bringToFront = bringToFront,
    .queryPlatform = queryPlatform,
    .loadLibrary = loadLibrary,
    .findProcedure = findProcedure,
    .showBox = showBox,
    .ntDisk = &NT_TABLE,
    .legacyDisk = &LEGACY_TABLE,
    .runMainDialog = runMainDialog,
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        s = &script;
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
    EXPECT_TRUE(script.boxes.empty());
}

TEST_F(Startup, VersionFailureAndUnknownPlatformExitZero) {
    script.versionOk = false;
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_TRUE(script.boxes.empty());

    script.versionOk = true;
    script.platformId = 0;  // Win32s
    EXPECT_EQ(runStartup(OPS), 0);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0], "This program requires Windows 95/NT.");
    EXPECT_EQ(script.styles[0], 0u);
    EXPECT_EQ(script.calls.back(), "box");
}

TEST_F(Startup, NtFamilyDiscoversDirectlyAndLoadsNoLibrary) {
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_EQ(script.calls, expectCalls({"find", "version", "enumNt", "dialog"}));
    EXPECT_EQ(app.platformKind, 2);
    EXPECT_EQ(app.disk, &NT_TABLE);
    EXPECT_EQ(app.sectorService.module, nullptr);
    EXPECT_EQ(app.driveCount, 1u);
}

TEST_F(Startup, LegacyFamilyLoadsTheLibraryLooksUpBothAndDiscovers) {
    script.platformId = 1;
    script.drives = 3;
    EXPECT_EQ(runStartup(OPS), 0);
    EXPECT_EQ(script.calls, expectCalls({"find", "version", "load Rawio32.dll", "proc ReadPhysicalSector32",
                                         "proc GetDriveParameters32", "enumLegacy", "dialog"}));
    EXPECT_EQ(app.platformKind, 1);
    EXPECT_EQ(app.disk, &LEGACY_TABLE);
    EXPECT_EQ(app.sectorService.module, (void*)0x10000000);
    EXPECT_EQ((void*)app.sectorService.readPhysicalSector32, (void*)readStub);
    EXPECT_EQ((void*)app.sectorService.getDriveParameters32, (void*)paramsStub);
    EXPECT_EQ(app.driveCount, 3u);
}

TEST_F(Startup, LibraryHandlesUpTo32AreFailures) {
    script.platformId = 1;
    for (uintptr_t handle : {(uintptr_t)0, (uintptr_t)1, (uintptr_t)32}) {
        script.module = handle;
        script.calls.clear();
        script.boxes.clear();
        EXPECT_EQ(runStartup(OPS), 1);
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0],
                  "Failure loading library Rawio32.DLL.\nCheck that Rawio32.DLL and Rawio16.DLL exist.");
        EXPECT_EQ(script.styles[0], BOX_ICON_ERROR);
        EXPECT_EQ(script.calls.back(), "box");
    }
    script.module = 33;
    EXPECT_EQ(runStartup(OPS), 0);
}

TEST_F(Startup, EitherMissingEntryPointFailsAfterBothLookups) {
    script.platformId = 1;
    for (int missing = 0; missing < 3; ++missing) {
        resetAppState();
        script.hasRead = missing != 0;
        script.hasParams = missing != 1;
        if (missing == 2) script.hasRead = script.hasParams = false;
        script.calls.clear();
        script.boxes.clear();
        EXPECT_EQ(runStartup(OPS), 1);
        EXPECT_EQ(script.calls, expectCalls({"find", "version", "load Rawio32.dll", "proc ReadPhysicalSector32",
                                             "proc GetDriveParameters32", "box"}));
        EXPECT_EQ(script.boxes[0], "Failure locating procedures.");
        EXPECT_EQ(script.styles[0], BOX_ICON_ERROR);
    }
}

TEST_F(Startup, NoDriveOnEitherFamilyExitsOne) {
    script.drives = 0;
    for (uint32_t platform : {1u, 2u}) {
        script.platformId = platform;
        script.boxes.clear();
        EXPECT_EQ(runStartup(OPS), 1);
        ASSERT_EQ(script.boxes.size(), 1u);
        EXPECT_EQ(script.boxes[0], "Hard Disks not found!.");
        EXPECT_EQ(script.styles[0], BOX_ICON_ERROR);
        EXPECT_NE(script.calls.back(), "dialog");
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
