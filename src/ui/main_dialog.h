#pragma once
#ifdef _WIN32
#include <windows.h>
INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
#endif
