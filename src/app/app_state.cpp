#include "app/app_state.h"

#include <new>

// The record's one initialisation: every field's start value, the constant
// tables among them.
static AppState initialAppState() {
    return AppState{
        .yLabelFormat = "%5u",
        .xLabelFormat = "%4u",
        .runFlag = 0,
        // FAT, FAT32, NTFS, free extended, empty, BSD, Linux, other.
        .legendControlIds = {201, 202, 203, 204, 205, 206, 207, 208},
        .legendColours = {RGB_COLOUR(182, 248, 208), RGB_COLOUR(182, 248, 121), RGB_COLOUR(255, 205, 233),
                          RGB_COLOUR(80, 128, 179), RGB_COLOUR(182, 184, 184), RGB_COLOUR(221, 207, 179),
                          RGB_COLOUR(236, 235, 134), RGB_COLOUR(214, 214, 255)},
        .chartFont = nullptr,
        .highPriority = 0,
        .noBuffering = 0,
        .platformKind = PLATFORM_NONE,
        .selectedDrive = 0,
        .mainWindow = nullptr,
        .chartRect = {},
        .chartSurface = nullptr,
        .tracksDone = 0,
        .trackSpeeds = {},
        .driveTable = {},
        .partitionLists = {},
        .partitionCounts = {},
        .driveCount = 0,
        .legendRects = {},
        .sectorService = {},
        .sectorServiceClosing = 0,
        .sectorServiceCallsInside = 0,
        .statusSlots = {},
        .statusSlotsUsed = 0,
        .statusSlotWaiting = 0,
        .runNotes = {},
        .runNotesQueued = 0,
        .runNotesShown = 0,
        .runTimerOn = 0,
        .statusControlProc = nullptr,
        .statusHeld = 0,
        .statusTextWaiting = 0,
        .statusHeldText = {},
    };
}

AppState app = initialAppState();

void resetAppState() {
    app.~AppState();
    new (&app) AppState(initialAppState());
}
