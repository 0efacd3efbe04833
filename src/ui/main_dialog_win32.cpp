// The main dialog: binds the dialog logic to the window, its controls and
// the worker's notifications.
#include "ui/main_dialog.h"

#include <string.h>

#include "bench/benchmark.h"
#include "bench/notifications.h"
#include "export/results_file.h"
#include "partition/partition_walk.h"
#include "res/resource.h"
#include "ui/chart.h"
#include "ui/dialog_logic.h"

static void setClassIcon(void* dialog) {
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA((HWND)dialog, GWLP_HINSTANCE);
    SetClassLongPtrA((HWND)dialog, GCLP_HICON, (LONG_PTR)LoadIconA(instance, "HDICON"));
}
static void addListItem(void* dialog, int id, const char* text) {
    SendDlgItemMessageA((HWND)dialog, id, CB_ADDSTRING, 0, (LPARAM)text);
}
static void selectListItem(void* dialog, int id, int index) {
    SendDlgItemMessageA((HWND)dialog, id, CB_SETCURSEL, (WPARAM)index, 0);
}
static int listSelection(void* list) { return (int)SendMessageA((HWND)list, CB_GETCURSEL, 0, 0); }
static void setText(void* dialog, int id, const char* text) { SetDlgItemTextA((HWND)dialog, id, text); }
static void enable(void* dialog, int id, bool on) { EnableWindow(GetDlgItem((HWND)dialog, id), on); }

// Focus is always moved by the dialog's own thread: the request is a sent
// message that the dialog procedure answers with SetFocus.
static void requestFocus(void* dialog, int id) {
    SendMessageA((HWND)dialog, WM_SETFOCUS, (WPARAM)GetDlgItem((HWND)dialog, id), 0);
}
static bool isChecked(void* dialog, int id) { return IsDlgButtonChecked((HWND)dialog, id) == BST_CHECKED; }
static void setScreenSaverActive(bool active) {
    // Broadcast only: the user's saved setting is left as it was.
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active ? TRUE : FALSE, nullptr, SPIF_SENDWININICHANGE);
}
static void paintNow(void* dialog) { RedrawWindow((HWND)dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }
static bool startWorker(int32_t platformKind) {
    // Windows 95 and 98 refuse a null identifier pointer; the identifier
    // itself is not needed.
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, platformKind == PLATFORM_9X ? runBenchmarkLegacy : runBenchmarkNt,
                                 nullptr, 0, &id);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
}
static void endDialog(void* dialog, int result) { EndDialog((HWND)dialog, result); }
static void deleteFont(void* font) {
    if (font) DeleteObject((HFONT)font);
}
static bool stopWorker() { return stopWorkerBeforeUnload(5000); }
static void freeLibrary(void* module) { FreeLibrary((HMODULE)module); }

// Asks the dialog to handle the run's queued messages (RunMessage).
#define WM_RUN_NOTES (WM_APP + 2)
static void wake(void* window) {
    // Fails only once the window is gone (a close during the run) or past the
    // system's queue limit, which wakes handled as they come never reach.
    PostMessageA((HWND)window, WM_RUN_NOTES, 0, 0);
}
// Twenty times a second: smooth to the eye, and still once for each cylinder
// of most real disks (Windows 95 and 98 round it up to their 55 ms tick).
// Each drain costs the window a paint, which at 50 a second took a fast
// drive's run 5% of its time.
enum { DRAIN_TIMER_ID = 1, DRAIN_TIMER_MS = 50 };
static bool setDrainTimer(void* dialog, bool on) {
    if (!on) return KillTimer((HWND)dialog, DRAIN_TIMER_ID) != 0;
    return SetTimer((HWND)dialog, DRAIN_TIMER_ID, DRAIN_TIMER_MS, nullptr) != 0;
}

static void* control(void* dialog, int id) { return GetDlgItem((HWND)dialog, id); }
// What SetDlgItemTextA sends, without finding the control again.
static void setControlText(void* control, const char* text) {
    SendMessageA((HWND)control, WM_SETTEXT, 0, (LPARAM)text);
}
static void setRedraw(void* control, bool on) {
    SendMessageA((HWND)control, WM_SETREDRAW, on, 0);
    // Only the status line is held, and its subclass (below) repaints it as it
    // gives the static the newest text; without the subclass the static has
    // to be asked to.
    if (on && !app.statusControlProc) InvalidateRect((HWND)control, nullptr, TRUE);
}

