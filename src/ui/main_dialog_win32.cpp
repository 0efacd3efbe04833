#include "ui/main_dialog.h"

#include "app/app_state.h"

INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
    return FALSE;
}
