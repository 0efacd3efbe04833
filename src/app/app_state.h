// The one process-wide record. Handles are kept as opaque pointers so that the
// portable logic can include this header without windows.h.
#pragma once
#include <stdint.h>

#include "drive/sector_service.h"

enum {
    MAX_DRIVES = 20,
    MAX_PARTITIONS = 20,
    MAX_TRACKS = 1024,
    LEGEND_COUNT = 8,
    // Every text a run shows: the longest, a summary with its six numbers at
    // their widest, is 116 bytes with its zero.
    STATUS_TEXT_SIZE = 128,
};

enum PlatformKind {
    PLATFORM_NONE = 0,
    // Windows 95, 98 and Me.
    PLATFORM_LEGACY = 1,
    PLATFORM_NT = 2,
};

struct DriveGeometry {
    uint32_t cylinders;
    uint32_t heads;
    uint32_t sectorsPerTrack;
    uint32_t bytesPerSector;
};

// A partition-table entry exactly as it lies on disk; read it through the
// accessors below.
struct PartitionEntry {
    uint8_t bytes[16];
};

// A rectangle by the platform's rule: right and bottom are exclusive.
struct ChartBox {
    int32_t left, top, right, bottom;
};

struct DiskOps;
struct DeviceOps;

// How a run ended, as the worker leaves it for the window (runEnd).
enum RunEnd {
    RUN_GOING_ON = 0,
    RUN_ENDED_NOTHING_READ = 1,
    RUN_ENDED_READ = 2,
};

// "Track" in the names below (tracksDone, trackSpeeds, MAX_TRACKS,
// plotTrackSpeeds) means one whole cylinder, as
// in every text the program shows and in the results file: these names are
// the design's and stay. trackBytes() alone is a real track, one head's.
struct AppState {
    volatile int32_t runFlag;
    void* chartFont;
    int32_t highPriority;
    int32_t noBuffering;
    int32_t platformKind;
    // The family's disk operations, chosen by start-up (drive/disk_ops.h),
    // and what they reach the disks through: the NT family's device
    // (drive/disk_nt.h), the legacy family's library (sectorService).
    const DiskOps* disk;
    const DeviceOps* ntDevice;
    int32_t selectedDrive;
    void* mainWindow;
    ChartBox chartRect;
    void* chartSurface;
    volatile uint32_t tracksDone;
    volatile uint32_t trackSpeeds[MAX_TRACKS];
    DriveGeometry driveTable[MAX_DRIVES];
    PartitionEntry partitionLists[MAX_DRIVES][MAX_PARTITIONS];
    uint32_t partitionCounts[MAX_DRIVES];
    uint32_t driveCount;
    ChartBox legendRects[LEGEND_COUNT];
    SectorService sectorService;
    // The run's newest status line: written by the worker only, each time
    // between two steps of statusLineVersion (odd while a write is under way),
    // so that the window, which reads it when it drains, can tell a torn
    // copy (dialog_logic.h).
    char statusLine[STATUS_TEXT_SIZE];
    volatile uint32_t statusLineVersion;
    // Dialog thread only: the version of the line the status control shows,
    // and the cylinders of the run already plotted.
    uint32_t statusLineShown;
    uint32_t tracksPlotted;
    // RunEnd: written by the worker as its last act on a run, after its
    // summary; the window's drain takes it and ends the run on screen.
    volatile int32_t runEnd;
};

extern AppState app;

// Puts the record back to its process-start contents (used by tests).
void resetAppState();

static inline uint32_t trackBytes(const DriveGeometry& g) { return g.sectorsPerTrack * g.bytesPerSector; }
static inline uint32_t cylinderBytes(const DriveGeometry& g) { return g.heads * trackBytes(g); }

// Cylinder numbers in a partition entry: two high bits ride in the sector byte.
static inline uint32_t decodeCylinder(uint8_t sectorByte, uint8_t cylinderByte) {
    return ((uint32_t)(sectorByte & 0xC0) << 2) | cylinderByte;
}
static inline uint32_t decodeSector(uint8_t sectorByte) { return sectorByte & 0x3Fu; }

// The fields of a partition entry: byte 1 the start head, 2 and 3 the start
// sector and cylinder, 4 the type, 6 and 7 the end sector and cylinder.
static inline uint8_t partitionType(const PartitionEntry& e) { return e.bytes[4]; }
static inline uint32_t partitionStartHead(const PartitionEntry& e) { return e.bytes[1]; }
static inline uint32_t partitionStartSector(const PartitionEntry& e) { return decodeSector(e.bytes[2]); }
static inline uint32_t partitionStartCylinder(const PartitionEntry& e) { return decodeCylinder(e.bytes[2], e.bytes[3]); }
static inline uint32_t partitionEndCylinder(const PartitionEntry& e) { return decodeCylinder(e.bytes[6], e.bytes[7]); }

#define RGB_COLOUR(r, g, b) ((uint32_t)(r) | ((uint32_t)(g) << 8) | ((uint32_t)(b) << 16))
