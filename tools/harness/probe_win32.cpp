// harness_probe.exe: a small program for the harness's own test. It shows
// message boxes and a dialog whose controls answer the harness's commands in
// ways the test can see.
//   harness_probe box            an unowned error box, then exit code 3
//   harness_probe dialog         the dialog; exit code 0 when it is cancelled
//   harness_probe activate       restore the dialog of another copy and bring
//                                it to the front, exit 1; exit 4 if none
#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace {

// Dialog units of the red block that WM_PAINT draws.
const RECT RED_BLOCK = {12, 56, 32, 72};

void showStatus(HWND dialog, const char* text) {
    SetDlgItemTextA(dialog, 109, text);
}

INT_PTR CALLBACK probeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    char text[64];
    switch (message) {
    case WM_INITDIALOG: {
        HWND combo = GetDlgItem(dialog, 104);
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "alpha");
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "beta");
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "第三");
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
        SetFocus(combo);
        // Where the red block lies, in client pixels: left top right bottom.
        RECT red = RED_BLOCK;
        MapDialogRect(dialog, &red);
        snprintf(text, sizeof text, "%ld %ld %ld %ld", red.left, red.top, red.right, red.bottom);
        SetDlgItemTextA(dialog, 110, text);
        return FALSE;
    }
    case WM_PAINT: {
        // A solid red block, for the capture check.
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(dialog, &paint);
        RECT rect = RED_BLOCK;
        MapDialogRect(dialog, &rect);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &rect, red);
        DeleteObject(red);
        EndPaint(dialog, &paint);
        return TRUE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
        } else if (id == 101 && code == BN_CLICKED) {
            int answer = MessageBoxA(dialog, "Go on?", "Probe", MB_YESNOCANCEL | MB_ICONQUESTION);
            snprintf(text, sizeof text, "answer %d", answer);
            showStatus(dialog, text);
            EnableWindow(GetDlgItem(dialog, 102), TRUE);
        } else if (id == 103) {
            MessageBoxA(dialog, "Note.", "Probe", MB_OK | MB_ICONINFORMATION);
        } else if (id == 105) {
            MessageBoxA(dialog, "Careful.", "Probe", MB_OKCANCEL | MB_ICONWARNING);
        } else if (id == 106) {
            MessageBoxA(dialog, "Plain.", "Probe", MB_OK);
        } else if (id == 104 && code == CBN_SELCHANGE) {
            snprintf(text, sizeof text, "selected %d\tnow", int(SendDlgItemMessageA(dialog, 104, CB_GETCURSEL, 0, 0)));
            showStatus(dialog, text);
        } else if (id == 107 && code == BN_CLICKED) {
            snprintf(text, sizeof text, "option %d", int(IsDlgButtonChecked(dialog, 107)));
            showStatus(dialog, text);
        }
        (void)lParam;
        return TRUE;
    }
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (strcmp(commandLine, "box") == 0) {
        MessageBoxA(nullptr, "First line.\nSecond line.", "Probe", MB_ICONERROR);
        return 3;
    }
    if (strcmp(commandLine, "dialog") == 0) {
        return int(DialogBoxParamA(instance, MAKEINTRESOURCEA(1), nullptr, probeProc, 0));
    }
    if (strcmp(commandLine, "activate") == 0) {
        HWND window = FindWindowA(nullptr, "Probe dialog");
        if (!window) return 4;
        if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
        return 1;
    }
    return 2;
}
