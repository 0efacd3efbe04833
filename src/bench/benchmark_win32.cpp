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

// The 64-bit counts go into LARGE_INTEGER locals, which the compiler
// aligns to 8 bytes: a misaligned one is refused (ERROR_NOACCESS).
uint64_t counterFrequency() {
    LARGE_INTEGER perSecond;
    // FALSE, or a frequency of 0, where the hardware has no such counter.
    if (!QueryPerformanceFrequency(&perSecond) || perSecond.QuadPart <= 0) return 0;
    return (uint64_t)perSecond.QuadPart;
}

uint64_t counter() {
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return (uint64_t)count.QuadPart;
}

void setPriorityClass(uint32_t priorityClass) { SetPriorityClass(GetCurrentProcess(), priorityClass); }

void setThreadPriority(int32_t threadPriority) { SetThreadPriority(GetCurrentThread(), threadPriority); }

}  // namespace

const BenchPlatform WIN32_BENCH_PLATFORM = {
    .reserveBuffer = reserveBuffer,
    .releaseBuffer = releaseBuffer,
    .tick = tick,
    .counterFrequency = counterFrequency,
    .counter = counter,
    .setPriorityClass = setPriorityClass,
    .setThreadPriority = setThreadPriority,
    .showBox = showBox,
    .statusText = statusText,
    .runEnded = runEnded,
};

// The compiler takes the stack as 16-byte aligned; a thread's first frame
// on Windows 95 need not be, and the counter's locals must be 8-byte aligned.
__attribute__((force_align_arg_pointer)) DWORD WINAPI runBenchmark(LPVOID) {
    runBenchmarkWith(WIN32_BENCH_PLATFORM, *app.disk);
    return 0;
}
