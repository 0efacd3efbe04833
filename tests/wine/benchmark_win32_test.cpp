// Both benchmark bodies under Wine with the system bindings: the 9x body
// against the stand-in sector service, the NT body against an image file
// opened through the device binding. The window's side is replaced by
// recorders.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "drive/disk_nt.h"
#include "drive/disk_ops.h"
#include "drive/sector_service.h"

namespace {

// A 9x run through the sector service's read `read`.
void runLegacyWith(const BenchPlatform& platform, ReadPhysicalSector32Fn read) {
    app.sectorService.readPhysicalSector32 = read;
    runBenchmarkWith(platform, LEGACY_DISK);
}

// 64 KiB per cylinder: 4 heads of 32 sectors of 512 bytes.
const uint32_t HEADS = 4, SECTORS = 32, BYTES = 512, CYLINDER_KIB = 64;
// The paced drive runs from 640 kB/s at cylinder 0 down to 320 at cylinder 39,
// so a cylinder takes 100 to 200 ms.
const uint32_t PACED_CYLINDERS = 40, FIRST_KBPS = 640, LAST_KBPS = 320;
const uint32_t FAULTY_CYLINDERS = 10;

struct Recorder {
    std::vector<std::string> statuses;
    std::vector<std::string> prompts;
    std::vector<uint32_t> styles;
    std::vector<bool> ended;
    int32_t answer;
    bool ownerRight = true;
} rec;

int32_t recordBox(void* owner, const char* text, uint32_t style) {
    if (owner != app.mainWindow) rec.ownerRight = false;
    rec.prompts.push_back(text);
    rec.styles.push_back(style);
    return rec.answer;
}
void recordStatus(const char* text) { rec.statuses.push_back(text); }
void recordEnd(bool any) { rec.ended.push_back(any); }

BenchPlatform recordingPlatform() {
    BenchPlatform platform = WIN32_BENCH_PLATFORM;
    platform.showBox = recordBox;
    platform.statusText = recordStatus;
    platform.runEnded = recordEnd;
    return platform;
}

bool writeFile(const std::string& path, const std::string& text, DWORD size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr) != 0;
    if (size > 0) ok = ok && SetFilePointer(file, (LONG)size, nullptr, FILE_BEGIN) == size && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// A private copy of the stand-in with its own configuration and images, so
// no other test's Rawio32.cfg is disturbed.
class WineBench : public ::testing::Test {
protected:
    std::string folder;
    HMODULE library = nullptr;
    ReadPhysicalSector32Fn read = nullptr;

    void SetUp() override {
        resetAppState();
        rec = Recorder();
        app.mainWindow = (void*)&rec;
        app.driveTable[0] = {PACED_CYLINDERS, HEADS, SECTORS, BYTES};
        app.driveTable[1] = {FAULTY_CYLINDERS, HEADS, SECTORS, BYTES};
        app.driveCount = 2;
        app.runFlag = 1;

        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        ASSERT_TRUE(length > 0 && length < MAX_PATH);
        std::string exeFolder(path, strrchr(path, '\\') - path);
        GetTempPathA(MAX_PATH, path);
        static int count = 0;
        folder = std::string(path) + "bench-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
        // A folder left by a crashed earlier run is reused: every file is rewritten.
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_TRUE(CopyFileA((exeFolder + "\\Rawio32.dll").c_str(), (folder + "\\Rawio32.dll").c_str(), FALSE));
        char config[256];
        snprintf(config, sizeof config,
                 "drive paced.img %u %u %u %u speed=%u,%u\r\ndrive faulty.img %u %u %u %u\r\nfault 4 1 60\r\n",
                 PACED_CYLINDERS, HEADS, SECTORS, BYTES, FIRST_KBPS, LAST_KBPS, FAULTY_CYLINDERS, HEADS, SECTORS,
                 BYTES);
        ASSERT_TRUE(writeFile(folder + "\\Rawio32.cfg", config, 0));
        ASSERT_TRUE(writeFile(folder + "\\paced.img", "", PACED_CYLINDERS * CYLINDER_KIB * 1024));
        ASSERT_TRUE(writeFile(folder + "\\faulty.img", "", FAULTY_CYLINDERS * CYLINDER_KIB * 1024));
        library = LoadLibraryA((folder + "\\Rawio32.dll").c_str());
        ASSERT_NE(library, nullptr);
        read = (ReadPhysicalSector32Fn)(void*)GetProcAddress(library, READ_PHYSICAL_SECTOR_NAME);
        ASSERT_NE(read, nullptr);
    }

