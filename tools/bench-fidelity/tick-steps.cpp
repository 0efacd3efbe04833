// tick-steps: what the clock's resolution does to the profile. Runs the
// benchmark's own loop (src/bench, the 9x body) over the demo disk's paced
// profile, 1024 cylinders of 16 x 63 x 512 bytes with the speed falling
// linearly from 16000 to 8000 kB/s (tools/pacing), on a simulated clock: a
// tick that moves in steps of 1, 10, 15.6 and 55 ms, and a counter of
// 1193182 counts a second (the PC's timer chip, as Windows 95 and NT's
// uniprocessor systems give it). For each step it times the run once by the
// tick alone (a machine without a counter, and the program before it used
// one) and once as the program does, and prints one Markdown table: the
// median error of a cylinder's speed against the drive's own, the cylinders
// more than 10% off, the summary's minimum and maximum, and the effective
// speed against the drive's true one. Then the same at 55 ms for a drive of
// the period, 5000 down to 2500 kB/s.
//
// Built natively with the tests: build/native/tick-steps.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "app/app_state.h"
#include "bench/benchmark.h"
#include "drive/disk_ops.h"
#include "pacing/pacing.h"

namespace {

const uint32_t CYLINDERS = 1024, HEADS = 16, SECTORS = 63, SECTOR_BYTES = 512;
const uint32_t CYLINDER_KIB = HEADS * SECTORS * SECTOR_BYTES / 1024;
const uint64_t COUNTS_PER_SECOND = 1193182;

struct Simulation {
    uint32_t firstKbps, lastKbps;
    uint64_t tickStepUs;
    uint64_t perSecond;  // 0: no counter
    uint64_t nowUs;
    std::vector<uint64_t> cylinderUs;  // the drive's own time of each cylinder
    char summary[STATUS_TEXT_SIZE];
} sim;

uint32_t tick() { return (uint32_t)(sim.nowUs / sim.tickStepUs * sim.tickStepUs / 1000u); }
uint64_t counterFrequency() { return sim.perSecond; }
uint64_t counter() { return sim.nowUs * sim.perSecond / 1000000u; }

uint32_t SECTOR_SERVICE_CALL pacedRead(uint32_t, uint32_t cylinder, uint32_t, uint32_t, uint32_t count, void*) {
    const uint32_t kbps = paceRateKbps(sim.firstKbps, sim.lastKbps, CYLINDERS, cylinder);
    const uint64_t us = paceTransferMicroseconds((uint64_t)count * SECTOR_BYTES, kbps);
    sim.nowUs += us;
    sim.cylinderUs[cylinder] += us;
    return count;
}

alignas(4096) uint8_t buffer[SECTORS * SECTOR_BYTES];
void* reserveBuffer(uint32_t) { return buffer; }
void releaseBuffer(void*) {}
void ignorePriority(uint32_t) {}
void ignoreThreadPriority(int32_t) {}
int32_t answerYes(void*, const char*, uint32_t) { return BOX_ANSWER_YES; }
void keepStatus(const char* text) { snprintf(sim.summary, sizeof sim.summary, "%s", text); }
void ignoreEnd(bool) {}

const BenchPlatform SIMULATED = {
    .reserveBuffer = reserveBuffer,
    .releaseBuffer = releaseBuffer,
    .tick = tick,
    .counterFrequency = counterFrequency,
    .counter = counter,
    .setPriorityClass = ignorePriority,
    .setThreadPriority = ignoreThreadPriority,
    .showBox = answerYes,
    .statusText = keepStatus,
    .runEnded = ignoreEnd,
};

struct Figures {
    double medianError;  // percent
    uint32_t farOff;     // cylinders more than 10% off
    uint32_t minimum, effective, maximum;
    uint32_t trueEffective;
    bool ok;
};

Figures measure(uint32_t firstKbps, uint32_t lastKbps, uint64_t tickStepUs, uint64_t perSecond) {
    resetAppState();
    sim = Simulation{firstKbps, lastKbps, tickStepUs, perSecond, 0, std::vector<uint64_t>(CYLINDERS, 0), {0}};
    app.selectedDrive = 0;
    app.driveTable[0] = {CYLINDERS, HEADS, SECTORS, SECTOR_BYTES};
    app.runFlag = 1;
    app.sectorService.readPhysicalSector32 = pacedRead;
    runBenchmarkWith(SIMULATED, LEGACY_DISK);

    Figures figures = {};
    std::vector<double> errors;
    uint64_t totalUs = 0;
    for (uint32_t c = 0; c < app.tracksDone; ++c) {
        const double truth = CYLINDER_KIB * 1e6 / (double)sim.cylinderUs[c];
        const double error = std::fabs(app.trackSpeeds[c] - truth) / truth * 100.0;
        errors.push_back(error);
        figures.farOff += error > 10.0;
        totalUs += sim.cylinderUs[c];
    }
    std::sort(errors.begin(), errors.end());
    figures.medianError = errors.empty() ? 0 : errors[errors.size() / 2];
    figures.trueEffective = (uint32_t)((uint64_t)CYLINDER_KIB * app.tracksDone * 1000000u / totalUs);
    uint32_t average = 0;
    const char* speeds = strstr(sim.summary, "<min/eff/avr/max> ");
    figures.ok = app.tracksDone == CYLINDERS && speeds != nullptr &&
                 sscanf(speeds, "<min/eff/avr/max> %u/%u/%u/%u", &figures.minimum, &figures.effective, &average,
                        &figures.maximum) == 4;
    return figures;
}

bool row(const char* drive, const char* step, const char* timing, const Figures& f) {
    if (!f.ok) {
        fprintf(stderr, "tick-steps: the run did not end in a summary of %u cylinders: %s\n", CYLINDERS, sim.summary);
        return false;
    }
    printf("| %s | %s | %s | %.1f%% | %u | %u / %u | %u (true %u) |\n", drive, step, timing, f.medianError, f.farOff,
           f.minimum, f.maximum, f.effective, f.trueEffective);
    return true;
}

}  // namespace

int main() {
    const struct {
        const char* name;
        uint64_t us;
    } steps[] = {{"1 ms", 1000}, {"10 ms", 10000}, {"15.6 ms", 15600}, {"55 ms", 55000}};
    printf("| drive (kB/s) | tick step | timing | median error of a cylinder | cylinders > 10%% off | "
           "summary min / max | effective |\n|---|---|---|---|---|---|---|\n");
    bool ok = true;
    for (const auto& step : steps) {
        ok = row("16000 to 8000", step.name, "tick", measure(16000, 8000, step.us, 0)) && ok;
        ok = row("16000 to 8000", step.name, "counter", measure(16000, 8000, step.us, COUNTS_PER_SECOND)) && ok;
    }
    ok = row("5000 to 2500", "55 ms", "tick", measure(5000, 2500, 55000, 0)) && ok;
    ok = row("5000 to 2500", "55 ms", "counter", measure(5000, 2500, 55000, COUNTS_PER_SECOND)) && ok;
    return ok ? 0 : 1;
}
