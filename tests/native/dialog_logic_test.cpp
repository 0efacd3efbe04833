#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bench/notifications.h"
#include "drive/disk_ops.h"
#include "fakes.h"
#include "res/resource.h"
#include "ui/dialog_logic.h"

namespace {

std::vector<std::string>* log_;
int selection = 0;
bool workerStarts = true;
bool checked107 = false, checked106 = false;

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
// The run flag and the status line as Start was enabled.
std::string whenStartEnabled;
void enable(void*, int id, bool on) {
    if (flagAtFirstEnable < 0) flagAtFirstEnable = app.runFlag;
    note((on ? "on " : "off ") + std::to_string(id));
    if (id != IDC_START || !on) return;
    whenStartEnabled = "flag " + std::to_string(app.runFlag);
    for (auto c = log_->rbegin(); c != log_->rend(); ++c)
        if (c->rfind("text 109 ", 0) == 0) {
            whenStartEnabled += ", " + *c;
            break;
        }
}
void focus(void*, int id) { note("focus " + std::to_string(id)); }
void focusOnceShown(void*, int id) { note("focus once shown " + std::to_string(id)); }
bool isChecked(void*, int id) { return id == IDC_HIGH_PRIORITY ? checked107 : checked106; }
void capture(void*) { note("capture"); }
void* surfaceWindow;  // mainWindow when the surface was made
void surface(void*) {
    surfaceWindow = app.mainWindow;
    note("surface");
}
void background() { note("background"); }
void plot(uint32_t first, uint32_t last) { note("plot " + std::to_string(first) + "-" + std::to_string(last)); }
void repaint(void*, uint32_t first, uint32_t last) {
    note("repaint " + std::to_string(first) + "-" + std::to_string(last));
}
void paintNow(void*) { note("paint now"); }
void saver(bool on) { note(on ? "saver on" : "saver off"); }
std::string workerSaw;  // the run's record as the worker would find it
bool worker() {
    workerSaw = "flag " + std::to_string(app.runFlag) + " done " + std::to_string(app.tracksDone) + " priority " +
                std::to_string(app.highPriority) + " buffering " + std::to_string(app.noBuffering);
    note("worker");
    return workerStarts;
}
void endDialog(void*, int r) { note("end " + std::to_string(r)); }
void save(void*) { note("save"); }
void delFont(void*) { note("delete font"); }
bool releaseService() {
    note("release service");
    return true;
}
bool timerMade = true;
bool drainTimer(void*, bool on) {
    note(on ? "timer on" : "timer off");
    return timerMade;
}

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
    .focusOnceShown = focusOnceShown,
    .showBox = fakeShowBox,
    .isChecked = isChecked,
    .captureChartLayout = capture,
    .createChartSurface = surface,
    .drawChartBackground = background,
    .plotTrackSpeeds = plot,
    .requestSegmentsRepaint = repaint,
    .setScreenSaverActive = saver,
    .paintNow = paintNow,
    .startWorker = worker,
    .endDialog = endDialog,
    .saveResults = save,
    .deleteFont = delFont,
    .releaseSectorService = releaseService,
    .setDrainTimer = drainTimer,
};

void* const DIALOG = (void*)0xD1A;

class Dialog : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        resetFakes();
        log_ = &calls;
        fakeBoxes.log = &calls;
        selection = 0;
        workerStarts = true;
        timerMade = true;
        app.driveCount = 2;
        app.driveTable[0] = {1024, 255, 63, 512};
        app.driveTable[1] = {120, 4, 17, 512};
        app.disk = &LEGACY_DISK;
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
    EXPECT_FALSE(saw("focus once shown 104"));
    EXPECT_TRUE(saw("saver off"));
    const std::map<int, bool> idle = {{101, true}, {102, false}, {103, false}, {104, true}, {106, false}};
    EXPECT_EQ(states(), idle);
    EXPECT_EQ(app.partitionCounts[1], 0u);  // failed walk leaves an empty list
    EXPECT_EQ(app.partitionCounts[0], 3u);
    EXPECT_EQ(app.mainWindow, DIALOG);
    EXPECT_EQ(app.selectedDrive, 0);
}

