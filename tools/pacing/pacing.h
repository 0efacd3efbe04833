/* Read pacing shared by the simulated drives (the stand-in sector service
   and the simulated-disk driver): a drive's speed falls or rises linearly
   from its first cylinder to its last, and every read is held until the
   time its bytes would take at that speed has passed. Plain C, so the
   kernel-mode driver can use it too. */
#ifndef PLATTERSCOPE_PACING_H
#define PLATTERSCOPE_PACING_H

#include <stdint.h>

/* Speed in kB/s (1 kB = 1024 bytes) at a cylinder of a drive whose profile
   runs from firstKbps at cylinder 0 to lastKbps at the last cylinder.
   Cylinders past the end get the last speed. */
static inline uint32_t paceRateKbps(uint32_t firstKbps, uint32_t lastKbps, uint32_t cylinders, uint32_t cylinder) {
    if (cylinders <= 1) return firstKbps;
    if (cylinder >= cylinders) cylinder = cylinders - 1;
    int64_t span = (int64_t)lastKbps - (int64_t)firstKbps;
    return (uint32_t)((int64_t)firstKbps + span * (int64_t)cylinder / (int64_t)(cylinders - 1));
}

/* Microseconds that bytes take at kbps, rounded up; 0 when unpaced. */
static inline uint64_t paceTransferMicroseconds(uint64_t bytes, uint32_t kbps) {
    if (kbps == 0) return 0;
    uint64_t bytesPerSecond = (uint64_t)kbps * 1024u;
    return (bytes * 1000000u + bytesPerSecond - 1) / bytesPerSecond;
}

/* A read may not end before the previous one's deadline plus its own
   duration; an idle drive starts counting from now. */
static inline uint64_t paceNextDeadline(uint64_t previousDeadlineUs, uint64_t nowUs, uint64_t durationUs) {
    return (nowUs > previousDeadlineUs ? nowUs : previousDeadlineUs) + durationUs;
}

#endif
