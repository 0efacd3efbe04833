// Binds the benchmark loop to the system and to the main window's
// notifications, and provides the two thread bodies.
#include <windows.h>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "bench/notifications.h"

static void* reserveBuffer(uint32_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE); }

static void releaseBuffer(void* buffer) { VirtualFree(buffer, 0, MEM_RELEASE); }

static uint32_t tick() { return GetTickCount(); }

static void setPriorityClass(uint32_t priorityClass) { SetPriorityClass(GetCurrentProcess(), priorityClass); }

static void setThreadPriority(int32_t threadPriority) { SetThreadPriority(GetCurrentThread(), threadPriority); }

static int32_t showBox(void* owner, const char* text, uint32_t style) {
    return MessageBoxA((HWND)owner, text, "Platterscope", style);
}

static const BenchPlatform WIN32_PLATFORM = {
    reserveBuffer, releaseBuffer, tick, setPriorityClass, setThreadPriority, showBox,
    statusText,    trackMeasured, runEnded,
};

const BenchPlatform& win32BenchPlatform() { return WIN32_PLATFORM; }

static const NtDiskOps WIN32_NT_DISK = {openPhysicalDrive, readPhysicalDrive, readPhysicalDriveAt, systemLastError,
                                        closePhysicalDrive};

const NtDiskOps& win32NtDiskOps() { return WIN32_NT_DISK; }

DWORD WINAPI runBenchmarkNt(LPVOID) {
    runBenchmarkNtWith(WIN32_PLATFORM, WIN32_NT_DISK);
    return 0;
}

DWORD WINAPI runBenchmarkLegacy(LPVOID) {
    runBenchmarkLegacyWith(WIN32_PLATFORM, app.sectorService.readPhysicalSector32);
    return 0;
}

static void sleepMs(uint32_t ms) { Sleep(ms); }

bool stopWorkerBeforeUnload(uint32_t timeoutMs) {
    const UnloadWaitOps ops = {tick, sleepMs};
    return stopWorkerBeforeUnloadWith(ops, timeoutMs);
}