TEST_F(Dialog, OverLimitDriveZeroDisablesStartShowsTheBoxAndFocusesTheList) {
    app.disk = &NT_DISK;
    app.driveTable[0] = {10000, 255, 63, 512};
    initMainDialogWith(OPS, DIALOG);
    EXPECT_LT(at("off 101"), at(std::string("box ") + LIMIT_TEXT + " 64"));
    EXPECT_TRUE(saw("focus once shown 104"));
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
    EXPECT_LT(at("off 101"), at(std::string("box ") + LIMIT_TEXT + " 64"));
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
    EXPECT_EQ(calls.front(), "timer on");
    EXPECT_EQ(calls.back(), "worker");
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

TEST_F(Dialog, ARunWithoutItsTimerOrItsWorkerLeavesTheWindowIdle) {
    app.mainWindow = DIALOG;
    timerMade = false;
    startRunWith(OPS, DIALOG);
    EXPECT_EQ(calls, (std::vector<std::string>{"timer on", "box Can't start the measurement timer! 16"}));
    EXPECT_EQ(app.runFlag, 0);

    calls.clear();
    timerMade = true;
    workerStarts = false;
    startRunWith(OPS, DIALOG);
    EXPECT_LT(at("worker"), at("box Can't start the measurement thread! 16"));
    EXPECT_LT(at("box Can't start the measurement thread! 16"), at("timer off"));
    EXPECT_EQ(calls.back(), "focus 101");
    EXPECT_EQ(calls[calls.size() - 2], "on 101");
    EXPECT_FALSE(saw("on 103"));
    EXPECT_EQ(app.runFlag, 0);
}

// The end clears the run flag before touching anything and enables Start
// last, so a run started at once is not altered by the one that ended.
TEST_F(Dialog, EndClearsTheFlagFirstAndEnablesStartLast) {
    app.mainWindow = DIALOG;
    app.runFlag = 1;
    flagAtFirstEnable = -1;
    endRunWith(OPS, true);
    EXPECT_EQ(flagAtFirstEnable, 0);
    EXPECT_EQ(calls.front(), "timer off");
    EXPECT_EQ(calls[calls.size() - 2], "on 101");
    EXPECT_EQ(calls.back(), "focus 101");
    const std::map<int, bool> after = {{101, true}, {102, false}, {103, true}, {104, true}, {106, false}, {107, true}};
    EXPECT_EQ(states(), after);
    calls.clear();
    app.disk = &NT_DISK;
    endRunWith(OPS, false);
    EXPECT_FALSE(saw("on 103"));
    EXPECT_TRUE(saw("on 106"));
}

// The worker writes and never touches the window; the window, at each
// drain, shows the newest line if it is new and plots the cylinders counted
// since its last drain, with one repaint request. A cylinder's line comes
// before its segment: a drain that finds a line being written shows nothing,
// not even the cylinders already counted. The end shows the summary and the
// last cylinders, then clears the run flag, and only then enables Start.
TEST_F(Dialog, EachDrainShowsTheRunAsItStandsAndTheEndComesAfterItsLastLine) {
    app.mainWindow = DIALOG;
    startRunWith(OPS, DIALOG);
    calls.clear();
    auto cylinder = [](uint32_t t) {
        statusText(("track " + std::to_string(t)).c_str());
        app.trackSpeeds[t] = 100 + t;
        ++app.tracksDone;
    };
    for (uint32_t t = 0; t < 3; ++t) cylinder(t);
    EXPECT_TRUE(calls.empty()) << "the worker touched the window";
    drainRunWith(OPS);
    drainRunWith(OPS);  // nothing new
    EXPECT_EQ(calls, (std::vector<std::string>{"text 109 track 2", "plot 0-2", "repaint 0-2"}));

    calls.clear();
    statusText("track 3");  // not counted yet: its line alone
    drainRunWith(OPS);
    ++app.tracksDone;
    drainRunWith(OPS);
    EXPECT_EQ(calls, (std::vector<std::string>{"text 109 track 3", "plot 3-3", "repaint 3-3"}));

    calls.clear();
    cylinder(4);
    ++app.statusLineVersion;  // counted, and the worker part way through the next line
    drainRunWith(OPS);
    EXPECT_TRUE(calls.empty());
    --app.statusLineVersion;
    drainRunWith(OPS);
    EXPECT_EQ(calls, (std::vector<std::string>{"text 109 track 4", "plot 4-4", "repaint 4-4"}));

    calls.clear();
    cylinder(5);
    statusText(std::string(200, 's').c_str());  // the summary, cut to the text size
    runEnded(true);
    EXPECT_TRUE(calls.empty());
    whenStartEnabled.clear();
    drainRunWith(OPS);
    const std::string summary = "text 109 " + std::string(STATUS_TEXT_SIZE - 1, 's');
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4),
              (std::vector<std::string>{summary, "plot 5-5", "repaint 5-5", "timer off"}));
    EXPECT_EQ(whenStartEnabled, "flag 0, " + summary);
    EXPECT_EQ(calls.back(), "focus 101");
    EXPECT_TRUE(saw("on 103"));

    calls.clear();
    drainRunWith(OPS);  // a stray tick after the end
    EXPECT_TRUE(calls.empty());
}

TEST_F(Dialog, AnEndWithNothingReadLeavesSaveDisabled) {
    app.mainWindow = DIALOG;
    startRunWith(OPS, DIALOG);
    calls.clear();
    statusText("No sectors read!");
    runEnded(false);
    drainRunWith(OPS);
    EXPECT_EQ(calls.front(), "text 109 No sectors read!");
    EXPECT_FALSE(saw("on 103"));
    EXPECT_EQ(calls.back(), "focus 101");
}

TEST_F(Dialog, CancelEndsTheDialogAndClosingStopsTheRunAndReleasesTheService) {
    handleCommandWith(OPS, DIALOG, COMMAND_CANCEL, nullptr, 0);
    EXPECT_EQ(calls, std::vector<std::string>{"end 2"});

    calls.clear();
    app.runFlag = 1;
    closeMainDialogWith(OPS);
    EXPECT_EQ(calls, (std::vector<std::string>{"delete font", "release service", "saver on"}));
    EXPECT_EQ(app.runFlag, 0);
}

}  // namespace
