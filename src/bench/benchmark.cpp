#include "bench/benchmark.h"

#include "app/text_format.h"

#include "app/app_state.h"

static const char OUT_OF_MEMORY_TEXT[] = "Out of memory!";
static const char CANT_OPEN_TEXT[] = "Can't open disk!";
static const char NOTHING_READ_TEXT[] = "No sectors read!";

uint32_t cylinderSpeed(uint32_t bytesPerCylinder, uint32_t elapsedMs) {
    if (elapsedMs == 0) elapsedMs = 1;
    return ((bytesPerCylinder >> 10) * 1000u) / elapsedMs;
}

uint32_t effectiveSpeed(uint32_t bytesPerCylinder, uint32_t cylinders, uint32_t totalMs) {
    // A full run of the largest drive passes 2^32 before the division.
    uint64_t kibibytes = (uint64_t)(bytesPerCylinder >> 10) * cylinders;
    return (uint32_t)(kibibytes * 1000u / totalMs);
}

struct RunTotals {
    uint32_t minimum;
    uint32_t maximum;
    uint32_t sum;  // wraps modulo 2^32, as the average has always been taken
};

static void publishCylinder(const BenchPlatform& platform, uint32_t track, uint32_t speed) {
    // Entry before counter: whoever sees tracksDone = n may read entries below n.
    __atomic_exchange_n(&app.trackSpeeds[track], speed, __ATOMIC_SEQ_CST);
    platform.trackMeasured(track);
    __atomic_add_fetch(&app.tracksDone, 1u, __ATOMIC_SEQ_CST);
}

// The per-cylinder loop. Stops when the run flag is cleared (tested once per
// cylinder, so Stop lets the current cylinder finish), after the last
// cylinder, at Cancel on a prompt, or when a read is abandoned for closing.
static void measureCylinders(const BenchPlatform& platform, const BenchmarkBody& body, void* disk,
                             const DriveGeometry& geometry, void* buffer, RunTotals* totals) {
    const uint32_t bytesPerTrack = trackBytes(geometry);
    const uint32_t bytesPerCylinder = cylinderBytes(geometry);
    // The main window starts runs only on drives within the table's size;
    // the bound here keeps a broken caller from writing past it.
    const uint32_t lastCylinder = geometry.cylinders < (uint32_t)MAX_TRACKS ? geometry.cylinders : (uint32_t)MAX_TRACKS;
    bool showErrors = true;
    char text[STATUS_TEXT_SIZE];

    while (app.runFlag != 0 && app.tracksDone < lastCylinder) {
        const uint32_t track = app.tracksDone;
        if (app.highPriority) {
            platform.setPriorityClass(PRIORITY_CLASS_REALTIME);
            platform.setThreadPriority(THREAD_PRIORITY_VALUE_TIME_CRITICAL);
        }

        const uint32_t cylinderStart = platform.tick();
        TrackReadResult result = TRACK_READ_OK;
        uint32_t errorCode = 0;
        uint32_t head = 0;
        for (; head < geometry.heads; ++head) {
            result = body.readTrack(disk, track, head, buffer, bytesPerTrack, &errorCode);
            if (result != TRACK_READ_OK) break;
        }
        const uint32_t elapsed = platform.tick() - cylinderStart;

        if (result == TRACK_READ_ABANDONED) break;
        if (result == TRACK_READ_FAILED && showErrors) {
            formatText(text, sizeof text, body.promptFormat, errorCode, track, head);
            int32_t answer = platform.showBox(app.mainWindow, text, BOX_ICON_ERROR | BOX_YES_NO_CANCEL);
            if (answer == BOX_ANSWER_CANCEL) {
                app.runFlag = 0;
                break;
            }
            if (answer == BOX_ANSWER_NO) showErrors = false;
        }

        if (app.highPriority) {
            // Let the window repaint between cylinders.
            platform.setPriorityClass(PRIORITY_CLASS_NORMAL);
            platform.setThreadPriority(THREAD_PRIORITY_VALUE_LOWEST);
        }

        // A cylinder cut short by a failed head still counts its full size.
        const uint32_t speed = cylinderSpeed(bytesPerCylinder, elapsed);
        if (speed >= totals->maximum) totals->maximum = speed;
        if (speed <= totals->minimum) totals->minimum = speed;
        totals->sum += speed;

        formatText(text, sizeof text, body.statusFormat, track, speed, totals->minimum, totals->maximum);
        platform.statusText(text);
        publishCylinder(platform, track, speed);
    }
}

