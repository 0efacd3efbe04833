#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "drive/drive_access.h"
#include "res/resource.h"
#include "ui/dialog_logic.h"

namespace {

std::vector<std::string>* log_;
int selection = 0;
bool workerStarts = true;
bool checked107 = false, checked106 = false;
bool unloadSafe = true;

void note(const std::string& s) { log_->push_back(s); }
void createFont() { note("font"); }
int loadMap(uint32_t d) {
    note("map" + std::to_string(d));
    app.partitionCounts[d] = 3;  // a failed walk may leave a count behind
    return d == 1 ? 0 : 1;
}
void icon(void*) { note("icon"); }
void addItem(void*, int, const char* t) { note(std::string("add ") + t); }
void selectItem(void*, int, int i) { note("select " + std::to_string(i)); }
int listSel(void*) { return selection; }
void setText(void*, int id, const char* t) { note("text " + std::to_string(id) + " " + t); }
int flagAtFirstEnable = -1;
void enable(void*, int id, bool on) {
    if (flagAtFirstEnable < 0) flagAtFirstEnable = app.runFlag;
    note((on ? "on " : "off ") + std::to_string(id));
}
void focus(void*, int id) { note("focus " + std::to_string(id)); }
int32_t box(void*, const char* t, uint32_t style) {
    note("box " + std::to_string(style) + " " + t);
    return 1;
}
bool isChecked(void*, int id) { return id == IDC_HIGH_PRIORITY ? checked107 : checked106; }
void capture(void*) { note("capture"); }
void* surfaceWindow;  // mainWindow when the surface was made
void surface(void*) {
    surfaceWindow = app.mainWindow;
    note("surface");
}
void background() { note("background"); }
void plot(uint32_t first, uint32_t last) { note("plot " + std::to_string(first) + "-" + std::to_string(last)); }
void invalidate(void*, uint32_t first, uint32_t last) {
    note("invalidate " + std::to_string(first) + "-" + std::to_string(last));
}
void paintNow(void*) { note("paint now"); }
void saver(bool on) { note(on ? "saver on" : "saver off"); }
std::string workerSaw;  // the run's record as the worker would find it
bool worker(int32_t kind) {
    workerSaw = "flag " + std::to_string(app.runFlag) + " done " + std::to_string(app.tracksDone) + " priority " +
                std::to_string(app.highPriority) + " buffering " + std::to_string(app.noBuffering);
    note("worker " + std::to_string(kind));
    return workerStarts;
}
void endDialog(void*, int r) { note("end " + std::to_string(r)); }
void save(void*) { note("save"); }
void delFont(void*) { note("delete font"); }
bool stopWorker() {
    note("stop worker");
    return unloadSafe;
}
void freeLib(void*) { note("free"); }
int wakes = 0;
void wake(void* window) {
    EXPECT_EQ(window, app.mainWindow);
    ++wakes;
}
bool timerMade = true;
bool drainTimer(void*, bool) { return timerMade; }
// A control is told by its identifier, as the texts of the other fakes are.
void* control(void* dialog, int id) {
    EXPECT_EQ(dialog, app.mainWindow);
    return (void*)(intptr_t)id;
}
void setControlText(void* c, const char* t) { note("text " + std::to_string((intptr_t)c) + " " + t); }
void redraw(void* c, bool on) { note((on ? "resume " : "hold ") + std::to_string((intptr_t)c)); }

const DialogOps OPS = {
    .createChartFont = createFont,
    .loadPartitionMap = loadMap,
    .setClassIcon = icon,
    .addListItem = addItem,
    .selectListItem = selectItem,
    .listSelection = listSel,
    .setText = setText,
    .enable = enable,
    .requestFocus = focus,
    .showBox = box,
    .isChecked = isChecked,
    .captureChartLayout = capture,
    .createChartSurface = surface,
    .drawChartBackground = background,
    .plotTrackSpeeds = plot,
    .invalidateSegments = invalidate,
    .setScreenSaverActive = saver,
    .paintNow = paintNow,
    .startWorker = worker,
    .endDialog = endDialog,
    .saveResults = save,
    .deleteFont = delFont,
    .stopWorkerBeforeUnload = stopWorker,
    .freeLibrary = freeLib,
    .wake = wake,
    .setDrainTimer = drainTimer,
    .control = control,
    .setControlText = setControlText,
    .setRedraw = redraw,
};

void* const DIALOG = (void*)0xD1A;

class Dialog : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        log_ = &calls;
        selection = 0;
        workerStarts = true;
        unloadSafe = true;
        app.driveCount = 2;
        app.driveTable[0] = {1024, 255, 63, 512};
        app.driveTable[1] = {120, 4, 17, 512};
        app.platformKind = PLATFORM_9X;
    }
    bool saw(const std::string& s) const {
        for (const auto& c : calls)
            if (c == s) return true;
        return false;
    }
    size_t at(const std::string& s) const {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i] == s) return i;
        ADD_FAILURE() << "no call " << s;
        return calls.size();
    }
    // The last enabled state each control was given, from the calls.
    std::map<int, bool> states() const {
        std::map<int, bool> out;
        for (const auto& c : calls) {
            if (c.rfind("on ", 0) == 0) out[std::stoi(c.substr(3))] = true;
            if (c.rfind("off ", 0) == 0) out[std::stoi(c.substr(4))] = false;
        }
        return out;
    }
    std::vector<std::string> calls;
};