// The status line while its drawing is held (WM_SETREDRAW FALSE). A run sets
// every cylinder's line on it, and for each text it is given the system's
// static control tells the window system, which under Wine is a round trip
// to the Wine server as long as a fast drive's read of a cylinder. Held, the
// control keeps each text itself, answers for it, and gives the newest to the
// static once, when drawing resumes.
static LRESULT passToStatic(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA((WNDPROC)app.statusControlProc, control, message, wParam, lParam);
}
static void giveHeldText(HWND control) {
    if (!app.statusTextWaiting) return;
    app.statusTextWaiting = 0;
    passToStatic(control, WM_SETTEXT, 0, (LPARAM)app.statusHeldText);
}
static LRESULT CALLBACK statusControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETREDRAW:
        app.statusHeld = wParam ? 0 : 1;
        if (wParam) giveHeldText(control);
        return 0;
    case WM_SETTEXT: {
        if (!app.statusHeld) break;
        const char* text = lParam ? (const char*)lParam : "";
        const size_t length = strlen(text);
        if (length >= sizeof app.statusHeldText) {
            // Too long to keep: it goes on now, after the one kept before it.
            giveHeldText(control);
            break;
        }
        memcpy(app.statusHeldText, text, length + 1);
        app.statusTextWaiting = 1;
        return TRUE;
    }
    case WM_GETTEXT:
        if (app.statusTextWaiting) {
            if (wParam == 0) return 0;
            size_t length = strlen(app.statusHeldText);
            if (length > wParam - 1) length = wParam - 1;
            memcpy((char*)lParam, app.statusHeldText, length);
            ((char*)lParam)[length] = 0;
            return (LRESULT)length;
        }
        break;
    case WM_GETTEXTLENGTH:
        if (app.statusTextWaiting) return (LRESULT)strlen(app.statusHeldText);
        break;
    }
    return passToStatic(control, message, wParam, lParam);
}

static const DialogOps DIALOG_OPS = {
    .createChartFont = createChartFont,
    .loadPartitionMap = loadPartitionMap,
    .setClassIcon = setClassIcon,
    .addListItem = addListItem,
    .selectListItem = selectListItem,
    .listSelection = listSelection,
    .setText = setText,
    .enable = enable,
    .requestFocus = requestFocus,
    .showBox = showBox,
    .isChecked = isChecked,
    .captureChartLayout = captureChartLayout,
    .createChartSurface = createChartSurface,
    .drawChartBackground = drawChartBackground,
    .plotTrackSpeeds = plotTrackSpeeds,
    .invalidateSegments = requestSegmentsRepaint,
    .setScreenSaverActive = setScreenSaverActive,
    .paintNow = paintNow,
    .startWorker = startWorker,
    .endDialog = endDialog,
    .saveResults = saveResults,
    .deleteFont = deleteFont,
    .stopWorkerBeforeUnload = stopWorker,
    .freeLibrary = freeLibrary,
    .wake = wake,
    .setDrainTimer = setDrainTimer,
    .control = control,
    .setControlText = setControlText,
    .setRedraw = setRedraw,
};

void statusText(const char* text) { postStatusTextWith(DIALOG_OPS, text); }
void trackMeasured(uint32_t track) { postTrackMeasuredWith(DIALOG_OPS, track); }
void runEnded(bool anyTrackRead) { postRunEndedWith(DIALOG_OPS, anyTrackRead); }

// Posted by the opening when drive 0 is refused: once the window is shown,
// the focus goes to the drive list, where the user's next step is.
#define WM_FOCUS_DRIVE_LIST (WM_APP + 1)

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        app.statusControlProc = (void*)SetWindowLongPtrA(GetDlgItem(dialog, IDC_STATUS), GWLP_WNDPROC,
                                                         (LONG_PTR)statusControlProc);
        initMainDialogWith(DIALOG_OPS, dialog);
        // The platform focuses the first enabled tab stop as the window shows,
        // which overrides a request made while it was hidden.
        if (!IsWindowEnabled(GetDlgItem(dialog, IDC_START))) PostMessageA(dialog, WM_FOCUS_DRIVE_LIST, 0, 0);
        return TRUE;
    case WM_FOCUS_DRIVE_LIST:
        // Through the dialog manager, so that it also becomes the control the
        // dialog gives the focus back to when it is activated.
        SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, IDC_DRIVE_LIST), TRUE);
        return TRUE;
    case WM_COMMAND:
        handleCommandWith(DIALOG_OPS, dialog, LOWORD(wParam), (void*)lParam, HIWORD(wParam));
        return FALSE;
    case WM_PAINT:
        paintMainWindow(dialog);
        return FALSE;
    case WM_DESTROY:
        closeMainDialogWith(DIALOG_OPS);
        return FALSE;
    case WM_SETFOCUS:
        SetFocus((HWND)wParam);
        return FALSE;
    case WM_TIMER:
        // A stray tick after the run's end finds nothing queued.
        if (wParam == DRAIN_TIMER_ID) handleRunNotesWith(DIALOG_OPS);
        return TRUE;
    case WM_RUN_NOTES:
        handleRunNotesWith(DIALOG_OPS);
        return TRUE;
    }
    return FALSE;
}
