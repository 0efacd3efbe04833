// The track-read benchmark: one per-cylinder loop for both platform families,
// plain logic over the system's services (BenchPlatform) and the family's
// disk operations (DiskOps); benchmark_win32.cpp binds it to the system.
#pragma once
#include <stdint.h>

#include "app/boxes.h"
#include "app/platform_values.h"
#include "drive/disk_ops.h"

// Everything the loop needs from the system besides the disk itself.
struct BenchPlatform {
    // Page-aligned committed read-write block; null when it cannot be had.
    void* (*reserveBuffer)(uint32_t bytes);
    void (*releaseBuffer)(void* buffer);
    // The system's millisecond tick: the clock of a run on a machine
    // without a high-resolution counter.
    uint32_t (*tick)();
    // The high-resolution counter's counts per second, 0 where the machine
    // has none; read once a run.
    uint64_t (*counterFrequency)();
    // The counter's count now; called only when the frequency was not 0.
    uint64_t (*counter)();
    void (*setPriorityClass)(uint32_t priorityClass);
    void (*setThreadPriority)(int32_t threadPriority);
    ShowBoxFn showBox;
    // The notifications of bench/notifications.h.
    void (*statusText)(const char* text);
    void (*runEnded)(bool anyTrackRead);
};

// kB/s of one cylinder: unsigned 32-bit throughout, 0 ms counted as 1.
uint32_t cylinderSpeed(uint32_t bytesPerCylinder, uint32_t elapsedMs);
// Milliseconds in counts of a counter of perSecond (not 0) counts a second,
// to the nearest: the arithmetic above takes whole milliseconds.
uint32_t countsToMs(uint64_t counts, uint64_t perSecond);
// kB/s over a whole run, through a 64-bit product; totalMs must not be 0.
uint32_t effectiveSpeed(uint32_t bytesPerCylinder, uint32_t cylinders, uint32_t totalMs);

// Measures app.driveTable[app.selectedDrive] from cylinder app.tracksDone on,
// through the family's disk operations.
void runBenchmarkWith(const BenchPlatform& platform, const DiskOps& disk);

#ifdef _WIN32
// The worker's thread body for CreateThread (the argument is not used): a
// run through app.disk.
unsigned long __stdcall runBenchmark(void* unused);
// The system-bound services, for callers that replace only some of them.
extern const BenchPlatform WIN32_BENCH_PLATFORM;
#endif
