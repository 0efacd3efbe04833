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
    ShowBoxFn showBox;
    bool (*isChecked)(void* dialog, int id);
    void (*captureChartLayout)(void* dialog);
    void (*createChartSurface)(void* dialog);
    void (*drawChartBackground)();
    void (*plotTrackSpeeds)(uint32_t first, uint32_t last);
    // Repaint of the part of the chart that plotting tracks `first` to `last`
    // changed: a whole-chart repaint per cylinder would copy the whole surface
    // to the screen each time, which under a busy display costs the worker's
    // device reads their pace. One request covers all the cylinders of a
    // drain, as each request is a call into the window system.
    void (*invalidateSegments)(void* window, uint32_t first, uint32_t last);
    void (*setScreenSaverActive)(bool active);
    // Paints now what the window has been asked to repaint, the dialog and
    // its controls.
    void (*paintNow)(void* dialog);
    // Starts the worker for this platform family; false when it cannot.
    bool (*startWorker)(int32_t platformKind);
    void (*endDialog)(void* dialog, int result);
    void (*saveResults)(void* dialog);
    void (*deleteFont)(void* font);
    // Stops a run and waits until no worker is inside the sector service.
    bool (*stopWorkerBeforeUnload)();
    void (*freeLibrary)(void* module);
    // Asks the dialog thread to handle the run's queued messages soon
    // (handleRunNotesWith) and returns at once.
    void (*wake)(void* window);
    // Starts or stops the dialog thread's drain timer, which calls
    // handleRunNotesWith while a run lasts; false when no timer could be made.
    bool (*setDrainTimer)(void* dialog, bool on);
    // A control of the dialog, for a drain that sets its text many times in a
    // row: finding it by identifier each time is a call into the window
    // system of its own.
    void* (*control)(void* dialog, int id);
    void (*setControlText)(void* control, const char* text);
    // Holds (false) or resumes (true) the drawing of a control while several
    // texts are set on it in a row; resuming repaints it once.
    void (*setRedraw)(void* control, bool on);
};

// What a run tells the window. The worker queues these (post*With) in
// AppState's runNotes and goes on; the dialog thread acts on each in turn
// (handleRunNotesWith), in the order they were queued, so it alone touches
// the controls and the chart. A status text rides with the next message:
// its status line with its curve segment, the summary with the end. The
// dialog thread shows the text first. The worker wakes the dialog thread
// only for the end: a wake costs Wine a wine-server round trip of 0.1 to
// 0.2 ms, which per cylinder was most of the program's time between reads,
// so while a run lasts the dialog thread drains the queue on a timer.
enum RunMessage {
    RUN_STATUS_TEXT,     // only a text (one that no other message carried)
    RUN_TRACK_MEASURED,  // value: the cylinder
    RUN_ENDED,           // value: 1 when any cylinder was measured
};

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
void postStatusTextWith(const DialogOps& ops, const char* text);
void postTrackMeasuredWith(const DialogOps& ops, uint32_t track);
void postRunEndedWith(const DialogOps& ops, bool anyTrackRead);
void handleRunNotesWith(const DialogOps& ops);
void runEndedWith(const DialogOps& ops, bool anyTrackRead);