const char LIMIT_TEXT[] =
    "There are more then 1024 cylinders\nor 255 heads or 63 setors per track in this drive.\n"
    "This program not supported such drives.\nSet LBA mode in your BIOS setup for this drive.";

TEST(GeometryLimits, BoundsAcceptedOneMoreRefused) {
    EXPECT_TRUE(driveWithinLimits({1024, 255, 63, 512}));
    EXPECT_FALSE(driveWithinLimits({1025, 255, 63, 512}));
    EXPECT_FALSE(driveWithinLimits({1024, 256, 63, 512}));
    EXPECT_FALSE(driveWithinLimits({1024, 255, 64, 512}));
    EXPECT_FALSE(driveWithinLimits({0xFFFFFFFFu, 1, 1, 512}));
}

TEST(GeometryLabels, OpeningFormatsAreCodePage936AndLaterOnesEnglish) {
    char labels[3][GEOMETRY_LABEL_SIZE];
    formatGeometryLabels({1024, 16, 63, 512}, true, labels);
    EXPECT_STREQ(labels[0], "\xd6\xf9\xc3\xe6     :\t1024");
    EXPECT_STREQ(labels[1], "\xd6\xf9\xcd\xb7 :    \t  16");
    EXPECT_STREQ(labels[2], "\xc9\xc8\xc7\xf8   :  \t  63");
    formatGeometryLabels({99999, 255, 7, 512}, false, labels);
    EXPECT_STREQ(labels[0], "Cylinders:\t99999");
    EXPECT_STREQ(labels[1], "Heads:    \t 255");
    EXPECT_STREQ(labels[2], "Sectors:  \t   7");
}

// The opening's end state, and the orders that matter: the font first, every
// walk before the list, the placeholders measured and mainWindow set before
// the surface is made (its background drawing repaints through mainWindow).
TEST_F(Dialog, OpeningEndsIdleWithDriveZeroShown) {
    initMainDialogWith(OPS, DIALOG);
    EXPECT_EQ(calls.front(), "font");
    EXPECT_LT(at("map1"), at("add HDD0"));
    EXPECT_LT(at("add HDD1"), at("select 0"));
    EXPECT_TRUE(saw("text 110 \xd6\xf9\xc3\xe6     :\t1024"));
    EXPECT_TRUE(saw("text 111 \xd6\xf9\xcd\xb7 :    \t 255"));
    EXPECT_TRUE(saw("text 112 \xc9\xc8\xc7\xf8   :  \t  63"));
    EXPECT_LT(at("capture"), at("surface"));
    EXPECT_EQ(surfaceWindow, DIALOG);
    EXPECT_TRUE(saw("focus 101"));
    EXPECT_TRUE(saw("saver off"));
    const std::map<int, bool> idle = {{101, true}, {102, false}, {103, false}, {104, true}, {106, false}};
    EXPECT_EQ(states(), idle);
    EXPECT_EQ(app.partitionCounts[1], 0u);  // failed walk leaves an empty list
    EXPECT_EQ(app.partitionCounts[0], 3u);
    EXPECT_EQ(app.mainWindow, DIALOG);
    EXPECT_EQ(app.selectedDrive, 0);
}

