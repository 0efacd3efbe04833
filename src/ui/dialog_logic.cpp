#include "ui/dialog_logic.h"

#include "app/text_format.h"
#include "bench/notifications.h"
#include "drive/disk_ops.h"

#include "res/resource.h"

bool driveWithinLimits(const DriveGeometry& g) {
    return g.cylinders <= MAX_TRACKS && g.heads <= 255 && g.sectorsPerTrack <= 63;
}

void formatGeometryLabels(const DriveGeometry& g, bool opening, char labels[3][GEOMETRY_LABEL_SIZE]) {
    // The labels open in Chinese and turn English at the first selection
    // change, as they always have (docs/kept-as-they-are.md).
    static const char* const OPENING[3] = {"柱面     :\t%4u", "柱头 :    \t%4u", "扇区   :  \t%4u"};
    static const char* const ENGLISH[3] = {"Cylinders:\t%4u", "Heads:    \t%4u", "Sectors:  \t%4u"};
    const char* const* formats = opening ? OPENING : ENGLISH;
    const uint32_t values[3] = {g.cylinders, g.heads, g.sectorsPerTrack};
    for (int i = 0; i < 3; ++i) formatText(labels[i], GEOMETRY_LABEL_SIZE, formats[i], values[i]);
}

static void setGeometryLabels(const DialogOps& ops, void* dialog, uint32_t drive, bool opening) {
    char labels[3][GEOMETRY_LABEL_SIZE];
    formatGeometryLabels(app.driveTable[drive], opening, labels);
    ops.setText(dialog, IDC_CYLINDERS, labels[0]);
    ops.setText(dialog, IDC_HEADS, labels[1]);
    ops.setText(dialog, IDC_SECTORS, labels[2]);
}

bool applyGeometryLimitsWith(const DialogOps& ops, void* dialog, uint32_t drive) {
    if (driveWithinLimits(app.driveTable[drive])) {
        ops.enable(dialog, IDC_START, true);
        return true;
    }
    ops.enable(dialog, IDC_START, false);
    // "more then" and "setors" are the program's text as users and scripts
    // know it (docs/kept-as-they-are.md).
    ops.showBox(dialog,
                "There are more then 1024 cylinders\nor 255 heads or 63 setors per track in this drive.\n"
                "This program not supported such drives.\nSet LBA mode in your BIOS setup for this drive.",
                BOX_ICON_INFORMATION);
    return false;
}

void initMainDialogWith(const DialogOps& ops, void* dialog) {
    ops.createChartFont();
    for (uint32_t i = 0; i < app.driveCount; ++i) {
        if (!ops.loadPartitionMap(i)) app.partitionCounts[i] = 0;
    }
    ops.setClassIcon(dialog);
    for (uint32_t i = 0; i < app.driveCount; ++i) {
        char item[16];
        formatText(item, sizeof item, "HDD%u", i);
        ops.addListItem(dialog, IDC_DRIVE_LIST, item);
    }
    ops.selectListItem(dialog, IDC_DRIVE_LIST, 0);
    app.selectedDrive = 0;
    setGeometryLabels(ops, dialog, 0, true);
    if (applyGeometryLimitsWith(ops, dialog, 0)) {
        ops.requestFocus(dialog, IDC_START);
    } else {
        // With Start disabled the user's next step is choosing another drive.
        ops.focusOnceShown(dialog, IDC_DRIVE_LIST);
    }
    ops.enable(dialog, IDC_DRIVE_LIST, true);
    ops.enable(dialog, IDC_STOP, false);
    ops.enable(dialog, IDC_SAVE, false);
    ops.captureChartLayout(dialog);
    ops.enable(dialog, IDC_NO_BUFFERING, app.disk->noBufferingOffered);
    app.mainWindow = dialog;
    ops.createChartSurface(dialog);
    ops.setScreenSaverActive(false);
}

void startRunWith(const DialogOps& ops, void* dialog) {
    // The run reaches the window only on its drain timer: without one it
    // would never end on screen, so it is not begun.
    if (!ops.setDrainTimer(dialog, true)) {
        ops.showBox(dialog, "Can't start the measurement timer!", BOX_ICON_ERROR);
        return;
    }
    app.highPriority = ops.isChecked(dialog, IDC_HIGH_PRIORITY) ? 1 : 0;
    app.noBuffering = ops.isChecked(dialog, IDC_NO_BUFFERING) ? 1 : 0;
    app.runFlag = 1;
    app.tracksDone = 0;
    app.tracksPlotted = 0;
    app.runEnd = RUN_GOING_ON;
    ops.drawChartBackground();
    ops.enable(dialog, IDC_SAVE, false);
    ops.enable(dialog, IDC_START, false);
    ops.enable(dialog, IDC_STOP, true);
    ops.enable(dialog, IDC_DRIVE_LIST, false);
    ops.enable(dialog, IDC_HIGH_PRIORITY, false);
    ops.enable(dialog, IDC_NO_BUFFERING, false);
    ops.requestFocus(dialog, IDC_STOP);
    // The cleared chart and the changed buttons are painted before the first
    // read, so that painting them takes no time from the run's reads.
    ops.paintNow(dialog);
    if (!ops.startWorker()) {
        // No worker means no end from it: end the run here so the window
        // does not stay stuck in its running state.
        ops.showBox(dialog, "Can't start the measurement thread!", BOX_ICON_ERROR);
        endRunWith(ops, false);
    }
}