void runBenchmarkWith(const BenchPlatform& platform, const BenchmarkBody& body, void* disk) {
    const DriveGeometry geometry = app.driveTable[app.selectedDrive];
    RunTotals totals = {0xFFFFFFFFu, 0u, 0u};
    uint32_t runStart = 0;

    void* buffer = platform.reserveBuffer(trackBytes(geometry));
    if (buffer == nullptr) {
        platform.showBox(app.mainWindow, OUT_OF_MEMORY_TEXT, BOX_ICON_ERROR);
        if (body.endAtOnceWithoutBuffer) {
            platform.runEnded(false);
            return;
        }
    } else if (body.open != nullptr && !body.open(disk)) {
        platform.showBox(app.mainWindow, CANT_OPEN_TEXT, BOX_ICON_ERROR);
    } else {
        runStart = platform.tick();
        measureCylinders(platform, body, disk, geometry, buffer, &totals);
        if (body.close != nullptr) body.close(disk);
    }

    if (buffer != nullptr) platform.releaseBuffer(buffer);
    platform.setPriorityClass(PRIORITY_CLASS_NORMAL);
    platform.setThreadPriority(THREAD_PRIORITY_VALUE_NORMAL);

    uint32_t total = platform.tick() - runStart;
    if (total == 0) total = 1;
    const uint32_t done = app.tracksDone;
    if (done > 0) {
        char text[STATUS_TEXT_SIZE];
        formatText(text, sizeof text, body.summaryFormat, done, total, totals.minimum,
                 effectiveSpeed(cylinderBytes(geometry), done, total), totals.sum / done, totals.maximum);
        platform.statusText(text);
    } else {
        platform.statusText(NOTHING_READ_TEXT);
    }
    platform.runEnded(done > 0);
}

// NT family: the whole disk as one device file, read from its first byte on,
// each read going on where the previous one ended.

struct NtDisk {
    const DeviceOps* device;
    intptr_t handle;
    // A failed read moves the device's position by nothing (or by less than
    // it asked for), and the heads after it were not read: left alone, every
    // later cylinder would be read from inside this one, and a bad sector
    // would fail the first read of every cylinder after it.
    bool resume;
};

static bool openNtDisk(void* disk) {
    NtDisk* d = (NtDisk*)disk;
    char name[DEVICE_NAME_SIZE];
    formatDeviceName(name, (uint32_t)app.selectedDrive);
    d->handle = d->device->open(name, app.noBuffering != 0);
    d->resume = false;
    return d->handle != DEVICE_INVALID;
}

static void closeNtDisk(void* disk) {
    NtDisk* d = (NtDisk*)disk;
    d->device->close(d->handle);
}

static TrackReadResult readNtTrack(void* disk, uint32_t cylinder, uint32_t head, void* buffer, uint32_t bytes,
                                   uint32_t* errorCode) {
    NtDisk* d = (NtDisk*)disk;
    bool ok;
    // The count delivered is not examined.
    if (d->resume) {
        uint64_t track = (uint64_t)cylinder * app.driveTable[app.selectedDrive].heads + head;
        ok = d->device->readAt(d->handle, buffer, bytes, track * bytes);
    } else {
        ok = d->device->read(d->handle, buffer, bytes);
    }
    d->resume = !ok;
    if (ok) return TRACK_READ_OK;
    *errorCode = d->device->lastError();
    return TRACK_READ_FAILED;
}

