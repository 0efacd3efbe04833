// Rawio32.dll, the stand-in sector service: serves BIOS drives 0x80 onward
// from raw image files named in Rawio32.cfg beside the DLL. This file binds
// the decisions of standin_logic.cpp to files, the clock and the debug output.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "standin_logic.h"

namespace {

enum { CONFIG_TEXT_SIZE = 64 * 1024 };

struct StandinState {
    HMODULE module;
    CRITICAL_SECTION lock;
    bool loaded;
    StandinConfig config;
    char folder[STANDIN_PATH_SIZE];
    HANDLE images[STANDIN_MAX_DRIVES];
    uint64_t deadlinesUs[STANDIN_MAX_DRIVES];
    HANDLE stats;
    HANDLE neverSet;  // see freshenTick
    StandinPass passes[STANDIN_MAX_DRIVES];
    LARGE_INTEGER frequency;
    char configText[CONFIG_TEXT_SIZE];
};

StandinState standin;

void debugLine(const char* text) {
    char line[STANDIN_MESSAGE_SIZE + 64];
    snprintf(line, sizeof line, STANDIN_DEBUG_PREFIX "%s\n", text);
    OutputDebugStringA(line);
}

void reportToDebug(void*, const char* message) { debugLine(message); }

uint64_t nowMicroseconds() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    uint64_t ticks = (uint64_t)counter.QuadPart;
    uint64_t frequency = (uint64_t)standin.frequency.QuadPart;
    return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}

// Wine brings GetTickCount up to date whenever its server handles a request
// and otherwise only every 16 ms, while a real system's tick runs by itself.
// A read that makes no request (as reads from a file make none) would leave
// the tick the program takes after a cylinder up to 16 ms stale, and its
// cylinder times that much short. This waits on an event that is never set,
// which costs one request and nothing else.
void freshenTick() { WaitForSingleObject(standin.neverSet, 0); }

// How long before a deadline the tick is freshened: the request takes about
// 0.1 ms on a busy 2-core machine, and a tick older than this is within its
// millisecond.
enum { TICK_FRESHEN_LEAD_US = 300 };

// Sleeps most of the way (Sleep overshoots by up to half a millisecond, and
// a late return shifts every later deadline) and yields the processor for
// the last stretch rather than spinning on it: a real disk reads by DMA and
// leaves the processor to the program's other threads, and a spinning drive
// left the window's thread one core of two. With FRESH_TICK, the tick is
// freshened just before the deadline (or after it, when the read was late).
void waitUntil(uint64_t deadlineUs, bool freshTick) {
    for (;;) {
        uint64_t now = nowMicroseconds();
        if (now >= deadlineUs) break;
        uint64_t remaining = deadlineUs - now;
        if (freshTick && remaining <= TICK_FRESHEN_LEAD_US) {
            freshenTick();
            freshTick = false;
            continue;
        }
        Sleep(remaining > 2500 ? (DWORD)((remaining - 1500) / 1000) : 0);
    }
    if (freshTick) freshenTick();
}

