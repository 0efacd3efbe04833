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
    void (*plotTrackSpeed)(uint32_t track);
    // Repaint of the part of the chart that plotting `track` changed: a
    // whole-chart repaint per cylinder would copy the whole surface to the
    // screen each time, which under a busy display costs the worker's device
    // reads their pace.
    void (*invalidateSegment)(void* window, uint32_t track);
    void (*setScreenSaverActive)(bool active);
    // Starts the worker for this platform family; false when it cannot.
    bool (*startWorker)(int32_t platformKind);
    void (*endDialog)(void* dialog, int result);
    void (*saveResults)(void* dialog);
    void (*deleteFont)(void* font);
    // Stops a run and waits until no worker is inside the sector service.
    bool (*stopWorkerBeforeUnload)();
    void (*freeLibrary)(void* module);
    // Queues a run message for the dialog thread and returns at once; text
    // is a status slot plus 1, or 0 for no text.
    void (*post)(void* window, int message, uint32_t value, uint32_t text);
};

// What a run tells the window. The worker posts these (post*With) and goes
// on; the dialog thread acts on each in turn (handleRunMessageWith), in the
// order they were posted, so it alone touches the controls and the chart.
// A status text rides with the next message, so a cylinder costs the worker
// one message: its status line with its curve segment, the summary with the
// end. The dialog thread shows the text first.
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
void handleRunMessageWith(const DialogOps& ops, int message, uint32_t value, uint32_t text);
void statusTextWith(const DialogOps& ops, const char* text);
void trackMeasuredWith(const DialogOps& ops, uint32_t track);
void runEndedWith(const DialogOps& ops, bool anyTrackRead);
