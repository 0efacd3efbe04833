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
    // A run's texts on their way from the worker to the dialog thread: one
    // slot per cylinder and one for the end. The next run starts only after
    // this run's end has been handled on the dialog thread, which comes after
    // all of its texts, so no slot is reused before its text was shown.
    STATUS_SLOTS = MAX_TRACKS + 1,
    // A run's notes to the dialog thread: at most one per text and one for
    // the end; the same reasoning keeps a note from being overwritten before
    // it was handled.
    RUN_NOTES = STATUS_SLOTS + 1,
    // The longest text (a summary with six 10-digit numbers) is 115 bytes.
    STATUS_TEXT_SIZE = 128,
};

enum PlatformKind {
    PLATFORM_NONE = 0,
    PLATFORM_9X = 1,
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

struct ChartRectangle {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct SectorService {
    void* module;
    ReadPhysicalSector32Fn readPhysicalSector32;
    GetDriveParameters32Fn getDriveParameters32;
};

// "Track" in the names below (tracksDone, trackSpeeds, MAX_TRACKS, the
// notification trackMeasured, plotTrackSpeeds) means one whole cylinder, as
// in every text the program shows and in the results file: these names are
// the design's and stay. trackBytes() alone is a real track, one head's.
// One run message on its way to the dialog thread (see RunMessage).
struct RunNote {
    int32_t message;
    uint32_t value;
    uint32_t text;  // a status slot plus 1, or 0 for none
};

struct AppState {
    const char* const yLabelFormat;
    const char* const xLabelFormat;
    volatile int32_t runFlag;
    const int32_t legendControlIds[LEGEND_COUNT];
    const uint32_t legendColours[LEGEND_COUNT];  // 0x00BBGGRR, as the platform's COLORREF
    void* chartFont;
    int32_t highPriority;
    int32_t noBuffering;
    int32_t platformKind;
    int32_t selectedDrive;
    void* mainWindow;
    ChartRectangle chartRect;
    void* chartSurface;
    volatile uint32_t tracksDone;
    volatile uint32_t trackSpeeds[MAX_TRACKS];
    DriveGeometry driveTable[MAX_DRIVES];
    PartitionEntry partitionLists[MAX_DRIVES][MAX_PARTITIONS];
    uint32_t partitionCounts[MAX_DRIVES];
    uint32_t driveCount;
    ChartRectangle legendRects[LEGEND_COUNT];
    SectorService sectorService;
    // Gate around the worker's calls into the sector-service library, so that
    // closing never releases it under a call (src/bench/benchmark.h).
    volatile int32_t sectorServiceClosing;
    volatile int32_t sectorServiceCallsInside;
    // Written by the worker only, read by the dialog thread (see STATUS_SLOTS).
    char statusSlots[STATUS_SLOTS][STATUS_TEXT_SIZE];
    uint32_t statusSlotsUsed;
    // The slot of a text no run message has carried yet, plus 1; 0 for none.
    uint32_t statusSlotWaiting;
    // The run's messages in their order (see RunMessage): written by the
    // worker, each published by raising runNotesQueued; handled by the
    // dialog thread, which alone moves runNotesShown. The counts wrap.
    RunNote runNotes[RUN_NOTES];
    uint32_t runNotesQueued;
    uint32_t runNotesShown;
    // Set by the dialog thread while its drain timer runs; without one the
    // worker wakes the dialog thread for each cylinder instead.
    volatile int32_t runTimerOn;
    // The static control's own window procedure, which the program's
    // subclass of the status line passes messages on to
    // (main_dialog_win32.cpp); whether the status line's drawing is held;
    // the newest text set on it while held, and whether that text still
    // waits to be given to the static. Dialog thread only.
    void* statusControlProc;
    int32_t statusHeld;
    int32_t statusTextWaiting;
    char statusHeldText[STATUS_TEXT_SIZE];
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