// The texts are kept as the program has always shown them, "occured"
// included: users and scripts know them so (README, "Kept as they are").
static const BenchmarkBody NT_BODY = {
    .promptFormat = "Reading error ( code=%Xh )\nTrack %u, head %u.\nShow this message if error will be occured?",
    .statusFormat = "Track %u. Speed %u kB/s. Min speed %u, max speed %u.",
    .summaryFormat = "Read %u tracks for %u ms. Speed <min/eff/avr/max> %u/%u/%u/%u kB/s.",
    .endAtOnceWithoutBuffer = false,
    .open = openNtDisk,
    .close = closeNtDisk,
    .readTrack = readNtTrack,
};

void runBenchmarkNtWith(const BenchPlatform& platform, const DeviceOps& device) {
    NtDisk disk = {&device, DEVICE_INVALID, false};
    runBenchmarkWith(platform, NT_BODY, &disk);
}

// 9x family: each track by cylinder, head and sector through the sector
// service. These texts are code page 936 in the program.

struct LegacyDisk {
    ReadPhysicalSector32Fn readPhysicalSector;
    uint32_t driveNumber;
    uint32_t sectorsPerTrack;
};

static TrackReadResult readLegacyTrack(void* disk, uint32_t cylinder, uint32_t head, void* buffer, uint32_t,
                                       uint32_t* errorCode) {
    LegacyDisk* d = (LegacyDisk*)disk;
    if (!enterSectorService()) return TRACK_READ_ABANDONED;
    uint32_t word = d->readPhysicalSector(d->driveNumber, cylinder, head, 1, d->sectorsPerTrack, buffer);
    leaveSectorService();
    if (!sectorReadFailed(word)) return TRACK_READ_OK;
    *errorCode = sectorReadErrorCode(word);
    return TRACK_READ_FAILED;
}

// Kept as they are, as NT_BODY's.
static const BenchmarkBody LEGACY_BODY = {
    .promptFormat = "Reading error ( code=%Xh )\n栈道  %u, 柱头 %u.\nShow this message if error will be occured?",
    .statusFormat = "栈道  %u. 速度  %u kB/s. 最低速度  %u, 最高速度  %u.",
    .summaryFormat = "读取 %u 栈道用了   %u ms. Speed <min/eff/avr/max> %u/%u/%u/%u kB/s.",
    .endAtOnceWithoutBuffer = true,
    .open = nullptr,
    .close = nullptr,
    .readTrack = readLegacyTrack,
};

void runBenchmarkLegacyWith(const BenchPlatform& platform, ReadPhysicalSector32Fn readPhysicalSector) {
    const DriveGeometry& geometry = app.driveTable[app.selectedDrive];
    LegacyDisk disk = {readPhysicalSector, BIOS_FIRST_HARD_DISK + (uint32_t)app.selectedDrive,
                       geometry.sectorsPerTrack};
    runBenchmarkWith(platform, LEGACY_BODY, &disk);
}

// The gate. The worker announces itself before it looks at the closing flag,
// and the closer raises the flag before it looks at the count; with both in
// one total order, either the worker sees the flag and stays out, or the
// closer sees the worker inside and waits for it.

bool enterSectorService() {
    __atomic_add_fetch(&app.sectorServiceCallsInside, 1, __ATOMIC_SEQ_CST);
    if (__atomic_load_n(&app.sectorServiceClosing, __ATOMIC_SEQ_CST) != 0) {
        __atomic_sub_fetch(&app.sectorServiceCallsInside, 1, __ATOMIC_SEQ_CST);
        return false;
    }
    return true;
}

void leaveSectorService() { __atomic_sub_fetch(&app.sectorServiceCallsInside, 1, __ATOMIC_SEQ_CST); }

bool stopWorkerBeforeUnloadWith(const UnloadWaitOps& ops, uint32_t timeoutMs) {
    app.runFlag = 0;
    __atomic_store_n(&app.sectorServiceClosing, 1, __ATOMIC_SEQ_CST);
    const uint32_t start = ops.tick();
    // No sent message is needed by a call inside the library, so waiting on
    // the dialog thread cannot hold the worker up.
    while (__atomic_load_n(&app.sectorServiceCallsInside, __ATOMIC_SEQ_CST) != 0) {
        if (ops.tick() - start >= timeoutMs) return false;
        ops.sleep(10);
    }
    return true;
}
