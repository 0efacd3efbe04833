#include "ui/dialog_logic.h"

#include "app/text_format.h"

#include "res/resource.h"

bool driveWithinLimits(const DriveGeometry& g) {
    return g.cylinders <= MAX_TRACKS && g.heads <= 255 && g.sectorsPerTrack <= 63;
}

void formatGeometryLabels(const DriveGeometry& g, bool opening, char labels[3][GEOMETRY_LABEL_SIZE]) {
    // The labels open in Chinese and turn English at the first selection
    // change, as they always have (README, "Kept as they are").
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
    // know it (README, "Kept as they are").
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
    bool withinLimits = applyGeometryLimitsWith(ops, dialog, 0);
    // With Start disabled the user's next step is choosing another drive.
    ops.requestFocus(dialog, withinLimits ? IDC_START : IDC_DRIVE_LIST);
    ops.enable(dialog, IDC_DRIVE_LIST, true);
    ops.enable(dialog, IDC_STOP, false);
    ops.enable(dialog, IDC_SAVE, false);
    ops.captureChartLayout(dialog);
    ops.enable(dialog, IDC_NO_BUFFERING, app.platformKind == PLATFORM_NT);
    app.mainWindow = dialog;
    ops.createChartSurface(dialog);
    ops.setScreenSaverActive(false);
}

void startRunWith(const DialogOps& ops, void* dialog) {
    app.highPriority = ops.isChecked(dialog, IDC_HIGH_PRIORITY) ? 1 : 0;
    app.noBuffering = ops.isChecked(dialog, IDC_NO_BUFFERING) ? 1 : 0;
    app.runFlag = 1;
    app.tracksDone = 0;
    ops.drawChartBackground();
    ops.enable(dialog, IDC_SAVE, false);
    ops.enable(dialog, IDC_START, false);
    ops.enable(dialog, IDC_STOP, true);
    ops.enable(dialog, IDC_DRIVE_LIST, false);
    ops.enable(dialog, IDC_HIGH_PRIORITY, false);
    ops.enable(dialog, IDC_NO_BUFFERING, false);
    ops.requestFocus(dialog, IDC_STOP);
    app.runTimerOn = ops.setDrainTimer(dialog, true) ? 1 : 0;
    // The cleared chart and the changed buttons are painted before the first
    // read: painted during it, they were time taken from a fast drive's run.
    ops.paintNow(dialog);
    if (!ops.startWorker(app.platformKind)) {
        // No worker means no runEnded: end the run here so the window
        // does not stay stuck in its running state.
        ops.showBox(dialog, "Can't start the measurement thread!", BOX_ICON_ERROR);
        runEndedWith(ops, false);
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
    // A worker may be inside the sector service: release it only once the
    // worker can no longer call into it; otherwise leave it to process exit.
    if (app.sectorService.module && ops.stopWorkerBeforeUnload()) {
        ops.freeLibrary(app.sectorService.module);
        app.sectorService.module = nullptr;
    }
    ops.setScreenSaverActive(true);
}

static uint32_t takeWaitingText() {
    const uint32_t text = app.statusSlotWaiting;
    app.statusSlotWaiting = 0;
    return text;
}

// The note and its text are written before the count that publishes them.
static void queueRunNote(int message, uint32_t value) {
    const uint32_t queued = app.runNotesQueued;
    app.runNotes[queued % RUN_NOTES] = RunNote{message, value, takeWaitingText()};
    __atomic_store_n(&app.runNotesQueued, queued + 1, __ATOMIC_RELEASE);
}

void postStatusTextWith(const DialogOps&, const char* text) {
    // Two texts in a row: the first goes on its own, so that none is lost.
    if (app.statusSlotWaiting != 0) queueRunNote(RUN_STATUS_TEXT, 0);
    const uint32_t slot = app.statusSlotsUsed++ % STATUS_SLOTS;
    formatText(app.statusSlots[slot], STATUS_TEXT_SIZE, "%s", text);
    app.statusSlotWaiting = slot + 1;
}

void postTrackMeasuredWith(const DialogOps& ops, uint32_t track) {
    queueRunNote(RUN_TRACK_MEASURED, track);
    if (!app.runTimerOn) ops.wake(app.mainWindow);
}

void postRunEndedWith(const DialogOps& ops, bool anyTrackRead) {
    queueRunNote(RUN_ENDED, anyTrackRead ? 1u : 0u);
    ops.wake(app.mainWindow);
}

// The segments of the cylinders `first` to `last`, and one repaint request
// for them all.
struct PlottedRange {
    bool any;
    uint32_t first, last;
};
static void plotRange(const DialogOps& ops, PlottedRange* range) {
    if (!range->any) return;
    ops.plotTrackSpeeds(range->first, range->last);
    ops.invalidateSegments(app.mainWindow, range->first, range->last);
    range->any = false;
}

void handleRunNotesWith(const DialogOps& ops) {
    // Every line is set on the status control in turn, but it is drawn once,
    // with the newest: drawn per line, it cost the window more than a fast
    // drive's reads (the platform's static control paints as its text is set).
    // Likewise the drain's cylinders are plotted together, with one repaint
    // request, before the end is handled: a pen per cylinder alone took
    // some 5% of a fast drive's run.
    void* status = nullptr;
    PlottedRange range = {false, 0, 0};
    while (app.runNotesShown != __atomic_load_n(&app.runNotesQueued, __ATOMIC_ACQUIRE)) {
        const RunNote note = app.runNotes[app.runNotesShown++ % RUN_NOTES];
        if (note.message == RUN_ENDED) plotRange(ops, &range);
        if (note.text != 0 && note.text <= STATUS_SLOTS) {
            if (status == nullptr) {
                status = ops.control(app.mainWindow, IDC_STATUS);
                ops.setRedraw(status, false);
            }
            ops.setControlText(status, app.statusSlots[note.text - 1]);
        }
        switch (note.message) {
        case RUN_TRACK_MEASURED:
            // A run's cylinders follow one another; a line is only ever
            // drawn on from the one before.
            if (range.any && note.value != range.last + 1) plotRange(ops, &range);
            if (!range.any) range = PlottedRange{true, note.value, note.value};
            range.last = note.value;
            break;
        case RUN_ENDED: runEndedWith(ops, note.value != 0); break;
        default: break;
        }
    }
    plotRange(ops, &range);
    if (status != nullptr) ops.setRedraw(status, true);
}

void runEndedWith(const DialogOps& ops, bool anyTrackRead) {
    void* dialog = app.mainWindow;
    app.runFlag = 0;
    if (app.runTimerOn) ops.setDrainTimer(dialog, false);
    app.runTimerOn = 0;
    if (anyTrackRead) ops.enable(dialog, IDC_SAVE, true);
    ops.enable(dialog, IDC_STOP, false);
    ops.enable(dialog, IDC_DRIVE_LIST, true);
    ops.enable(dialog, IDC_HIGH_PRIORITY, true);
    ops.enable(dialog, IDC_NO_BUFFERING, app.platformKind == PLATFORM_NT);
    ops.enable(dialog, IDC_START, true);
    ops.requestFocus(dialog, IDC_START);
}