TEST_F(Dialog, OverLimitDriveZeroDisablesStartShowsTheBoxAndFocusesTheList) {
    app.platformKind = PLATFORM_NT;
    app.driveTable[0] = {10000, 255, 63, 512};
    initMainDialogWith(OPS, DIALOG);
    EXPECT_LT(at("off 101"), at(std::string("box 64 ") + LIMIT_TEXT));
    EXPECT_TRUE(saw("focus 104"));
    EXPECT_FALSE(saw("focus 101"));
    EXPECT_TRUE(saw("on 106"));
}

TEST_F(Dialog, SelectionChangeUsesEnglishLabelsRedrawsAndAppliesTheLimit) {
    app.mainWindow = DIALOG;
    selection = 1;
    app.driveTable[1] = {1024, 256, 63, 512};
    handleCommandWith(OPS, DIALOG, IDC_DRIVE_LIST, (void*)1, 9);  // not a selection change
    EXPECT_TRUE(calls.empty());
    handleCommandWith(OPS, DIALOG, IDC_DRIVE_LIST, (void*)1, NOTIFY_SELECTION_CHANGE);
    EXPECT_TRUE(saw("text 110 Cylinders:\t1024"));
    EXPECT_TRUE(saw("text 111 Heads:    \t 256"));
    EXPECT_TRUE(saw("text 112 Sectors:  \t  63"));
    EXPECT_TRUE(saw("background"));
    EXPECT_TRUE(saw("text 109 Physical drive 1 selected."));
    // Start is off before the box is up.
    EXPECT_LT(at("off 101"), at(std::string("box 64 ") + LIMIT_TEXT));
    EXPECT_EQ(states(), (std::map<int, bool>{{101, false}}));
    EXPECT_EQ(app.selectedDrive, 1);
}

// Every change of the window is made before the worker exists.
TEST_F(Dialog, StartPreparesEverythingBeforeTheWorkerAndStopOnlyClearsTheFlag) {
    app.mainWindow = DIALOG;
    app.tracksDone = 77;
    checked107 = true;
    checked106 = false;
    handleCommandWith(OPS, DIALOG, IDC_START, nullptr, 0);
    EXPECT_EQ(calls.back(), "worker 1");
    // ... and painted, once it is all made.
    EXPECT_EQ(calls[calls.size() - 2], "paint now");
    EXPECT_TRUE(saw("background"));
    EXPECT_TRUE(saw("focus 102"));
    const std::map<int, bool> running = {{101, false}, {102, true}, {103, false}, {104, false}, {106, false}, {107, false}};
    EXPECT_EQ(states(), running);
    EXPECT_EQ(workerSaw, "flag 1 done 0 priority 1 buffering 0");

    calls.clear();
    handleCommandWith(OPS, DIALOG, IDC_STOP, nullptr, 0);
    EXPECT_EQ(app.runFlag, 0);
    EXPECT_TRUE(calls.empty());
}

TEST_F(Dialog, AWorkerThatCannotStartReturnsTheWindowToIdle) {
    app.mainWindow = DIALOG;
    workerStarts = false;
    startRunWith(OPS, DIALOG);
    EXPECT_LT(at("worker 1"), at("box 16 Can't start the measurement thread!"));
    EXPECT_EQ(calls.back(), "focus 101");
    EXPECT_EQ(calls[calls.size() - 2], "on 101");
    EXPECT_FALSE(saw("on 103"));
    EXPECT_EQ(app.runFlag, 0);
}

// runEnded clears the run flag before touching anything and enables Start
// last, so a run started at once is not altered by the one that ended.
TEST_F(Dialog, RunEndedClearsTheFlagFirstAndEnablesStartLast) {
    app.mainWindow = DIALOG;
    app.runFlag = 1;
    flagAtFirstEnable = -1;
    runEndedWith(OPS, true);
    EXPECT_EQ(flagAtFirstEnable, 0);
    EXPECT_EQ(calls[calls.size() - 2], "on 101");
    EXPECT_EQ(calls.back(), "focus 101");
    const std::map<int, bool> after = {{101, true}, {102, false}, {103, true}, {104, true}, {106, false}, {107, true}};
    EXPECT_EQ(states(), after);
    calls.clear();
    app.platformKind = PLATFORM_NT;
    runEndedWith(OPS, false);
    EXPECT_FALSE(saw("on 103"));
    EXPECT_TRUE(saw("on 106"));
}

