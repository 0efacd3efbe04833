// The one way to the disks: a table of the operations in which the two
// platform families differ, filled by name for each family (disk_nt.cpp with
// disk_nt_win32.cpp, disk_9x.cpp). Start-up picks the family's table once
// into app.disk; the partition walk, the benchmark and the dialog use only
// that table and never ask which family they are on.
#pragma once
#include <stdint.h>

#include "app/app_state.h"

enum TrackReadResult {
    TRACK_READ_OK,
    TRACK_READ_FAILED,
    // The read was not even tried because the program is closing.
    TRACK_READ_ABANDONED,
};

// One run's hold on the selected drive, made by open and given back by close.
struct DiskRun {
    const void* device;  // the table's device, for the family's own use
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
    // What the family's run operations read through (DiskRun.device).
    const void* device;
    // Discovery into the drive table; returns the count found.
    uint32_t (*enumerateDrives)(DriveGeometry* table);
    // `count` sectors from cylinder/head/sector (sectors from 1): the
    // sector-read result word.
    uint32_t (*readSectors)(uint32_t drive, uint32_t cylinder, uint32_t head, uint32_t sector, uint32_t count,
                            void* buffer);
    // A run: open the drive (false: it cannot be read), read whole tracks
    // in order, close. On a failed read *errorCode is what the prompt shows.
    bool (*open)(DiskRun* run, bool noBuffering);
    TrackReadResult (*readTrack)(DiskRun* run, uint32_t cylinder, uint32_t head, void* buffer, uint32_t bytes,
                                 uint32_t* errorCode);
    void (*close)(DiskRun* run);
};

// The tables, by family.
extern const DiskOps LEGACY_DISK;
#ifdef _WIN32
extern const DiskOps NT_DISK;
#endif
