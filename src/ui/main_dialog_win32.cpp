// The main dialog: binds the dialog logic to the window, its controls and
// its drain timer.
#include "ui/main_dialog.h"

#include "bench/benchmark.h"
#include "drive/sector_service.h"
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
static bool startWorker() {
    // Windows 95 and 98 refuse a null identifier pointer; the identifier
    // itself is not needed.
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, runBenchmark, nullptr, 0, &id);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
}
static void endDialog(void* dialog, int result) { EndDialog((HWND)dialog, result); }
static void deleteFont(void* font) {
    if (font) DeleteObject((HFONT)font);
}

// The window's private message: the opening's focus (wParam: the control's
// identifier), handled once the window has shown.
enum { WM_OPENING_FOCUS = WM_APP + 1 };
static void focusOnceShown(void* dialog, int id) { PostMessageA((HWND)dialog, WM_OPENING_FOCUS, (WPARAM)id, 0); }
static bool setDrainTimer(void* dialog, bool on) {
    if (!on) return KillTimer((HWND)dialog, DRAIN_TIMER_ID) != 0;
    return SetTimer((HWND)dialog, DRAIN_TIMER_ID, DRAIN_TIMER_MS, nullptr) != 0;
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
    .focusOnceShown = focusOnceShown,
    .showBox = showBox,
    .isChecked = isChecked,
    .captureChartLayout = captureChartLayout,
    .createChartSurface = createChartSurface,
    .drawChartBackground = drawChartBackground,
    .plotTrackSpeeds = plotTrackSpeeds,
    .requestSegmentsRepaint = requestSegmentsRepaint,
    .setScreenSaverActive = setScreenSaverActive,
    .paintNow = paintNow,
    .startWorker = startWorker,
    .endDialog = endDialog,
    .saveResults = saveResults,
    .deleteFont = deleteFont,
    .releaseSectorService = releaseSectorService,
    .setDrainTimer = setDrainTimer,
};

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initMainDialogWith(DIALOG_OPS, dialog);
        return TRUE;
    case WM_OPENING_FOCUS:
        // Through the dialog manager, so that it also becomes the control the
        // dialog gives the focus back to when it is activated.
        SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, (int)wParam), TRUE);
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
        // A stray tick after the run's end finds nothing new.
        if (wParam == DRAIN_TIMER_ID) drainRunWith(DIALOG_OPS);
        return TRUE;
    }
    return FALSE;
}
