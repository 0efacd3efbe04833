/* The drive lines of the simulated drives, one parser for the stand-in
   sector service (Rawio32.cfg, after the word "drive") and the simulated-disk
   driver (its DriveN values):
     IMAGE CYLINDERS HEADS SECTORS BYTES_PER_SECTOR [speed=FIRST,LAST] [stream] [OPTION]...
   Words are separated by blanks; a word may be in double quotes (a path with
   spaces); '#' outside quotes ends the line. Numbers are decimal or
   0x-hexadecimal. Options other than speed= and stream belong to the tool
   (noparams, fault=) and are handed to it. Plain C without the C library,
   so the kernel-mode driver can use it too. */
#ifndef PLATTERSCOPE_DRIVE_LINE_H
#define PLATTERSCOPE_DRIVE_LINE_H

#include <stddef.h>
#include <stdint.h>

#include "pacing/pacing.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    DRIVE_LINE_PATH_SIZE = 260,
    DRIVE_LINE_WORD_SIZE = 260,
};

/* A simulated drive as its line describes it. */
typedef struct SimulatedDrive {
    char image[DRIVE_LINE_PATH_SIZE]; /* as written, without quotes */
    uint32_t cylinders;
    uint32_t heads;
    uint32_t sectorsPerTrack;
    uint32_t bytesPerSector; /* at most 0xFFFF */
    int paced;
    uint32_t firstKbps; /* speed at cylinder 0 */
    uint32_t lastKbps;  /* speed at the last cylinder */
    int streaming;      /* reads ahead: see paceNextDeadline */
} SimulatedDrive;

/* Copies the next word of the line at p into word. Returns the position
   after it; null at the end of the line, and then *error is null, or names
   what is wrong with the word (too long, an unterminated quote, text right
   after a closing quote). */
const char* driveLineWord(const char* p, char* word, size_t size, const char** error);

/* A decimal or 0x-hexadecimal number no larger than max at the start of s;
   *rest receives what follows it. Returns 0 when there is none. */
int driveLineNumber(const char* s, uint64_t max, uint64_t* value, const char** rest);

/* "A,B,C": count numbers separated by commas, the whole of s, each no
   larger than its max. */
int driveLineNumbers(const char* s, uint64_t values[], const uint64_t max[], int count);

/* The tool's own option words: returns null when it takes the word, or why
   not ("unknown option", "too many faults"). */
typedef const char* (*DriveLineOption)(void* context, const char* word);

/* Parses one drive line into drive. Returns 1, or 0 with reason filled
   ("what: \"word\"") and *drive unspecified. option may be null. */
int driveLineParse(const char* line, SimulatedDrive* drive, DriveLineOption option, void* context, char* reason,
                   size_t reasonSize);

static inline uint64_t simulatedCylinderBytes(const SimulatedDrive* drive) {
    return (uint64_t)drive->heads * drive->sectorsPerTrack * drive->bytesPerSector;
}

/* The pacing step of a read: when a read of bytes at cylinder, arriving at
   nowUs, may end on a paced drive whose previous read was to end at
   previousDeadlineUs (0 before the first). */
static inline uint64_t paceReadDeadline(const SimulatedDrive* drive, uint32_t cylinder, uint64_t bytes,
                                        uint64_t previousDeadlineUs, uint64_t nowUs) {
    uint32_t kbps = paceRateKbps(drive->firstKbps, drive->lastKbps, drive->cylinders, cylinder);
    uint64_t window = drive->streaming ? paceStreamWindowMicroseconds(simulatedCylinderBytes(drive), kbps) : 0;
    return paceNextDeadline(previousDeadlineUs, nowUs, paceTransferMicroseconds(bytes, kbps), window);
}

#ifdef __cplusplus
}
#endif

#endif