// The worker only queues; the window acts when it handles the queue. A whole
// run's texts (every cylinder's and the summary) are queued before the
// window handles any, twice over, and each still shows as it was written,
// before its cylinder's segment is drawn. The worker wakes the window only
// for the end while the drain timer runs, and for each cylinder when none
// could be made.
TEST_F(Dialog, NotificationsAreQueuedAndActedOnInTheirOrder) {
    app.mainWindow = DIALOG;
    for (int run = 0; run < 2; ++run) {
        timerMade = run == 0;
        startRunWith(OPS, DIALOG);
        wakes = 0;
        calls.clear();
        // Each drain holds the status control before its first text, draws
        // it again once after the last, and plots its cylinders together
        // with one repaint request, before the end is handled. The first run
        // is drained twice, the second once.
        const uint32_t split = run == 0 ? 600 : 0;
        std::vector<std::string> expected{"hold 109"};
        size_t shown = 0;  // calls made by the drains so far
        // The second run also has a text that no cylinder carries, which
        // still shows in its place (and one cylinder less, as a run has at
        // most one text per cylinder and the summary).
        const uint32_t tracks = run == 0 ? MAX_TRACKS : MAX_TRACKS - 1;
        if (run == 1) {
            postStatusTextWith(OPS, "first");
            expected.push_back("text 109 first");
        }
        for (uint32_t t = 0; t < tracks; ++t) {
            const std::string text = "run " + std::to_string(run) + " track " + std::to_string(t);
            postStatusTextWith(OPS, text.c_str());
            postTrackMeasuredWith(OPS, t);
            expected.push_back("text 109 " + text);
            if (t + 1 == split) {
                EXPECT_TRUE(calls.empty()) << "the worker touched the window";
                handleRunNotesWith(OPS);
                expected.push_back("plot 0-" + std::to_string(t));
                expected.push_back("invalidate 0-" + std::to_string(t));
                expected.push_back("resume 109");
                expected.push_back("hold 109");
                shown = calls.size();
            }
        }
        postStatusTextWith(OPS, "summary");
        postRunEndedWith(OPS, true);
        EXPECT_EQ(calls.size(), shown) << "the worker touched the window";
        EXPECT_EQ(wakes, run == 0 ? 1 : (int)tracks + 1);
        handleRunNotesWith(OPS);
        expected.push_back("plot " + std::to_string(split) + "-" + std::to_string(tracks - 1));
        expected.push_back("invalidate " + std::to_string(split) + "-" + std::to_string(tracks - 1));
        expected.push_back("text 109 summary");
        ASSERT_GE(calls.size(), expected.size());
        EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "hold 109"), run == 0 ? 2 : 1);
        EXPECT_EQ(calls.back(), "resume 109");
        EXPECT_EQ(calls[calls.size() - 2], "focus 101");
        EXPECT_EQ(app.runFlag, 0);
        EXPECT_EQ(app.runTimerOn, 0);
    }
    timerMade = true;
}

TEST_F(Dialog, CancelEndsTheDialogAndClosingReleasesOnlyWhenSafe) {
    handleCommandWith(OPS, DIALOG, COMMAND_CANCEL, nullptr, 0);
    EXPECT_EQ(calls, std::vector<std::string>{"end 2"});

    calls.clear();
    app.sectorService.module = (void*)0x400000;
    closeMainDialogWith(OPS);
    EXPECT_EQ(calls, (std::vector<std::string>{"delete font", "stop worker", "free", "saver on"}));

    calls.clear();
    app.sectorService.module = (void*)0x400000;
    unloadSafe = false;
    closeMainDialogWith(OPS);
    EXPECT_EQ(calls, (std::vector<std::string>{"delete font", "stop worker", "saver on"}));

    calls.clear();
    app.sectorService.module = nullptr;  // NT family: nothing to release
    closeMainDialogWith(OPS);
    EXPECT_EQ(calls, (std::vector<std::string>{"delete font", "saver on"}));
}

}  // namespace
