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

/* When a read may end. A drive without read-ahead (windowUs 0) is idle
   between reads: a read takes its duration from the moment it arrives, or
   from the previous read's deadline if that has not passed yet. A drive that
   streams (windowUs > 0) goes on reading into its cache while the host is
   away: a read that arrives no later than windowUs after the previous
   deadline continues from that deadline, as if its data had been read ahead
   meanwhile (and may return at once); after a longer idle it starts from now. */
static inline uint64_t paceNextDeadline(uint64_t previousDeadlineUs, uint64_t nowUs, uint64_t durationUs,
                                        uint64_t windowUs) {
    if (nowUs <= previousDeadlineUs + windowUs && previousDeadlineUs != 0) return previousDeadlineUs + durationUs;
    return nowUs + durationUs;
}

/* The read-ahead window of a streaming drive: the time it takes to read one
   cylinder at kbps, as a drive with a cache of one cylinder would keep
   reading while the host is away. */
static inline uint64_t paceStreamWindowMicroseconds(uint64_t cylinderBytes, uint32_t kbps) {
    return paceTransferMicroseconds(cylinderBytes, kbps);
}

#endif