    void TearDown() override {
        if (library != nullptr) FreeLibrary(library);
        for (const char* name : {"Rawio32.dll", "Rawio32.cfg", "paced.img", "faulty.img", "nt.img"})
            DeleteFileA((folder + "\\" + name).c_str());
        RemoveDirectoryA(folder.c_str());
    }
};

std::string statusLine(uint32_t track, uint32_t speed, uint32_t minimum, uint32_t maximum) {
    char text[256];
    snprintf(text, sizeof text,
             "\xD5\xBB\xB5\xC0  %u. \xCB\xD9\xB6\xC8  %u kB/s. \xD7\xEE\xB5\xCD\xCB\xD9\xB6\xC8  %u, "
             "\xD7\xEE\xB8\xDF\xCB\xD9\xB6\xC8  %u.",
             track, speed, minimum, maximum);
    return text;
}

// Checks every status line against the stored speeds and the summary against
// those lines; returns the summary's total time.
uint32_t checkLinesAndSummary(uint32_t cylinders) {
    uint32_t minimum = 0xFFFFFFFFu, maximum = 0, sum = 0;
    for (uint32_t c = 0; c < cylinders; ++c) {
        uint32_t speed = app.trackSpeeds[c];
        if (speed > maximum) maximum = speed;
        if (speed < minimum) minimum = speed;
        sum += speed;
        EXPECT_EQ(rec.statuses[c], statusLine(c, speed, minimum, maximum));
    }
    // The total time is the one number not derived from the lines.
    char prefix[64];
    snprintf(prefix, sizeof prefix, "\xB6\xC1\xC8\xA1 %u \xD5\xBB\xB5\xC0\xD3\xC3\xC1\xCB   ", cylinders);
    const std::string& summary = rec.statuses[cylinders];
    uint32_t total = 0;
    if (summary.compare(0, strlen(prefix), prefix) == 0) total = (uint32_t)strtoul(summary.c_str() + strlen(prefix), nullptr, 10);
    EXPECT_GT(total, 0u) << summary;
    if (total == 0) return 0;
    char expected[256];
    snprintf(expected, sizeof expected,
             "\xB6\xC1\xC8\xA1 %u \xD5\xBB\xB5\xC0\xD3\xC3\xC1\xCB   %u ms. Speed <min/eff/avr/max> %u/%u/%u/%u kB/s.",
             cylinders, total, minimum, (uint32_t)((uint64_t)CYLINDER_KIB * cylinders * 1000u / total),
             sum / cylinders, maximum);
    EXPECT_EQ(rec.statuses[cylinders], expected);
    return total;
}

// A whole run through the stand-in's paced drive: every cylinder's status
// line agrees with its stored speed and the summary with the lines. (How
// close the speeds come to the drive's profile is the benchmark's figure,
// tools/bench-fidelity, not a test's.)
TEST_F(WineBench, PacedDriveRunGivesEveryLineAndTheSummary) {
    runLegacyWith(recordingPlatform(), read);
    ASSERT_EQ(app.tracksDone, PACED_CYLINDERS);
    ASSERT_EQ(rec.statuses.size(), PACED_CYLINDERS + 1);
    EXPECT_EQ(rec.ended, std::vector<bool>{true});
    EXPECT_TRUE(rec.prompts.empty());
    checkLinesAndSummary(PACED_CYLINDERS);
}

TEST_F(WineBench, InjectedErrorPromptsInCodePage936AndCancelEndsTheRun) {
    app.selectedDrive = 1;
    rec.answer = BOX_ANSWER_CANCEL;
    runLegacyWith(recordingPlatform(), read);
    ASSERT_EQ(rec.prompts.size(), 1u);
    EXPECT_TRUE(rec.ownerRight);
    EXPECT_EQ(rec.styles[0], 0x13u);
    EXPECT_EQ(rec.prompts[0], "Reading error ( code=3Ch )\n\xD5\xBB\xB5\xC0  4, \xD6\xF9\xCD\xB7 1.\n"
                              "Show this message if error will be occured?");
    EXPECT_EQ(app.tracksDone, 4u);
    EXPECT_EQ(app.runFlag, 0);
    ASSERT_EQ(rec.statuses.size(), 5u);
    checkLinesAndSummary(4);
    EXPECT_EQ(rec.ended, std::vector<bool>{true});
}

// The worker blocks in its second status line, as it would in a status text
// sent to a dialog thread that is busy closing.
HANDLE inStatus, releaseStatus;
void statusThatWaits(const char* text) {
    recordStatus(text);
    if (rec.statuses.size() == 2) {
        SetEvent(inStatus);
        WaitForSingleObject(releaseStatus, 10000);
    }
}

DWORD WINAPI legacyWorker(LPVOID read) {
    BenchPlatform platform = recordingPlatform();
    platform.statusText = statusThatWaits;
    runLegacyWith(platform, (ReadPhysicalSector32Fn)read);
    return 0;
}

// Closing mid-run: the release waits only until the worker is out of the
// library, not for the worker itself, and once the library is freed the
// worker finishes its cylinder and ends without calling into it again (a
// call would fault).
TEST_F(WineBench, CloseMidRunReleasesTheLibraryUnderAWorkerThatGoesOn) {
    inStatus = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    releaseStatus = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE worker = CreateThread(nullptr, 0, legacyWorker, (void*)read, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    ASSERT_EQ(WaitForSingleObject(inStatus, 10000), WAIT_OBJECT_0);

    app.sectorService.module = (uintptr_t)library;
    EXPECT_TRUE(releaseSectorService());
    EXPECT_TRUE(rec.ended.empty());
    EXPECT_EQ(app.sectorService.module, 0u);
    library = nullptr;
    SetEvent(releaseStatus);

    EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(worker, &code);
    EXPECT_EQ(code, 0u);
    for (HANDLE h : {worker, inStatus, releaseStatus}) CloseHandle(h);
    EXPECT_EQ(app.tracksDone, 2u);
    EXPECT_EQ(rec.ended, std::vector<bool>{true});
}

// The NT body reads the device as one file from its first byte on. Here the
// binding opens an image whose tracks are numbered in their first word.
std::string ntImage;
std::string ntOpenedName;
bool ntNoBuffering = false;
uint32_t ntNextTrack = 0, ntWrongReads = 0;

intptr_t openImageInstead(const char* name, bool noBuffering) {
    ntOpenedName = name;
    ntNoBuffering = noBuffering;
    return NT_DEVICE.open(ntImage.c_str(), noBuffering);
}
bool readAndCheck(intptr_t handle, void* buffer, uint32_t bytes) {
    bool ok = NT_DEVICE.read(handle, buffer, bytes);
    if (!ok || ((uintptr_t)buffer & 0xFFF) != 0 || *(uint32_t*)buffer != ntNextTrack) ++ntWrongReads;
    ++ntNextTrack;
    return ok;
}

TEST_F(WineBench, NtBodyReadsTheDeviceSequentially) {
    const uint32_t cylinders = 3, trackBytes = SECTORS * BYTES;
    ntImage = folder + "\\nt.img";
    std::string image(cylinders * HEADS * trackBytes, '\0');
    for (uint32_t t = 0; t < cylinders * HEADS; ++t) memcpy(&image[t * trackBytes], &t, sizeof t);
    ASSERT_TRUE(writeFile(ntImage, image, 0));
    ntNextTrack = ntWrongReads = 0;
    app.driveTable[3] = {cylinders, HEADS, SECTORS, BYTES};
    app.selectedDrive = 3;
    app.noBuffering = 1;

    DeviceOps device = NT_DEVICE;
    device.open = openImageInstead;
    device.read = readAndCheck;
    app.ntDevice = &device;
    runBenchmarkWith(recordingPlatform(), NT_DISK);

    EXPECT_EQ(ntOpenedName, "\\\\.\\PHYSICALDRIVE3");
    EXPECT_TRUE(ntNoBuffering);
    EXPECT_EQ(ntNextTrack, cylinders * HEADS);
    EXPECT_EQ(ntWrongReads, 0u);
    EXPECT_EQ(app.tracksDone, cylinders);
    ASSERT_EQ(rec.statuses.size(), cylinders + 1);
    EXPECT_EQ(rec.statuses.back().rfind("Read 3 tracks for ", 0), 0u) << rec.statuses.back();
    EXPECT_EQ(rec.ended, std::vector<bool>{true});
}

TEST_F(WineBench, NtBodyWithoutTheDeviceEndsWithNothingRead) {
    app.driveTable[9] = {3, HEADS, SECTORS, BYTES};
    app.selectedDrive = 9;
    app.ntDevice = &NT_DEVICE;
    runBenchmarkWith(recordingPlatform(), NT_DISK);
    EXPECT_EQ(rec.prompts, std::vector<std::string>{"Can't open disk!"});
    EXPECT_EQ(rec.styles, std::vector<uint32_t>{0x10u});
    EXPECT_EQ(rec.statuses, std::vector<std::string>{"No sectors read!"});
    EXPECT_EQ(rec.ended, std::vector<bool>{false});
}

}  // namespace
