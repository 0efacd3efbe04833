// The stand-in sector service as the program meets it: Rawio32.dll loaded by
// path, its two exports, its result words and its debug lines. RAWIO32_DIR
// names the build folder that holds Rawio32.dll and missing-entry/Rawio32.dll;
// the DLL is copied into a scratch folder with its own configuration, since it
// reads the configuration beside itself, once per process.
#include <windows.h>

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "drive/sector_service.h"

namespace {

const uint32_t SECTOR = 512;

// Sector n of an image (linear number) holds n in its first four bytes and a
// pattern that differs from sector to sector after that.
uint8_t patternByte(uint32_t lba, uint32_t i) {
    if (i < 4) return (uint8_t)(lba >> (8 * i));
    return (uint8_t)(lba * 7 + i);
}

bool writeImage(const std::string& path, uint32_t sectors) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    uint8_t buffer[SECTOR];
    for (uint32_t lba = 0; lba < sectors && ok; ++lba) {
        for (uint32_t i = 0; i < SECTOR; ++i) buffer[i] = patternByte(lba, i);
        DWORD written = 0;
        ok = WriteFile(f, buffer, SECTOR, &written, nullptr) && written == SECTOR;
    }
    CloseHandle(f);
    return ok;
}

bool writeText(const std::string& path, const char* text) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, text, (DWORD)strlen(text), &written, nullptr) && written == strlen(text);
    CloseHandle(f);
    return ok;
}

std::string readText(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::string();
    char buffer[256];
    DWORD got = 0;
    ReadFile(f, buffer, sizeof buffer - 1, &got, nullptr);
    CloseHandle(f);
    return std::string(buffer, got);
}

// The build folder as a Windows path: Wine sees the host's root as Z:.
bool buildFolder(std::string* out) {
    const char* dir = getenv("RAWIO32_DIR");
    if (dir == nullptr || dir[0] == '\0') return false;
    std::string path = dir[0] == '/' ? std::string("Z:") + dir : std::string(dir);
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    if (path.back() != '\\') path += '\\';
    *out = path;
    return true;
}

std::string scratchFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    char folder[MAX_PATH];
    snprintf(folder, sizeof folder, "%s%s-%lu\\", temp, name, (unsigned long)GetCurrentProcessId());
    CreateDirectoryA(folder, nullptr);
    return folder;
}

template <typename Fn>
Fn entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Debug lines of this process, seen as the exception that OutputDebugStringA
// raises for a debugger; the search goes on, so the call completes as usual.
std::vector<std::string> debugLines;
CRITICAL_SECTION debugLock;