void selectDriveWith(const DialogOps& ops, void* dialog, void* list) {
    int selection = ops.listSelection(list);
    if (selection < 0 || (uint32_t)selection >= app.driveCount) return;
    app.selectedDrive = selection;
    setGeometryLabels(ops, dialog, (uint32_t)selection, false);
    ops.drawChartBackground();
    char status[48];
    formatText(status, sizeof status, "Physical drive %u selected.", (uint32_t)selection);
    ops.setText(dialog, IDC_STATUS, status);
    applyGeometryLimitsWith(ops, dialog, (uint32_t)selection);
}

void handleCommandWith(const DialogOps& ops, void* dialog, int id, void* control, int code) {
    switch (id) {
    case COMMAND_CANCEL: ops.endDialog(dialog, COMMAND_CANCEL); break;
    case IDC_START: startRunWith(ops, dialog); break;
    case IDC_STOP: app.runFlag = 0; break;
    case IDC_SAVE: ops.saveResults(dialog); break;
    case IDC_DRIVE_LIST:
        if (code == NOTIFY_SELECTION_CHANGE) selectDriveWith(ops, dialog, control);
        break;
    default: break;
    }
}

void closeMainDialogWith(const DialogOps& ops) {
    ops.deleteFont(app.chartFont);
    app.chartFont = nullptr;
    // A run still going on stops at its next cylinder; the process ends
    // once the dialog has, and the worker with it.
    app.runFlag = 0;
    // A worker may be inside the sector service: the release waits for it,
    // or leaves the library to the process's end.
    ops.releaseSectorService();
    ops.setScreenSaverActive(true);
}

void statusText(const char* text) {
    // Only the worker writes, so its own reading of the version is current.
    const uint32_t version = app.statusLineVersion;
    __atomic_store_n(&app.statusLineVersion, version + 1, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_RELEASE);
    uint32_t i = 0;
    for (; i + 1 < STATUS_TEXT_SIZE && text[i] != 0; ++i) __atomic_store_n(&app.statusLine[i], text[i], __ATOMIC_RELAXED);
    __atomic_store_n(&app.statusLine[i], '\0', __ATOMIC_RELAXED);
    __atomic_store_n(&app.statusLineVersion, version + 2, __ATOMIC_RELEASE);
}

bool readStatusLine(char out[STATUS_TEXT_SIZE], uint32_t* version) {
    const uint32_t before = __atomic_load_n(&app.statusLineVersion, __ATOMIC_ACQUIRE);
    if (before & 1u) return false;
    for (uint32_t i = 0; i < STATUS_TEXT_SIZE; ++i) out[i] = __atomic_load_n(&app.statusLine[i], __ATOMIC_RELAXED);
    out[STATUS_TEXT_SIZE - 1] = 0;
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    *version = before;
    return __atomic_load_n(&app.statusLineVersion, __ATOMIC_RELAXED) == before;
}

void runEnded(bool anyTrackRead) {
    // After the summary's line: a drain that sees the end finds it whole.
    __atomic_store_n(&app.runEnd, anyTrackRead ? RUN_ENDED_READ : RUN_ENDED_NOTHING_READ, __ATOMIC_RELEASE);
}

void drainRunWith(const DialogOps& ops) {
    // The end first: a worker that has ended has written its last line and
    // counted its last cylinder, so this drain shows them before the end.
    const int32_t end = __atomic_load_n(&app.runEnd, __ATOMIC_ACQUIRE);
    // Then the count: every line written before it is at least as new as the
    // last counted cylinder's, so the line shown never lags the chart.
    const uint32_t done = __atomic_load_n(&app.tracksDone, __ATOMIC_ACQUIRE);
    char line[STATUS_TEXT_SIZE];
    uint32_t version = 0;
    // A line being written: nothing is shown this time, so that no segment
    // is shown before its line. It cannot be so once the run has ended.
    if (!readStatusLine(line, &version)) return;
    if (version != app.statusLineShown) {
        app.statusLineShown = version;
        ops.setText(app.mainWindow, IDC_STATUS, line);
    }
    if (done > app.tracksPlotted && done <= MAX_TRACKS) {
        ops.plotTrackSpeeds(app.tracksPlotted, done - 1);
        ops.requestSegmentsRepaint(app.mainWindow, app.tracksPlotted, done - 1);
        app.tracksPlotted = done;
    }
    if (end != RUN_GOING_ON) {
        app.runEnd = RUN_GOING_ON;
        endRunWith(ops, end == RUN_ENDED_READ);
    }
}

void endRunWith(const DialogOps& ops, bool anyTrackRead) {
    void* dialog = app.mainWindow;
    app.runFlag = 0;
    ops.setDrainTimer(dialog, false);
    if (anyTrackRead) ops.enable(dialog, IDC_SAVE, true);
    ops.enable(dialog, IDC_STOP, false);
    ops.enable(dialog, IDC_DRIVE_LIST, true);
    ops.enable(dialog, IDC_HIGH_PRIORITY, true);
    ops.enable(dialog, IDC_NO_BUFFERING, app.disk->noBufferingOffered);
    ops.enable(dialog, IDC_START, true);
    ops.requestFocus(dialog, IDC_START);
}
