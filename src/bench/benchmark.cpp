#include "bench/benchmark.h"

#include "app/app_state.h"
#include "app/text_format.h"

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

uint32_t countsToMs(uint64_t counts, uint64_t perSecond) {
    // Whole seconds first, so that no product passes 2^64 whatever the
    // counter's frequency; the remainder by multiplication, so that no 64-bit
    // modulo routine joins the 32-bit program.
    const uint64_t seconds = counts / perSecond;
    const uint64_t rest = counts - seconds * perSecond;
    return (uint32_t)(seconds * 1000u + (rest * 1000u + perSecond / 2) / perSecond);
}

// A run's one clock, for its cylinders and its total alike: the counter
// where the machine has one (perSecond not 0), else the tick, whose steps
// (55 ms on Windows 95, 10 to 15.6 ms on NT) are longer than a fast
// cylinder.
static uint64_t clockNow(const BenchPlatform& platform, uint64_t perSecond) {
    return perSecond != 0 ? platform.counter() : platform.tick();
}

static uint32_t clockMs(uint64_t perSecond, uint64_t start, uint64_t end) {
    // The tick's difference is taken in 32 bits, so its wrap after 49.7 days
    // does not matter.
    if (perSecond == 0) return (uint32_t)end - (uint32_t)start;
    return countsToMs(end - start, perSecond);
}

struct RunTotals {
    uint32_t minimum;
    uint32_t maximum;
    uint32_t sum;  // wraps modulo 2^32, as the average has always been taken
};

static void publishCylinder(uint32_t track, uint32_t speed) {
    // Entry before counter: whoever sees tracksDone = n may read entries
    // below n. The count is how the window learns of a measured cylinder.
    __atomic_exchange_n(&app.trackSpeeds[track], speed, __ATOMIC_SEQ_CST);
    __atomic_add_fetch(&app.tracksDone, 1u, __ATOMIC_SEQ_CST);
}

// The per-cylinder loop. Stops when the run flag is cleared (tested once per
// cylinder, so Stop lets the current cylinder finish), after the last
// cylinder, at Cancel on a prompt, or when a read is abandoned for closing.
static void measureCylinders(const BenchPlatform& platform, const DiskOps& disk, DiskRun* run,
                             const DriveGeometry& geometry, void* buffer, uint64_t perSecond, RunTotals* totals) {
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

        const uint64_t cylinderStart = clockNow(platform, perSecond);
        TrackReadResult result = TRACK_READ_OK;
        uint32_t errorCode = 0;
        uint32_t head = 0;
        for (; head < geometry.heads; ++head) {
            result = disk.readTrack(run, track, head, buffer, bytesPerTrack, &errorCode);
            if (result != TRACK_READ_OK) break;
        }
        const uint32_t elapsed = clockMs(perSecond, cylinderStart, clockNow(platform, perSecond));

        if (result == TRACK_READ_ABANDONED) break;
        if (result == TRACK_READ_FAILED && showErrors) {
            formatText(text, sizeof text, disk.promptFormat, errorCode, track, head);
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

        formatText(text, sizeof text, disk.statusFormat, track, speed, totals->minimum, totals->maximum);
        platform.statusText(text);
        publishCylinder(track, speed);
    }
}

void runBenchmarkWith(const BenchPlatform& platform, const DiskOps& disk) {
    const DriveGeometry geometry = app.driveTable[app.selectedDrive];
    RunTotals totals = {0xFFFFFFFFu, 0u, 0u};
    const uint64_t perSecond = platform.counterFrequency();
    uint64_t runStart = 0;

    void* buffer = platform.reserveBuffer(trackBytes(geometry));
    if (buffer == nullptr) {
        platform.showBox(app.mainWindow, OUT_OF_MEMORY_TEXT, BOX_ICON_ERROR);
        if (disk.endAtOnceWithoutBuffer) {
            platform.runEnded(false);
            return;
        }
    } else if (DiskRun run = {(uint32_t)app.selectedDrive, HANDLE_INVALID, false};
               !disk.open(&run, app.noBuffering != 0)) {
        platform.showBox(app.mainWindow, CANT_OPEN_DISK_TEXT, BOX_ICON_ERROR);
    } else {
        runStart = clockNow(platform, perSecond);
        measureCylinders(platform, disk, &run, geometry, buffer, perSecond, &totals);
        disk.close(&run);
    }

    if (buffer != nullptr) platform.releaseBuffer(buffer);
    platform.setPriorityClass(PRIORITY_CLASS_NORMAL);
    platform.setThreadPriority(THREAD_PRIORITY_VALUE_NORMAL);

    // The total is the clock's own difference over the run, not the sum of
    // the cylinders' rounded milliseconds, so that it also holds the time
    // between cylinders, as it always has.
    uint32_t total = clockMs(perSecond, runStart, clockNow(platform, perSecond));
    if (total == 0) total = 1;
    const uint32_t done = app.tracksDone;
    if (done > 0) {
        char text[STATUS_TEXT_SIZE];
        formatText(text, sizeof text, disk.summaryFormat, done, total, totals.minimum,
                 effectiveSpeed(cylinderBytes(geometry), done, total), totals.sum / done, totals.maximum);
        platform.statusText(text);
    } else {
        platform.statusText(NOTHING_READ_TEXT);
    }
    platform.runEnded(done > 0);
}
