// The main dialog's procedure, which start-up hands to the modal dialog call.
#pragma once
#ifdef _WIN32
#include <windows.h>
INT_PTR CALLBACK mainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The drain timer, the one way a run reaches the window. Twenty times a
// second: smooth to the eye, and still once for each cylinder of most real
// disks (Windows 95 and 98 round it up to their 55 ms tick). Each drain
// costs the window a paint, and every paint is time the display takes from
// a fast drive's reads.
enum { DRAIN_TIMER_ID = 1, DRAIN_TIMER_MS = 50 };
#endif
