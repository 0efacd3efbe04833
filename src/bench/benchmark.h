// The track-read benchmark: one per-cylinder loop for both platform families.
// The loop is plain logic over the tables below; benchmark_win32.cpp binds
// them to the system and provides the two thread bodies.
#pragma once
#include <stdint.h>

#include "drive/drive_access.h"

// Priority values as the platform defines them.
#define PRIORITY_CLASS_NORMAL 0x20u
#define PRIORITY_CLASS_REALTIME 0x100u
#define THREAD_PRIORITY_VALUE_LOWEST (-2)
#define THREAD_PRIORITY_VALUE_NORMAL 0
#define THREAD_PRIORITY_VALUE_TIME_CRITICAL 15

// Answers of the read-error prompt (the platform's IDCANCEL, IDYES, IDNO).
#define BENCH_ANSWER_CANCEL 2
#define BENCH_ANSWER_YES 6
#define BENCH_ANSWER_NO 7

// Room for the longest prompt or summary with every number at its widest.
#define BENCH_TEXT_SIZE 256

// Everything the loop needs from the system besides the disk itself.
struct BenchPlatform {
    // Page-aligned committed read-write block; null when it cannot be had.
    void* (*reserveBuffer)(uint32_t bytes);
    void (*releaseBuffer)(void* buffer);
    // The system's millisecond tick.
    uint32_t (*tick)();
    void (*setPriorityClass)(uint32_t priorityClass);
    void (*setThreadPriority)(int32_t threadPriority);
    // Modal box, caption "Platterscope"; returns the answer's identifier.
    int32_t (*showBox)(void* owner, const char* text, uint32_t style);
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

// The NT family's device, opened by name and read sequentially; a failed
// open gives DEVICE_INVALID.
struct NtDiskOps {
    intptr_t (*open)(const char* name, bool noBuffering);
    // Reads on from the handle's position.
    bool (*read)(intptr_t handle, void* buffer, uint32_t bytes);
    // Reads at offset; later reads go on from its end.
    bool (*readAt)(intptr_t handle, void* buffer, uint32_t bytes, uint64_t offset);
    uint32_t (*lastError)();
    void (*close)(intptr_t handle);
};

void runBenchmarkNtWith(const BenchPlatform& platform, const NtDiskOps& device);
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
const BenchPlatform& win32BenchPlatform();
const NtDiskOps& win32NtDiskOps();
// For the main dialog's closing sequence, before FreeLibrary.
bool stopWorkerBeforeUnload(uint32_t timeoutMs);
#endif