LONG CALLBACK catchDebugString(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode == DBG_PRINTEXCEPTION_C && r->NumberParameters >= 2) {
        EnterCriticalSection(&debugLock);
        debugLines.push_back(std::string((const char*)r->ExceptionInformation[1]));
        LeaveCriticalSection(&debugLock);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

size_t debugLineCount() {
    EnterCriticalSection(&debugLock);
    size_t n = debugLines.size();
    LeaveCriticalSection(&debugLock);
    return n;
}

// One configuration for the whole process: the DLL reads it once.
//   0x80 good.img     4 x 2 x 8, fault at cylinder 2 head 1
//   0x81 short.img    4 x 2 x 8 but only one track long, noparams
//   0x82 missing.img  no such file
//   0x83 paced.img    2 x 1 x 8, speed 100 kB/s falling to 50 kB/s
const char CONFIG[] =
    "# stand-in test drives\r\n"
    "drive good.img 4 2 8 512\r\n"
    "fault 2 1 0x40\r\n"
    "drive short.img 4 2 8 512 noparams\r\n"
    "this line does not parse\r\n"
    "drive broken.img 4 x 8 512\r\n"
    "fault 1 1 9\r\n"
    "drive missing.img 2 2 2 512\r\n"
    "drive paced.img 2 1 8 512 speed=100,50\r\n"
    "stats stats.txt\r\n";

class StandinDllTest : public ::testing::Test {
protected:
    static std::string folder;
    static HMODULE module;
    static PVOID handler;
    static ReadPhysicalSector32Fn readSectors;
    static GetDriveParameters32Fn getParameters;

    static void SetUpTestSuite() {
        std::string build;
        if (!buildFolder(&build)) return;
        InitializeCriticalSection(&debugLock);
        handler = AddVectoredExceptionHandler(1, catchDebugString);
        folder = scratchFolder("standin");
        ASSERT_TRUE(CopyFileA((build + "Rawio32.dll").c_str(), (folder + "Rawio32.dll").c_str(), FALSE))
            << build << "Rawio32.dll";
        ASSERT_TRUE(writeText(folder + "Rawio32.cfg", CONFIG));
        ASSERT_TRUE(writeImage(folder + "good.img", 4 * 2 * 8));
        ASSERT_TRUE(writeImage(folder + "short.img", 8));
        ASSERT_TRUE(writeImage(folder + "paced.img", 2 * 1 * 8));
        DeleteFileA((folder + "missing.img").c_str());
        module = LoadLibraryA((folder + "Rawio32.dll").c_str());
        ASSERT_NE(module, nullptr);
        readSectors = entryPoint<ReadPhysicalSector32Fn>(module, READ_PHYSICAL_SECTOR_NAME);
        getParameters = entryPoint<GetDriveParameters32Fn>(module, GET_DRIVE_PARAMETERS_NAME);
    }

    static void TearDownTestSuite() {
        if (module != nullptr) FreeLibrary(module);  // closes the images
        module = nullptr;
        if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
        handler = nullptr;
        if (folder.empty()) return;
        const char* files[] = {"Rawio32.dll", "Rawio32.cfg", "good.img", "short.img", "paced.img", "stats.txt"};
        for (const char* f : files) DeleteFileA((folder + f).c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void SetUp() override {
        if (folder.empty()) GTEST_SKIP() << "RAWIO32_DIR is not set";
        ASSERT_NE(readSectors, nullptr);
        ASSERT_NE(getParameters, nullptr);
    }

    // Reads and checks the pattern, with a guard after the expected bytes.
    static void expectSectors(uint32_t drive, uint32_t c, uint32_t h, uint32_t s, uint32_t n, uint32_t heads,
                              uint32_t sectors) {
        static uint8_t buffer[9 * SECTOR];
        memset(buffer, 0xEE, sizeof buffer);
        ASSERT_EQ(readSectors(drive, c, h, s, n, buffer), n);
        uint32_t first = (c * heads + h) * sectors + s - 1;
        for (uint32_t k = 0; k < n; ++k) {
            for (uint32_t i = 0; i < SECTOR; ++i) {
                ASSERT_EQ(buffer[k * SECTOR + i], patternByte(first + k, i)) << "sector " << k << " byte " << i;
            }
        }
        EXPECT_EQ(buffer[n * SECTOR], 0xEE);
    }
};

std::string StandinDllTest::folder;
HMODULE StandinDllTest::module;
PVOID StandinDllTest::handler;
ReadPhysicalSector32Fn StandinDllTest::readSectors;
GetDriveParameters32Fn StandinDllTest::getParameters;

TEST_F(StandinDllTest, ReportsParametersOfConfiguredDrives) {
    uint8_t block[DRIVE_PARAMETERS_SIZE];
    memset(block, 0xCC, sizeof block);
    ASSERT_EQ(getParameters(0x80, block), 0u);
    const uint8_t expected[DRIVE_PARAMETERS_SIZE] = {26, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 8, 0,
                                                     0,  0, 64, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0};
    EXPECT_EQ(0, memcmp(block, expected, sizeof block));
    EXPECT_EQ(getParameters(0x81, block), 0x0100u);  // noparams
    EXPECT_EQ(getParameters(0x82, block), 0u);       // parameters need no image
    EXPECT_EQ(block[DRIVE_PARAMETERS_CYLINDERS], 2);
    EXPECT_EQ(getParameters(0x83, block), 0u);
    EXPECT_EQ(getParameters(0x84, block), 0x0100u);  // the broken drive line took no number
    EXPECT_EQ(getParameters(0x7F, block), 0x0100u);
}

TEST_F(StandinDllTest, ReadsSectorsAtTheirAddress) {
    expectSectors(0x80, 0, 0, 1, 1, 2, 8);
    expectSectors(0x80, 3, 1, 1, 8, 2, 8);
    expectSectors(0x80, 1, 0, 3, 3, 2, 8);
    expectSectors(0x80, 2, 0, 1, 8, 2, 8);  // the fault is on head 1 only
    expectSectors(0x81, 0, 0, 1, 8, 2, 8);  // the part of the short image that exists
}

TEST_F(StandinDllTest, FailsWithTheDocumentedWords) {
    uint8_t buffer[9 * SECTOR];
    struct Case {
        uint32_t drive, c, h, s, n, word;
    };
    const Case cases[] = {
        {0x80, 4, 0, 1, 1, 0x0400},  // cylinder outside
        {0x80, 0, 2, 1, 1, 0x0400},  // head outside
        {0x80, 0, 0, 0, 1, 0x0400},  // sector 0
        {0x80, 0, 0, 9, 1, 0x0400},  // sector outside
        {0x80, 0, 0, 2, 8, 0x0400},  // runs past the track
        {0x80, 0, 0, 1, 0, 0x0400},  // nothing to read
        {0x84, 0, 0, 1, 1, 0x0400},  // unknown drive
        {0x80, 2, 1, 1, 8, 0x4000},  // injected fault
        {0x80, 2, 1, 5, 1, 0x4000},
        {0x81, 0, 1, 1, 1, 0x2000},  // beyond the end of the short image
        {0x82, 0, 0, 1, 1, 0x80000000},
    };
    for (const Case& c : cases) {
        size_t before = debugLineCount();
        EXPECT_EQ(readSectors(c.drive, c.c, c.h, c.s, c.n, buffer), c.word)
            << std::hex << c.drive << " " << c.c << "/" << c.h << "/" << c.s << " x" << c.n;
        EXPECT_TRUE(c.word & SECTOR_RESULT_FAILURE_MASK);
        if (before > 0) {
            EXPECT_EQ(debugLineCount(), before + 1) << "one debug line per failure";
        }
    }
}

TEST_F(StandinDllTest, NamesSkippedConfigLinesOnTheDebugOutput) {
    uint8_t block[DRIVE_PARAMETERS_SIZE];
    getParameters(0x80, block);  // loads the configuration if nothing has yet
    if (debugLineCount() == 0) GTEST_SKIP() << "debug output cannot be observed here";
    std::vector<std::string> skipped;
    EnterCriticalSection(&debugLock);
    for (const std::string& line : debugLines) {
        if (line.find("(line skipped)") != std::string::npos) skipped.push_back(line);
    }
    LeaveCriticalSection(&debugLock);
    ASSERT_EQ(skipped.size(), 3u);
    EXPECT_EQ(skipped[0].rfind("Rawio32: Rawio32.cfg line 5: unknown keyword \"this\"", 0), 0u) << skipped[0];
    EXPECT_EQ(skipped[1].rfind("Rawio32: Rawio32.cfg line 6:", 0), 0u) << skipped[1];
    EXPECT_EQ(skipped[2].rfind("Rawio32: Rawio32.cfg line 7:", 0), 0u) << skipped[2];
}

// A whole pass over the paced drive (its two tracks): each call lasts at
// least its share of the profile, and the pass's one line reaches the stats
// file when its last track has been read.
TEST_F(StandinDllTest, PacesProfiledDrivesAndCountsAWholePass) {
    uint8_t buffer[8 * SECTOR];
    EXPECT_EQ(readText(folder + "stats.txt").find("drive=0x83"), std::string::npos);
    // 4 kB at 100 kB/s, then at 50 kB/s.
    ASSERT_EQ(readSectors(0x83, 0, 0, 1, 8, buffer), 8u);
    ASSERT_EQ(readSectors(0x83, 1, 0, 1, 8, buffer), 8u);
    std::string stats = readText(folder + "stats.txt");
    size_t at = stats.find("drive=0x83 ");
    ASSERT_NE(at, std::string::npos) << stats;
    unsigned pass = 0;
    unsigned long long calls = 0, inside = 0, span = 0;
    ASSERT_EQ(sscanf(stats.c_str() + at, "drive=0x83 pass=%u calls=%llu inside_us=%llu span_us=%llu\n", &pass, &calls,
                     &inside, &span),
              4)
        << stats;
    EXPECT_EQ(pass, 1u);
    EXPECT_EQ(calls, 2u);
    EXPECT_GE(inside, 40000u + 80000u);
    EXPECT_GE(span, inside);
    EXPECT_EQ(stats.back(), '\n');
}

TEST(StandinMissingEntryTest, VariantLacksTheParameterEntryPoint) {
    std::string build;
    if (!buildFolder(&build)) GTEST_SKIP() << "RAWIO32_DIR is not set";
    std::string folder = scratchFolder("standin-missing");
    std::string dll = folder + "Rawio32.dll";
    ASSERT_TRUE(CopyFileA((build + "missing-entry\\Rawio32.dll").c_str(), dll.c_str(), FALSE));
    HMODULE module = LoadLibraryA(dll.c_str());
    ASSERT_NE(module, nullptr);
    char loaded[MAX_PATH];
    GetModuleFileNameA(module, loaded, sizeof loaded);
    EXPECT_NE(strstr(loaded, "standin-missing"), nullptr) << loaded;
    EXPECT_NE(GetProcAddress(module, READ_PHYSICAL_SECTOR_NAME), nullptr);
    EXPECT_EQ(GetProcAddress(module, GET_DRIVE_PARAMETERS_NAME), nullptr);
    FreeLibrary(module);
    DeleteFileA(dll.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
