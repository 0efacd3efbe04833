/* Decisions of the simulated-disk driver (simdisk.sys): the drive lines of
   its configuration, the geometry reply, where a read goes and how it ends,
   and the stats lines. Plain C without any system header, so the kernel-mode
   driver and the native unit tests share it; simdisk_driver.c does the I/O. */
#ifndef PLATTERSCOPE_SIMDISK_LOGIC_H
#define PLATTERSCOPE_SIMDISK_LOGIC_H

#include <stddef.h>
#include <stdint.h>

#include "pacing/drive_line.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    SIMDISK_MAX_DRIVES = 10, /* \??\PhysicalDrive0 .. 9 */
    SIMDISK_MAX_FAULTS = 8,
    SIMDISK_REASON_SIZE = 160,
    SIMDISK_GEOMETRY_SIZE = 24, /* DISK_GEOMETRY */
    SIMDISK_STATS_LINE_SIZE = 200,
};

/* Status values the driver completes requests with (NTSTATUS). */
#define SIMDISK_STATUS_SUCCESS 0x00000000u
#define SIMDISK_STATUS_INVALID_PARAMETER 0xC000000Du
#define SIMDISK_STATUS_END_OF_FILE 0xC0000011u

/* Reads that touch [offset, offset + length) fail with status. */
typedef struct SimDiskFault {
    uint64_t offset;
    uint64_t length;
    uint32_t status;
} SimDiskFault;

typedef struct SimDiskDrive {
    SimulatedDrive sim; /* its image a Windows path, e.g. Z:\tmp\d0.img */
    uint32_t faultCount;
    SimDiskFault faults[SIMDISK_MAX_FAULTS];
} SimDiskDrive;

/* Parses one drive line (pacing/drive_line.h) whose own option is
   fault=OFFSET,LENGTH,STATUS (up to SIMDISK_MAX_FAULTS). Returns 1, or 0
   with reason filled and *drive unspecified. */
int simdiskParseDrive(const char* line, SimDiskDrive* drive, char* reason, size_t reasonSize);

uint64_t simdiskDiskBytes(const SimDiskDrive* drive);

/* The reply to the geometry request: cylinders (64-bit), media type 12
   (fixed disk), tracks per cylinder, sectors per track, bytes per sector. */
void simdiskFillGeometry(const SimDiskDrive* drive, uint8_t reply[SIMDISK_GEOMETRY_SIZE]);

/* One open of a drive. The system does not keep a file position for opens
   of this device (see simdisk_driver.c), so the driver keeps its own. */
typedef struct SimDiskOpen {
    uint64_t position;
    int noBuffering;
} SimDiskOpen;

typedef struct SimDiskReadPlan {
    uint32_t status;    /* SIMDISK_STATUS_SUCCESS, or what the read fails with */
    uint64_t offset;    /* where in the disk (and the image) the read starts */
    uint32_t length;    /* bytes to deliver; 0 on failure and at the end */
    uint32_t cylinder;  /* cylinder of offset, for the speed profile */
} SimDiskReadPlan;

/* Where a read of length bytes asked for at requestedOffset goes. A request
   at offset 0, or at "the current position" (0xFFFFFFFFFFFFFFFE), continues
   at the open's position: the system hands every read without an explicit
   offset over as offset 0. Unaligned reads of an unbuffered open fail with
   INVALID_PARAMETER; a read at or past the end delivers nothing (END_OF_FILE);
   one that crosses the end is shortened; one touching a fault range fails
   with that fault's status. */
SimDiskReadPlan simdiskPlanRead(const SimDiskDrive* drive, const SimDiskOpen* open, uint64_t requestedOffset,
                                uint32_t length);

/* After a read: the position moves on by the bytes delivered, so a failed
   read leaves it where the read began, as a synchronous file would. */
void simdiskFinishRead(SimDiskOpen* open, const SimDiskReadPlan* plan);

/* Counters of one drive, written to the stats file after each request. */
typedef struct SimDiskStats {
    uint64_t opens;
    uint64_t unbufferedOpens;
    uint64_t reads;
    uint64_t failedReads;
    uint64_t bytes;
    uint64_t lastEnd; /* offset + length of the last successful read */
} SimDiskStats;

void simdiskCountRead(SimDiskStats* stats, const SimDiskReadPlan* plan);

/* "drive=N opens=A unbuffered=B reads=C failed=D bytes=E end=F\r\n";
   returns its length (0 if it does not fit). */
size_t simdiskFormatStats(char* out, size_t outSize, uint32_t drive, const SimDiskStats* stats);

#ifdef __cplusplus
}
#endif

#endif