// Called with the lock held.
void loadConfigOnce() {
    if (standin.loaded) return;
    standin.loaded = true;
    QueryPerformanceFrequency(&standin.frequency);
    for (int i = 0; i < STANDIN_MAX_DRIVES; ++i) standin.images[i] = INVALID_HANDLE_VALUE;
    standin.stats = INVALID_HANDLE_VALUE;
    standin.neverSet = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    char modulePath[MAX_PATH];
    DWORD length = GetModuleFileNameA(standin.module, modulePath, sizeof modulePath);
    if (length == 0 || length >= sizeof modulePath) {
        debugLine("cannot find the DLL's own folder; no drives served");
        return;
    }
    char* slash = strrchr(modulePath, '\\');
    char* other = strrchr(modulePath, '/');
    if (other != nullptr && (slash == nullptr || other > slash)) slash = other;
    if (slash != nullptr) *slash = '\0';
    snprintf(standin.folder, sizeof standin.folder, "%s", slash != nullptr ? modulePath : ".");

    char configPath[STANDIN_PATH_SIZE];
    if (!resolveConfigPath(standin.folder, STANDIN_CONFIG_NAME, configPath, sizeof configPath)) {
        debugLine("path of " STANDIN_CONFIG_NAME " too long; no drives served");
        return;
    }
    HANDLE file = CreateFileA(configPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        char message[STANDIN_MESSAGE_SIZE];
        snprintf(message, sizeof message, "cannot open %s (error %lu); no drives served", configPath,
                 (unsigned long)GetLastError());
        debugLine(message);
        return;
    }
    DWORD got = 0;
    BOOL ok = ReadFile(file, standin.configText, CONFIG_TEXT_SIZE, &got, nullptr);
    CloseHandle(file);
    if (!ok) {
        debugLine("cannot read " STANDIN_CONFIG_NAME "; no drives served");
        return;
    }
    if (got == CONFIG_TEXT_SIZE) debugLine(STANDIN_CONFIG_NAME " is larger than 64 KiB; the rest is ignored");
    parseConfigText(&standin.config, standin.folder, standin.configText, got, reportToDebug, nullptr);

    if (standin.config.hasStats) {
        standin.stats = CreateFileA(standin.config.statsPath, GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (standin.stats == INVALID_HANDLE_VALUE) {
            char message[STANDIN_MESSAGE_SIZE];
            snprintf(message, sizeof message, "cannot create stats file %s (error %lu)", standin.config.statsPath,
                     (unsigned long)GetLastError());
            debugLine(message);
        }
    }
}

// The image stays open from its first successful open to process end.
HANDLE imageHandle(uint32_t index) {
    if (standin.images[index] == INVALID_HANDLE_VALUE) {
        standin.images[index] =
            CreateFileA(standin.config.drives[index].sim.image, GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return standin.images[index];
}

uint32_t readFromImage(const StandinReadPlan& plan, uint32_t driveNumber, void* buffer) {
    char message[STANDIN_MESSAGE_SIZE];
    const StandinDrive& drive = standin.config.drives[plan.driveIndex];
    HANDLE image = imageHandle(plan.driveIndex);
    if (image == INVALID_HANDLE_VALUE) {
        snprintf(message, sizeof message, "drive 0x%02X: cannot open image %s (error %lu)", (unsigned)driveNumber,
                 drive.sim.image, (unsigned long)GetLastError());
        debugLine(message);
        return STANDIN_WORD_OPEN_FAILED;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(image, &size) || !readFitsImage(plan.offset, plan.bytes, (uint64_t)size.QuadPart)) {
        snprintf(message, sizeof message, "drive 0x%02X: read of %u bytes at offset %llu lies beyond the end of %s",
                 (unsigned)driveNumber, (unsigned)plan.bytes, (unsigned long long)plan.offset, drive.sim.image);
        debugLine(message);
        return STANDIN_WORD_READ_FAILED;
    }
    // Positioned by the file pointer (every call holds the lock), not by an
    // OVERLAPPED offset: Wine makes a server round trip for each read given
    // an OVERLAPPED, which doubled the cost of a track read and made it
    // depend on how soon the wine server woke.
    LONG high = (LONG)(plan.offset >> 32);
    DWORD got = 0;
    if ((SetFilePointer(image, (LONG)(uint32_t)plan.offset, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
         GetLastError() != NO_ERROR) ||
        !ReadFile(image, buffer, plan.bytes, &got, nullptr) || got != plan.bytes) {
        snprintf(message, sizeof message, "drive 0x%02X: reading %s at offset %llu failed (error %lu)",
                 (unsigned)driveNumber, drive.sim.image, (unsigned long long)plan.offset, (unsigned long)GetLastError());
        debugLine(message);
        return STANDIN_WORD_READ_FAILED;
    }
    return 0;
}

// Appends the figures of a pass that has just ended (once per pass, so the
// write is not inside any read the program times).
void writePassLine(uint32_t driveNumber, const StandinPass& pass) {
    if (standin.stats == INVALID_HANDLE_VALUE) return;
    char line[128];
    size_t length = formatPassLine(line, sizeof line, driveNumber, pass);
    DWORD written = 0;
    SetFilePointer(standin.stats, 0, nullptr, FILE_END);
    WriteFile(standin.stats, line, (DWORD)length, &written, nullptr);
}

}  // namespace

extern "C" {

__declspec(dllexport) uint32_t SECTOR_SERVICE_CALL ReadPhysicalSector32(uint32_t driveNumber, uint32_t cylinder,
                                                                        uint32_t head, uint32_t sector,
                                                                        uint32_t count, void* buffer) {
    EnterCriticalSection(&standin.lock);
    loadConfigOnce();
    uint64_t entered = nowMicroseconds();
    char message[STANDIN_MESSAGE_SIZE];
    StandinReadPlan plan;
    uint32_t word = planRead(standin.config, driveNumber, cylinder, head, sector, count, &plan, message, sizeof message);
    if (word != 0) {
        debugLine(message);
    } else if (buffer == nullptr) {
        debugLine("read into a null buffer");
        word = STANDIN_WORD_READ_FAILED;
    } else {
        word = readFromImage(plan, driveNumber, buffer);
    }
    if (word == 0) {
        const StandinDrive& drive = standin.config.drives[plan.driveIndex];
        if (drive.sim.paced) {
            uint64_t& deadline = standin.deadlinesUs[plan.driveIndex];
            deadline = paceReadDeadline(&drive.sim, cylinder, plan.bytes, deadline, entered);
            waitUntil(deadline, readEndsCylinder(drive, head, sector, count));
        }
        word = count;
    }
    if (const StandinDrive* drive = findDrive(standin.config, driveNumber)) {
        const uint32_t index = driveNumber - BIOS_FIRST_HARD_DISK;
        StandinPass& pass = standin.passes[index];
        if (countPassRead(&pass, *drive, cylinder, head, sector, count, entered, nowMicroseconds()))
            writePassLine(driveNumber, pass);
    }
    LeaveCriticalSection(&standin.lock);
    return word;
}

#ifndef RAWIO32_WITHOUT_PARAMETERS
__declspec(dllexport) uint32_t SECTOR_SERVICE_CALL GetDriveParameters32(uint32_t driveNumber, void* block) {
    EnterCriticalSection(&standin.lock);
    loadConfigOnce();
    char message[STANDIN_MESSAGE_SIZE];
    uint8_t filled[DRIVE_PARAMETERS_SIZE];
    uint32_t word = fillDriveParameters(standin.config, driveNumber, filled, message, sizeof message);
    if (word != 0) {
        debugLine(message);
    } else if (block == nullptr) {
        debugLine("parameters requested into a null block");
        word = STANDIN_PARAMS_FAILED;
    } else {
        memcpy(block, filled, sizeof filled);
    }
    LeaveCriticalSection(&standin.lock);
    return word;
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        standin.module = instance;
        InitializeCriticalSection(&standin.lock);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        for (int i = 0; i < STANDIN_MAX_DRIVES; ++i) {
            if (standin.loaded && standin.images[i] != INVALID_HANDLE_VALUE) CloseHandle(standin.images[i]);
        }
        if (standin.loaded && standin.stats != INVALID_HANDLE_VALUE) CloseHandle(standin.stats);
        if (standin.loaded && standin.neverSet != nullptr) CloseHandle(standin.neverSet);
        DeleteCriticalSection(&standin.lock);
    }
    return TRUE;
}

}  // extern "C"
