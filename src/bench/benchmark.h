// The track-read benchmark: one per-cylinder loop for both platform families.
// The loop is plain logic over the tables below; benchmark_win32.cpp binds
// them to the system and provides the two thread bodies.
#pragma once
#include <stdint.h>

#include "app/boxes.h"
#include "app/platform_values.h"
#include "drive/drive_access.h"

// Everything the loop needs from the system besides the disk itself.
struct BenchPlatform {
    // Page-aligned committed read-write block; null when it cannot be had.
    void* (*reserveBuffer)(uint32_t bytes);
    void (*releaseBuffer)(void* buffer);
    // The system's millisecond tick.
    uint32_t (*tick)();
    void (*setPriorityClass)(uint32_t priorityClass);
    void (*setThreadPriority)(int32_t threadPriority);
    ShowBoxFn showBox;
    void (*statusText)(const char* text);
    void (*trackMeasured)(uint32_t track);
    void (*runEnded)(bool anyTrackRead);
};

enum TrackReadResult {
    TRACK_READ_OK,
    TRACK_READ_FAILED,
    // The read was not even tried because the program is closing.
    TRACK_READ_ABANDONED,
};

// What makes one body differ from the other: its texts, its buffer-failure
// path and how it reaches the disk. `disk` is the body's own per-run record.
struct BenchmarkBody {
    const char* promptFormat;   // error code, cylinder, head
    const char* statusFormat;   // cylinder, speed, minimum, maximum
    const char* summaryFormat;  // cylinders, ms, minimum, effective, average, maximum
    // Without a buffer: end with runEnded(false) and nothing else.
    bool endAtOnceWithoutBuffer;
    // Null when there is nothing to open or close. open returning false means
    // "Can't open disk!".
    bool (*open)(void* disk);
    void (*close)(void* disk);
    // One whole track; on failure *errorCode is what the prompt shows.
    TrackReadResult (*readTrack)(void* disk, uint32_t cylinder, uint32_t head, void* buffer, uint32_t bytes,
                                 uint32_t* errorCode);
};

// kB/s of one cylinder: unsigned 32-bit throughout, 0 ms counted as 1.
uint32_t cylinderSpeed(uint32_t bytesPerCylinder, uint32_t elapsedMs);
// kB/s over a whole run, through a 64-bit product; totalMs must not be 0.
uint32_t effectiveSpeed(uint32_t bytesPerCylinder, uint32_t cylinders, uint32_t totalMs);

// Measures app.driveTable[app.selectedDrive] from cylinder app.tracksDone on.
void runBenchmarkWith(const BenchPlatform& platform, const BenchmarkBody& body, void* disk);

// The NT family's drive through its device (read sequentially).
void runBenchmarkNtWith(const BenchPlatform& platform, const DeviceOps& device);
void runBenchmarkLegacyWith(const BenchPlatform& platform, ReadPhysicalSector32Fn readPhysicalSector);

// Calls into the sector-service library from the worker go through this gate
// so that the library can be released safely while a run is going on.
// enterSectorService returns false, without entering, once closing has begun.
bool enterSectorService();
void leaveSectorService();

struct UnloadWaitOps {
    uint32_t (*tick)();
    void (*sleep)(uint32_t ms);
};

// Clears the run flag, closes the gate, and waits up to timeoutMs for a call
// already inside the library to return. True: no worker is inside the library
// and none will enter it again, so it may be released. False: a call is still
// inside; the library must stay loaded.
bool stopWorkerBeforeUnloadWith(const UnloadWaitOps& ops, uint32_t timeoutMs);

#ifdef _WIN32
// Thread bodies for CreateThread (the argument is not used).
unsigned long __stdcall runBenchmarkNt(void* unused);
unsigned long __stdcall runBenchmarkLegacy(void* unused);
// The system-bound services, for callers that replace only some of them.
extern const BenchPlatform WIN32_BENCH_PLATFORM;
// For the main dialog's closing sequence, before FreeLibrary.
bool stopWorkerBeforeUnload(uint32_t timeoutMs);
#endif
