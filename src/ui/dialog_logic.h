// The main dialog's sequences and state rules as plain logic. The Win32 layer
// (main_dialog_win32.cpp) binds DialogOps to the real window and controls.
#pragma once
#include <stdint.h>

#include "app/app_state.h"
#include "app/boxes.h"
#include "app/platform_values.h"

struct DialogOps {
    void (*createChartFont)();
    int (*loadPartitionMap)(uint32_t drive);
    void (*setClassIcon)(void* dialog);
    void (*addListItem)(void* dialog, int id, const char* text);
    void (*selectListItem)(void* dialog, int id, int index);
    int (*listSelection)(void* list);
    void (*setText)(void* dialog, int id, const char* text);
    void (*enable)(void* dialog, int id, bool on);
    void (*requestFocus)(void* dialog, int id);
    // Gives the focus to control `id` once the window has shown, which
    // the platform does by focusing the first enabled tab stop: a request
    // made while it is hidden would not hold.
    void (*focusOnceShown)(void* dialog, int id);
    ShowBoxFn showBox;
    bool (*isChecked)(void* dialog, int id);
    void (*captureChartLayout)(void* dialog);
    void (*createChartSurface)(void* dialog);
    void (*drawChartBackground)();
    void (*plotTrackSpeeds)(uint32_t first, uint32_t last);
    // Asks for a repaint of only what plotting cylinders `first` to `last`
    // changed: copying the whole chart to the screen at each drain would take
    // the display's time from a fast drive's reads.
    void (*requestSegmentsRepaint)(void* window, uint32_t first, uint32_t last);
    void (*setScreenSaverActive)(bool active);
    // Paints now what the window has been asked to repaint, the dialog and
    // its controls.
    void (*paintNow)(void* dialog);
    // Starts the worker; false when it cannot.
    bool (*startWorker)();
    void (*endDialog)(void* dialog, int result);
    void (*saveResults)(void* dialog);
    void (*deleteFont)(void* font);
    // The sector service's release (drive/sector_service.h).
    bool (*releaseSectorService)();
    // Starts or stops the window's drain timer, which calls drainRunWith
    // while a run lasts; false when no timer could be made.
    bool (*setDrainTimer)(void* dialog, bool on);
};

// How a run reaches the window, by one path. The worker never waits for it:
// it leaves its newest status line in AppState (statusText), its speeds in
// the speed table with tracksDone, and, last, how the run ended (runEnded).
// The window takes all of it on its drain timer, twenty times a second, and
// only there (drainRunWith): the newest line, then the cylinders finished
// since the last drain, then the end, if it has come. As the worker writes a
// cylinder's line before it counts the cylinder done, and a drain that finds
// the line being written shows nothing, a segment is never shown before its
// line. Lines that came and went between two drains are not shown; no eye
// could read them. A run starts only with its timer running, so its end
// cannot be missed.

bool driveWithinLimits(const DriveGeometry& g);

// The three geometry labels in the opening (code page 936) or English formats.
#define GEOMETRY_LABEL_SIZE 48
void formatGeometryLabels(const DriveGeometry& g, bool opening, char labels[3][GEOMETRY_LABEL_SIZE]);

void initMainDialogWith(const DialogOps& ops, void* dialog);
void handleCommandWith(const DialogOps& ops, void* dialog, int id, void* control, int code);
void startRunWith(const DialogOps& ops, void* dialog);
void selectDriveWith(const DialogOps& ops, void* dialog, void* list);
bool applyGeometryLimitsWith(const DialogOps& ops, void* dialog, uint32_t drive);
void closeMainDialogWith(const DialogOps& ops);

// The worker's side is bench/notifications.h, implemented in
// dialog_logic.cpp.

// Copies the newest status line to `out` and its version to *version; false
// while the worker is writing it (the next drain finds it whole).
bool readStatusLine(char out[STATUS_TEXT_SIZE], uint32_t* version);

// The window's side, on each tick of the drain timer: shows the newest line
// if it is new, plots and asks to repaint the cylinders finished since the
// last drain and, once the worker has ended the run, ends it (endRunWith).
void drainRunWith(const DialogOps& ops);
// The run's end on screen: clears the run flag, stops the drain timer and
// restores the controls, Start last, then asks for the focus on Start.
void endRunWith(const DialogOps& ops, bool anyTrackRead);
