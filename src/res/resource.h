// Identifiers and the window caption shared by the dialog template and the code.
#pragma once

// The main window's caption; the single-instance check searches for it.
#define MAIN_WINDOW_CAPTION "zadovo for Windows 95/NT (v 1.04): Osric T.Vellamo"

#define IDD_MAIN 1

#define IDC_START 101
#define IDC_STOP 102
#define IDC_SAVE 103
#define IDC_DRIVE_LIST 104
#define IDC_NO_BUFFERING 106
#define IDC_HIGH_PRIORITY 107
#define IDC_CHART_FRAME 108
#define IDC_STATUS 109
#define IDC_CYLINDERS 110
#define IDC_HEADS 111
#define IDC_SECTORS 112
#define IDC_DRIVE_GROUP 113
#define IDC_PARTITION_GROUP 200
// The legend swatches are IDC_LEGEND_FIRST + 0 to 7, in the order of their
// colours (LEGEND_COLOURS).
#define IDC_LEGEND_FIRST 201
