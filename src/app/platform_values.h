// Values of the system's interfaces that the plain logic uses, under names
// of its own so that it builds without windows.h. platform_values_win32.cpp
// holds each one against the system's headers.
#pragma once
#include <stdint.h>

// Message-box styles (MB_OK, MB_YESNOCANCEL, MB_ICONERROR, MB_ICONINFORMATION)
#define BOX_OK 0x00u
#define BOX_YES_NO_CANCEL 0x03u
#define BOX_ICON_ERROR 0x10u
#define BOX_ICON_INFORMATION 0x40u

// Answers of a box (IDCANCEL, IDYES, IDNO); IDCANCEL is also the command
// of Escape and the close box.
#define BOX_ANSWER_CANCEL 2
#define BOX_ANSWER_YES 6
#define BOX_ANSWER_NO 7

// The dialog command of Escape, the close box and the system menu's Close
// (IDCANCEL), also the dialog's result then.
#define COMMAND_CANCEL 2

// Combo-box notification of a new selection (CBN_SELCHANGE).
#define NOTIFY_SELECTION_CHANGE 1

// System error codes (ERROR_ACCESS_DENIED, ERROR_SECTOR_NOT_FOUND).
#define SYS_ERROR_ACCESS_DENIED 5u
#define SYS_ERROR_SECTOR_NOT_FOUND 27u

// Priority classes and thread priorities (NORMAL_PRIORITY_CLASS,
// REALTIME_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST, _NORMAL, _TIME_CRITICAL).
#define PRIORITY_CLASS_NORMAL 0x20u
#define PRIORITY_CLASS_REALTIME 0x100u
#define THREAD_PRIORITY_VALUE_LOWEST (-2)
#define THREAD_PRIORITY_VALUE_NORMAL 0
#define THREAD_PRIORITY_VALUE_TIME_CRITICAL 15

// Platform identifiers of the version record (VER_PLATFORM_WIN32_WINDOWS,
// VER_PLATFORM_WIN32_NT).
#define PLATFORM_ID_WINDOWS 1u
#define PLATFORM_ID_NT 2u

// Sizes of the records the program hands to the system: the basic version
// record (OSVERSIONINFOA), the drive-geometry reply (DISK_GEOMETRY) and, in
// the 32-bit program, the Save As record of Windows 95 and NT 4.0.
#define VERSION_RECORD_SIZE 148
#define DISK_GEOMETRY_SIZE 24
#define SAVE_AS_RECORD_SIZE_32 76

// The value of a handle that names nothing (INVALID_HANDLE_VALUE), as the
// logic keeps handles: an opaque integer.
#define HANDLE_INVALID ((intptr_t)-1)
