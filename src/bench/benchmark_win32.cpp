// Binds the benchmark loop to the system and to the main window's
// notifications, and provides the worker's thread body.
#include <windows.h>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "bench/notifications.h"

namespace {

void* reserveBuffer(uint32_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE); }

void releaseBuffer(void* buffer) { VirtualFree(buffer, 0, MEM_RELEASE); }

uint32_t tick() { return GetTickCount(); }

void setPriorityClass(uint32_t priorityClass) { SetPriorityClass(GetCurrentProcess(), priorityClass); }

void setThreadPriority(int32_t threadPriority) { SetThreadPriority(GetCurrentThread(), threadPriority); }

void sleepMs(uint32_t ms) { Sleep(ms); }

}  // namespace

const BenchPlatform WIN32_BENCH_PLATFORM = {
    .reserveBuffer = reserveBuffer,
    .releaseBuffer = releaseBuffer,
    .tick = tick,
    .setPriorityClass = setPriorityClass,
    .setThreadPriority = setThreadPriority,
    .showBox = showBox,
    .statusText = statusText,
    .trackMeasured = trackMeasured,
    .runEnded = runEnded,
};

DWORD WINAPI runBenchmark(LPVOID) {
    runBenchmarkWith(WIN32_BENCH_PLATFORM, *app.disk);
    return 0;
}

bool stopWorkerBeforeUnload(uint32_t timeoutMs) {
    const UnloadWaitOps ops = {.tick = tick, .sleep = sleepMs};
    return stopWorkerBeforeUnloadWith(ops, timeoutMs);
}
