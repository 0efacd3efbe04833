// The one way to the disks: a table of the operations in which the two
// platform families differ, filled by name, once, for each family
// (NT_DISK in disk_nt.cpp, LEGACY_DISK in disk_legacy.cpp). Start-up picks
// the family's table once into app.disk; the partition walk, the benchmark
// and the dialog use only that table and never ask which family they are
// on. Each family reaches the system through what start-up chose for it:
// the NT family through app.ntDevice (disk_nt.h), the legacy family, Windows
// 95, 98 and Me, through app.sectorService (sector_service.h).
#pragma once
#include <stdint.h>

#include "app/app_state.h"

// Every box and prompt of a failed read starts with this.
#define READ_ERROR_FORMAT "Reading error ( code=%Xh )"
#define CANT_OPEN_DISK_TEXT "Can't open disk!"

enum TrackReadResult {
    TRACK_READ_OK,
    TRACK_READ_FAILED,
    // The read was not even tried because the program is closing.
    TRACK_READ_ABANDONED,
};

// One run's hold on the selected drive, made by open and given back by close.
struct DiskRun {
    uint32_t drive;
    intptr_t handle;
    // The next read goes to its own offset instead of on from the last one.
    bool resume;
};

struct DiskOps {
    // The benchmark's texts (code page 936 where Chinese): the read-error
    // prompt (error code, cylinder, head), a cylinder's line (cylinder,
    // speed, minimum, maximum), the summary (cylinders, ms, minimum,
    // effective, average, maximum).
    const char* promptFormat;
    const char* statusFormat;
    const char* summaryFormat;
    // Without a track buffer, the run ends at once with nothing shown.
    bool endAtOnceWithoutBuffer;
    // Whether the no-buffering option means anything here.
    bool noBufferingOffered;
    // Discovery into the drive table; returns the count found.
    uint32_t (*enumerateDrives)(DriveGeometry* table);
    // `count` sectors from cylinder/head/sector (sectors from 1, as in
    // every read; the partition walk refuses a sector 0 before it asks):
    // the sector-read result word.
    uint32_t (*readSectors)(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                            void* buffer);
    // A run: open the drive (false: it cannot be read), read whole tracks
    // in order, close. On a failed read *errorCode is what the prompt shows.
    bool (*open)(DiskRun* run, bool noBuffering);
    TrackReadResult (*readTrack)(DiskRun* run, uint32_t cylinder, uint32_t head, void* buffer, uint32_t bytes,
                                 uint32_t* errorCode);
    void (*close)(DiskRun* run);
};

extern const DiskOps NT_DISK;
extern const DiskOps LEGACY_DISK;

static inline uint32_t readLe32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
