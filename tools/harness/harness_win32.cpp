// harness.exe: drives the program under test from its own Wine process.
// Runs the commands of one script in order and stops at the first failure
// (exit 1, one line on stderr). Results go to stdout in UTF-8, one per line.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "harness_script.h"

namespace {

enum {
    TEXT_SIZE = 8192,
    POLL_MS = 50,
    WATCH_POLL_MS = 5,
    WINDOW_POLL_MS = 10,  // the benchmark times start-ups by wait-window
    MESSAGE_TIMEOUT_MS = 5000,  // for messages sent to the program's threads
    SETTLE_MS = 5000,           // for effects of posted messages
    BOX_PAINT_MS = 300,         // a box that has just appeared may not be drawn yet
    STABLE_MS = 300,            // how long a new window state must hold
    DELIVERY_MS = 5000,         // longest wait for the program to handle a press
    MAX_ARGS = 256,
    ARG_POOL = 65536,
    STATIC_ID = 0xFFFF,  // the platform's IDC_STATIC as a 16-bit id; a box's text has it
};

struct HarnessState {
    HWND window;        // current window of the control commands
    HWND box;           // current message box
    DWORD ownProcess;
    wchar_t processFilter[MAX_PATH];  // image name of the process under test, or empty
    const Command* command;           // for the failure line
};

HarnessState harness;

// ---- text helpers ----

void toUtf8(const wchar_t* text, char* out, int outSize) {
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, out, outSize, nullptr, nullptr) == 0) out[0] = 0;
    out[outSize - 1] = 0;
}

void toWide(const char* text, wchar_t* out, int outSize) {
    if (MultiByteToWideChar(CP_UTF8, 0, text, -1, out, outSize) == 0) out[0] = 0;
    out[outSize - 1] = 0;
}

void printLine(const char* utf8) {
    static char escaped[TEXT_SIZE * 2];
    escapeText(utf8, escaped, sizeof escaped);
    fputs(escaped, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

void printWide(const wchar_t* text) {
    static char utf8[TEXT_SIZE * 3];
    toUtf8(text, utf8, sizeof utf8);
    printLine(utf8);
}

void printNumber(long value) {
    char line[32];
    snprintf(line, sizeof line, "%ld", value);
    printLine(line);
}

bool fail(const char* format, ...) {
    char reason[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(reason, sizeof reason, format, args);
    va_end(args);
    for (char* p = reason; *p; ++p) {
        if (*p == '\n' || *p == '\r') *p = ' ';
    }
    fprintf(stderr, "harness: %s: %s\n", harness.command ? harness.command->entry->name : "", reason);
    fflush(stderr);
    return false;
}

// The escaped UTF-8 form of a window's text, as it would be printed. Top-level
// windows of other processes are read without sending them a message, so a
// busy program never blocks the search.
void storedTextOf(HWND window, char* out, int outSize) {
    wchar_t wide[TEXT_SIZE];
    char utf8[TEXT_SIZE * 3];
    if (GetWindowTextW(window, wide, TEXT_SIZE) == 0) wide[0] = 0;
    toUtf8(wide, utf8, sizeof utf8);
    escapeText(utf8, out, outSize);
}

// A control's text as the control itself reports it (WM_GETTEXT), which for a
// drop-down list is the selected item.
bool controlText(HWND control, wchar_t* out, int outSize) {
    DWORD_PTR result = 0;
    out[0] = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, outSize, (LPARAM)out, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &result)) {
        return fail("control did not answer WM_GETTEXT within %d ms", int(MESSAGE_TIMEOUT_MS));
    }
    out[outSize - 1] = 0;
    return true;
}

bool sendQuery(HWND control, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR value = 0;
    if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &value)) {
        return fail("control did not answer message 0x%X within %d ms", message, int(MESSAGE_TIMEOUT_MS));
    }
    *result = LRESULT(value);
    return true;
}

// ---- waiting ----

typedef bool (*Condition)(void* data);

bool waitFor(int32_t timeoutMs, Condition condition, void* data, DWORD pollMs = POLL_MS) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition(data)) return true;
        if (GetTickCount() - start >= DWORD(timeoutMs)) return false;
        Sleep(pollMs);
    }
}

// ---- top-level windows ----

struct CaptionSearch {
    const char* caption;  // escaped form, as the command line gives it
    HWND found;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM data) {
    CaptionSearch* search = (CaptionSearch*)data;
    if (!IsWindowVisible(window)) return TRUE;
    char text[TEXT_SIZE];
    storedTextOf(window, text, sizeof text);
    if (strcmp(text, search->caption) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

bool windowPresent(void* data) {
    CaptionSearch* search = (CaptionSearch*)data;
    search->found = nullptr;
    EnumWindows(matchCaption, (LPARAM)search);
    return search->found != nullptr;
}

bool windowAbsent(void* data) {
    return !windowPresent(data);
}

bool needWindow() {
    if (!harness.window) return fail("no current window (use wait-window or window first)");
    if (!IsWindow(harness.window)) return fail("the current window no longer exists");
    return true;
}

bool needControl(int32_t id, HWND* control) {
    if (!needWindow()) return false;
    *control = GetDlgItem(harness.window, id);
    // A DIALOGEX template stores the static id -1 in 32 bits.
    if (!*control && id == STATIC_ID) *control = GetDlgItem(harness.window, -1);
    if (!*control) return fail("the window has no control %d", int(id));
    return true;
}

// ---- message boxes ----

bool processMatches(DWORD process) {
    if (process == harness.ownProcess) return false;
    if (harness.processFilter[0] == 0) return true;
    HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!handle) return false;
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    bool named = QueryFullProcessImageNameW(handle, 0, path, &size) != 0;
    CloseHandle(handle);
    if (!named) return false;
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/') name = p + 1;
    }
    return lstrcmpiW(name, harness.processFilter) == 0;
}

struct BoxShape {
    bool hasText;
    bool onlyBoxControls;
    int buttons;
};

// A message box holds only static controls and buttons, its text in static
// 0xFFFF and every button under a standard command id (1 to 11). The main
// dialog also has 0xFFFF statics, but its buttons have ids from 101 on.
BOOL CALLBACK inspectBoxChild(HWND child, LPARAM data) {
    BoxShape* shape = (BoxShape*)data;
    if (GetParent(child) != GetAncestor(child, GA_ROOT)) return TRUE;
    wchar_t className[64];
    GetClassNameW(child, className, 64);
    int id = GetDlgCtrlID(child);
    if (lstrcmpiW(className, L"Static") == 0) {
        if ((id & STATIC_ID) == STATIC_ID) shape->hasText = true;
    } else if (lstrcmpiW(className, L"Button") == 0 && buttonName(id)) {
        ++shape->buttons;
    } else {
        shape->onlyBoxControls = false;
    }
    return TRUE;
}

bool looksLikeMessageBox(HWND window) {
    if (!IsWindowVisible(window)) return false;
    wchar_t className[64];
    if (!GetClassNameW(window, className, 64) || lstrcmpW(className, L"#32770") != 0) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (!processMatches(process)) return false;
    BoxShape shape = {false, true, 0};
    EnumChildWindows(window, inspectBoxChild, (LPARAM)&shape);
    return shape.hasText && shape.onlyBoxControls && shape.buttons > 0;
}

BOOL CALLBACK matchBox(HWND window, LPARAM data) {
    if (!looksLikeMessageBox(window)) return TRUE;
    *(HWND*)data = window;
    return FALSE;
}

bool boxPresent(void* data) {
    HWND* found = (HWND*)data;
    *found = nullptr;
    EnumWindows(matchBox, (LPARAM)found);
    return *found != nullptr;
}

HWND boxTextControl(HWND box) {
    HWND text = GetDlgItem(box, STATIC_ID);
    return text ? text : GetDlgItem(box, -1);
}

bool needBox() {
    if (!harness.box) return fail("no current message box (use wait-box first)");
    if (!IsWindow(harness.box)) return fail("the message box is gone");
    return true;
}

struct Delivery {
    bool handled;
};

VOID CALLBACK deliveryHandled(HWND, UINT, ULONG_PTR data, LRESULT) {
    ((Delivery*)data)->handled = true;
}

// Hands a message to the program and returns once the program has handled
// it, or the handling opened a message box (which waits for an answer), or
// the target window is gone, or DELIVERY_MS have passed. So the next command
// sees the effect of a press without the harness ever blocking on a box.
bool deliver(HWND target, UINT message, WPARAM wParam, LPARAM lParam) {
    Delivery delivery = {false};
    // A modal dialog that the handling opens (Save As, say) disables its owner.
    HWND root = GetAncestor(target, GA_ROOT);
    bool rootEnabled = root && IsWindowEnabled(root);
    if (!SendMessageCallbackW(target, message, wParam, lParam, deliveryHandled, (ULONG_PTR)&delivery)) {
        return fail("cannot send message 0x%X (error %lu)", message, GetLastError());
    }
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        // The result callback arrives while this thread looks at its queue.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (delivery.handled || !IsWindow(target)) return true;
        HWND box = nullptr;
        if (boxPresent(&box)) return true;
        if (rootEnabled && !IsWindowEnabled(root)) return true;
        if (GetTickCount() - start >= DELIVERY_MS) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, POLL_MS, QS_ALLINPUT);
    }
}

struct IconSearch {
    HWND found;
};

BOOL CALLBACK matchIconStatic(HWND child, LPARAM data) {
    wchar_t className[64];
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, L"Static") != 0) return TRUE;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    ((IconSearch*)data)->found = child;
    return FALSE;
}

// 32-bit top-down pixels of a w x h memory bitmap.
HBITMAP makeSurface(HDC dc, int width, int height, uint32_t** pixels) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, (void**)pixels, nullptr, 0);
}

// Copies a screen rectangle into 32-bit pixels; false when the screen cannot be read.
bool grabScreen(int x, int y, int width, int height, HDC memory, uint32_t** pixels, HBITMAP* bitmap) {
    HDC screen = GetDC(nullptr);
    *bitmap = makeSurface(screen, width, height, pixels);
    bool ok = false;
    if (*bitmap) {
        HGDIOBJ old = SelectObject(memory, *bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    ReleaseDC(nullptr, screen);
    return ok;
}

// The icon's kind, found by drawing each system icon the way the icon static
// draws it and comparing with what the screen shows. The box's icon handle
// belongs to the other process and cannot be drawn from here.
const char* boxIconKind(HWND box) {
    IconSearch search = {nullptr};
    EnumChildWindows(box, matchIconStatic, (LPARAM)&search);
    if (!search.found || !IsWindowVisible(search.found)) return "none";
    LRESULT icon = 0;
    if (!sendQuery(search.found, STM_GETICON, 0, 0, &icon) || icon == 0) return "none";
    RECT rect;
    GetClientRect(search.found, &rect);
    int width = rect.right;
    int height = rect.bottom;
    if (width <= 0 || height <= 0) return "none";
    POINT origin = {0, 0};
    ClientToScreen(search.found, &origin);

    HDC memory = CreateCompatibleDC(nullptr);
    uint32_t* shown = nullptr;
    HBITMAP shownBitmap = nullptr;
    const char* kind = "unknown";
    if (grabScreen(origin.x, origin.y, width, height, memory, &shown, &shownBitmap)) {
        struct Candidate {
            const wchar_t* resource;
            const char* kind;
        };
        const Candidate candidates[] = {
            {IDI_HAND, "error"},
            {IDI_EXCLAMATION, "warning"},
            {IDI_ASTERISK, "information"},
            {IDI_QUESTION, "question"},
        };
        uint32_t background = shown[0] & 0xFFFFFF;
        long best = long(width) * height;
        for (const Candidate& candidate : candidates) {
            uint32_t* drawn = nullptr;
            HBITMAP drawnBitmap = makeSurface(memory, width, height, &drawn);
            if (!drawnBitmap) continue;
            HGDIOBJ old = SelectObject(memory, drawnBitmap);
            for (int k = 0; k < width * height; ++k) drawn[k] = background;
            DrawIconEx(memory, 0, 0, LoadIconW(nullptr, candidate.resource), width, height, 0, nullptr, DI_NORMAL);
            GdiFlush();
            long differences = 0;
            for (int k = 0; k < width * height; ++k) {
                if ((drawn[k] & 0xFFFFFF) != (shown[k] & 0xFFFFFF)) ++differences;
            }
            // Allow a few pixels of blending difference, never a different picture.
            if (differences < best && differences * 50 <= long(width) * height) {
                best = differences;
                kind = candidate.kind;
            }
            SelectObject(memory, old);
            DeleteObject(drawnBitmap);
        }
    }
    if (shownBitmap) DeleteObject(shownBitmap);
    DeleteDC(memory);
    return kind;
}

struct ButtonList {
    char names[128];
};

BOOL CALLBACK collectButton(HWND child, LPARAM data) {
    ButtonList* list = (ButtonList*)data;
    wchar_t className[64];
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, L"Button") != 0 || !IsWindowVisible(child)) return TRUE;
    const char* name = buttonName(GetDlgCtrlID(child));
    if (!name) return TRUE;
    if (list->names[0]) strncat(list->names, " ", sizeof list->names - strlen(list->names) - 1);
    strncat(list->names, name, sizeof list->names - strlen(list->names) - 1);
    return TRUE;
}

// ---- commands ----

// The window is up when it is visible with exactly that caption: the one
// test of it that the scripts use too (tools/wine/common.sh).
bool takeWindow(const char* caption, int32_t timeoutMs) {
    CaptionSearch search = {caption, nullptr};
    if (!waitFor(timeoutMs, windowPresent, &search, WINDOW_POLL_MS)) {
        return fail("no visible window '%s' within %d ms", caption, int(timeoutMs));
    }
    harness.window = search.found;
    return true;
}

bool runWaitWindow(const Command& c) {
    return takeWindow(c.text[0], c.number[1]);
}

bool runWindow(const Command& c) {
    return takeWindow(c.text[0], 0);
}

bool runWaitGone(const Command& c) {
    CaptionSearch search = {c.text[0], nullptr};
    if (!waitFor(c.number[1], windowAbsent, &search)) {
        return fail("window '%s' still there after %d ms", c.text[0], int(c.number[1]));
    }
    return true;
}

bool runText(const Command& c) {
    HWND control;
    if (!needControl(c.number[0], &control)) return false;
    wchar_t text[TEXT_SIZE];
    if (!controlText(control, text, TEXT_SIZE)) return false;
    printWide(text);
    return true;
}

struct TextWait {
    HWND control;
    const char* expected;
    char last[TEXT_SIZE];
    bool answered;
};

bool textMatches(void* data) {
    TextWait* wait = (TextWait*)data;
    wchar_t wide[TEXT_SIZE];
    DWORD_PTR result;
    wait->answered = SendMessageTimeoutW(wait->control, WM_GETTEXT, TEXT_SIZE, (LPARAM)wide, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &result) != 0;
    if (!wait->answered) return false;
    wide[TEXT_SIZE - 1] = 0;
    char utf8[TEXT_SIZE];
    toUtf8(wide, utf8, sizeof utf8);
    escapeText(utf8, wait->last, sizeof wait->last);
    return strcmp(wait->last, wait->expected) == 0;
}

bool runWaitText(const Command& c) {
    TextWait wait;
    if (!needControl(c.number[0], &wait.control)) return false;
    wait.expected = c.text[1];
    wait.last[0] = 0;
    wait.answered = false;
    if (!waitFor(c.number[2], textMatches, &wait)) {
        if (!wait.answered) return fail("control %d did not answer WM_GETTEXT", int(c.number[0]));
        return fail("control %d shows '%s', not '%s', after %d ms", int(c.number[0]), wait.last, wait.expected, int(c.number[2]));
    }
    return true;
}

struct EnabledWait {
    HWND control;
    bool wanted;
};

bool enabledMatches(void* data) {
    EnabledWait* wait = (EnabledWait*)data;
    return (IsWindowEnabled(wait->control) != 0) == wait->wanted;
}

bool runWaitEnabled(const Command& c) {
    EnabledWait wait;
    if (!needControl(c.number[0], &wait.control)) return false;
    wait.wanted = c.number[1] != 0;
    if (!waitFor(c.number[2], enabledMatches, &wait)) {
        return fail("control %d still %s after %d ms", int(c.number[0]), wait.wanted ? "disabled" : "enabled", int(c.number[2]));
    }
    return true;
}

// Prints the control's text each time it changes, polling every few
// milliseconds, until control UNTIL_ID is enabled (the text then is the last
// line) or a message box appears (answer it, then watch again).
bool runWatchText(const Command& c) {
    HWND control;
    HWND until;
    if (!needControl(c.number[0], &control) || !needControl(c.number[1], &until)) return false;
    wchar_t text[TEXT_SIZE];
    wchar_t last[TEXT_SIZE];
    last[0] = 0;
    bool printed = false;
    DWORD start = GetTickCount();
    for (;;) {
        bool ended = IsWindowEnabled(until) != 0;
        if (!controlText(control, text, TEXT_SIZE)) return false;
        if (!printed || lstrcmpW(text, last) != 0) {
            printWide(text);
            lstrcpyW(last, text);
            printed = true;
        }
        if (ended) return true;
        HWND box = nullptr;
        if (boxPresent(&box)) return true;
        if (GetTickCount() - start >= DWORD(c.number[2])) {
            return fail("control %d still disabled after %d ms", int(c.number[1]), int(c.number[2]));
        }
        Sleep(WATCH_POLL_MS);
    }
}

bool runChecked(const Command& c) {
    HWND control;
    LRESULT state = 0;
    if (!needControl(c.number[0], &control) || !sendQuery(control, BM_GETCHECK, 0, 0, &state)) return false;
    printNumber(long(state));
    return true;
}

// The control that has the keyboard focus in the window's thread, as the
// window's direct child id; "window" for the window itself, "none", or
// "other" for a window outside it.
// The control with the keyboard focus in the window's thread: its id (-1 for
// a static), or FOCUS_NONE, FOCUS_WINDOW, FOCUS_OTHER.
enum { FOCUS_NONE = -1000, FOCUS_WINDOW, FOCUS_OTHER };
bool focusedControl(int* out) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(harness.window, nullptr);
    if (!GetGUIThreadInfo(thread, &info)) return fail("GetGUIThreadInfo failed (error %lu)", GetLastError());
    HWND focus = info.hwndFocus;
    if (!focus) {
        *out = FOCUS_NONE;
    } else if (focus == harness.window) {
        *out = FOCUS_WINDOW;
    } else if (IsChild(harness.window, focus)) {
        while (GetParent(focus) != harness.window) focus = GetParent(focus);
        int id = GetDlgCtrlID(focus);
        *out = (id & STATIC_ID) == STATIC_ID ? -1 : id;
    } else {
        *out = FOCUS_OTHER;
    }
    return true;
}

bool runFocus(const Command&) {
    int id;
    if (!needWindow() || !focusedControl(&id)) return false;
    if (id == FOCUS_NONE) {
        printLine("none");
    } else if (id == FOCUS_WINDOW) {
        printLine("window");
    } else if (id == FOCUS_OTHER) {
        printLine("other");
    } else {
        printNumber(id);
    }
    return true;
}

bool focusMatches(void* wanted) {
    int id;
    return focusedControl(&id) && id == *(int*)wanted;
}

// The focus moves by a message the program handles a moment after the state
// that announces it (a button enabled), so it is waited for.
bool runWaitFocus(const Command& c) {
    if (!needWindow()) return false;
    int wanted = (int)c.number[0];
    if (!waitFor(c.number[1], focusMatches, &wanted)) {
        return fail("the focus is not on %d after %d ms", wanted, int(c.number[1]));
    }
    return true;
}

bool isIconic(void*) {
    return IsIconic(harness.window) != 0;
}

// A modal dialog that has only just appeared is shown (again) when its queue
// first runs empty, which undoes an early minimise; so the request is
// repeated until the window stays minimised.
bool runMinimise(const Command&) {
    if (!needWindow()) return false;
    DWORD start = GetTickCount();
    do {
        // As the caption's minimise button does it.
        PostMessageW(harness.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        if (waitFor(1000, isIconic, nullptr)) {
            Sleep(STABLE_MS);
            if (IsIconic(harness.window)) return true;
        }
    } while (GetTickCount() - start < SETTLE_MS);
    return fail("window not minimised after %d ms", int(SETTLE_MS));
}

bool runSelect(const Command& c) {
    HWND combo;
    LRESULT result = 0;
    if (!needControl(c.number[0], &combo) || !sendQuery(combo, CB_SETCURSEL, c.number[1], 0, &result)) return false;
    if (result != c.number[1]) return fail("combo box %d has no item %d", int(c.number[0]), int(c.number[1]));
    // The notification a selection by the user sends to the dialog.
    return deliver(harness.window, WM_COMMAND, MAKEWPARAM(c.number[0], CBN_SELCHANGE), (LPARAM)combo);
}

bool runItems(const Command& c) {
    HWND combo;
    LRESULT count = 0;
    if (!needControl(c.number[0], &combo) || !sendQuery(combo, CB_GETCOUNT, 0, 0, &count)) return false;
    if (count < 0) return fail("control %d is not a combo box", int(c.number[0]));
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        if (!sendQuery(combo, CB_GETLBTEXTLEN, i, 0, &length)) return false;
        if (length < 0 || length >= TEXT_SIZE) return fail("item %d of control %d has no readable text", int(i), int(c.number[0]));
        wchar_t text[TEXT_SIZE];
        text[0] = 0;
        LRESULT copied = 0;
        if (!sendQuery(combo, CB_GETLBTEXT, i, (LPARAM)text, &copied)) return false;
        text[length] = 0;
        printWide(text);
    }
    return true;
}

bool runSelection(const Command& c) {
    HWND combo;
    LRESULT index = 0;
    if (!needControl(c.number[0], &combo) || !sendQuery(combo, CB_GETCURSEL, 0, 0, &index)) return false;
    printNumber(long(index));
    return true;
}

bool runPress(const Command& c) {
    HWND button;
    if (!needControl(c.number[0], &button)) return false;
    if (!IsWindowVisible(button)) return fail("control %d is hidden", int(c.number[0]));
    if (!IsWindowEnabled(button)) return fail("control %d is disabled", int(c.number[0]));
    return deliver(button, BM_CLICK, 0, 0);
}

struct CheckWait {
    HWND control;
    LRESULT wanted;
};

bool checkMatches(void* data) {
    CheckWait* wait = (CheckWait*)data;
    DWORD_PTR state = 0;
    SendMessageTimeoutW(wait->control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &state);
    return LRESULT(state) == wait->wanted;
}

bool runCheck(const Command& c) {
    CheckWait wait;
    LRESULT state = 0;
    if (!needControl(c.number[0], &wait.control) || !sendQuery(wait.control, BM_GETCHECK, 0, 0, &state)) return false;
    wait.wanted = c.number[1] ? BST_CHECKED : BST_UNCHECKED;
    if (state == wait.wanted) return true;
    if (!IsWindowEnabled(wait.control)) return fail("control %d is disabled", int(c.number[0]));
    if (!deliver(wait.control, BM_CLICK, 0, 0)) return false;
    if (!waitFor(SETTLE_MS, checkMatches, &wait)) return fail("control %d did not change its check state", int(c.number[0]));
    return true;
}

bool runWaitBox(const Command& c) {
    HWND found = nullptr;
    if (!waitFor(c.number[0], boxPresent, &found)) return fail("no message box within %d ms", int(c.number[0]));
    harness.box = found;
    Sleep(BOX_PAINT_MS);
    return true;
}

bool runBox(const Command&) {
    if (!needBox()) return false;
    char line[TEXT_SIZE * 3 + 16];
    wchar_t wide[TEXT_SIZE];
    char utf8[TEXT_SIZE * 3];

    GetWindowTextW(harness.box, wide, TEXT_SIZE);
    toUtf8(wide, utf8, sizeof utf8);
    snprintf(line, sizeof line, "caption: %s", utf8);
    printLine(line);

    HWND text = boxTextControl(harness.box);
    if (!controlText(text, wide, TEXT_SIZE)) return false;
    toUtf8(wide, utf8, sizeof utf8);
    snprintf(line, sizeof line, "text: %s", utf8);
    printLine(line);

    snprintf(line, sizeof line, "icon: %s", boxIconKind(harness.box));
    printLine(line);

    ButtonList buttons = {{0}};
    EnumChildWindows(harness.box, collectButton, (LPARAM)&buttons);
    snprintf(line, sizeof line, "buttons: %s", buttons.names);
    printLine(line);

    HWND owner = GetWindow(harness.box, GW_OWNER);
    if (owner) {
        GetWindowTextW(owner, wide, TEXT_SIZE);
        toUtf8(wide, utf8, sizeof utf8);
        snprintf(line, sizeof line, "owner: %s", utf8);
    } else {
        snprintf(line, sizeof line, "owner: none");
    }
    printLine(line);
    return true;
}

bool boxGone(void*) {
    return !IsWindow(harness.box);
}

bool runAnswer(const Command& c) {
    if (!needBox()) return false;
    HWND button = GetDlgItem(harness.box, c.number[0]);
    if (!button || !IsWindowVisible(button)) {
        ButtonList buttons = {{0}};
        EnumChildWindows(harness.box, collectButton, (LPARAM)&buttons);
        return fail("the box has no %s button (it has: %s)", buttonName(c.number[0]), buttons.names);
    }
    PostMessageW(harness.box, WM_COMMAND, MAKEWPARAM(c.number[0], BN_CLICKED), (LPARAM)button);
    if (!waitFor(SETTLE_MS, boxGone, nullptr)) return fail("the box is still open %d ms after %s", int(SETTLE_MS), c.text[0]);
    harness.box = nullptr;
    return true;
}

bool runNoBox(const Command& c) {
    HWND found = nullptr;
    if (waitFor(c.number[0], boxPresent, &found)) {
        char caption[TEXT_SIZE];
        char text[TEXT_SIZE];
        storedTextOf(found, caption, sizeof caption);
        storedTextOf(boxTextControl(found), text, sizeof text);
        harness.box = found;
        return fail("unexpected message box '%s': %s", caption, text);
    }
    return true;
}

bool writeBmp(const char* path, int width, int height, const uint32_t* pixels) {
    char windowsPath[MAX_PATH * 3];
    wchar_t widePath[MAX_PATH];
    windowsPathFromArgument(path, windowsPath, sizeof windowsPath);
    toWide(windowsPath, widePath, MAX_PATH);
    HANDLE file = CreateFileW(widePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail("cannot create '%s' (error %lu)", path, GetLastError());
    uint8_t header[54];
    bmpHeader(width, height, header);
    DWORD written;
    bool ok = WriteFile(file, header, 54, &written, nullptr) != 0;
    static uint8_t row[4 * 8192];
    uint32_t rowBytes = bmpRowBytes(width);
    for (int y = height - 1; ok && y >= 0; --y) {
        memset(row, 0, rowBytes);
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[y * width + x];
            row[x * 3] = uint8_t(p);
            row[x * 3 + 1] = uint8_t(p >> 8);
            row[x * 3 + 2] = uint8_t(p >> 16);
        }
        ok = WriteFile(file, row, rowBytes, &written, nullptr) != 0;
    }
    CloseHandle(file);
    if (!ok) return fail("cannot write '%s'", path);
    return true;
}

// What the screen shows of the window's client area (or a rectangle of it,
// in client coordinates).
bool runCapture(const Command& c) {
    if (!needWindow()) return false;
    RECT client;
    GetClientRect(harness.window, &client);
    int x = 0, y = 0, width = client.right, height = client.bottom;
    if (c.argCount == 5) {
        x = c.number[1];
        y = c.number[2];
        width = c.number[3];
        height = c.number[4];
        if (x + width > client.right || y + height > client.bottom) {
            return fail("rectangle %d,%d %dx%d lies outside the client area %ldx%ld", x, y, width, height, client.right, client.bottom);
        }
    }
    if (width <= 0 || height <= 0 || width > 8192) return fail("nothing to capture (%dx%d)", width, height);
    POINT origin = {x, y};
    ClientToScreen(harness.window, &origin);
    HDC memory = CreateCompatibleDC(nullptr);
    uint32_t* pixels = nullptr;
    HBITMAP bitmap = nullptr;
    bool ok = grabScreen(origin.x, origin.y, width, height, memory, &pixels, &bitmap);
    if (!ok) fail("cannot read the screen");
    if (ok) ok = writeBmp(c.text[0], width, height, pixels);
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    return ok;
}

// ---- common file dialogs ----

enum {
    FILE_NAME_FIELD = 0x47C,      // cmb13: the Explorer-style dialog's file-name box
    OLD_FILE_NAME_FIELD = 0x480,  // edt1: the old-style dialog's
};

HWND fileNameField(HWND dialog) {
    HWND field = GetDlgItem(dialog, FILE_NAME_FIELD);
    return field ? field : GetDlgItem(dialog, OLD_FILE_NAME_FIELD);
}

// A visible dialog of the process under test with a file-name field and an
// OK (Open / Save) button; its caption depends on the prefix's language.
BOOL CALLBACK matchFileDialog(HWND window, LPARAM data) {
    if (!IsWindowVisible(window)) return TRUE;
    wchar_t className[64];
    if (!GetClassNameW(window, className, 64) || lstrcmpW(className, L"#32770") != 0) return TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (!processMatches(process) || !fileNameField(window) || !GetDlgItem(window, IDOK)) return TRUE;
    *(HWND*)data = window;
    return FALSE;
}

bool fileDialogPresent(void* data) {
    HWND* found = (HWND*)data;
    *found = nullptr;
    EnumWindows(matchFileDialog, (LPARAM)found);
    return *found != nullptr;
}

bool runWaitFileDialog(const Command& c) {
    HWND found = nullptr;
    if (!waitFor(c.number[0], fileDialogPresent, &found)) return fail("no file dialog within %d ms", int(c.number[0]));
    harness.window = found;
    return true;
}

BOOL CALLBACK findEdit(HWND child, LPARAM data) {
    wchar_t className[64];
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, L"Edit") != 0) return TRUE;
    *(HWND*)data = child;
    return FALSE;
}

// Puts the path into the name field's edit control, where typing would put
// it; the Explorer-style field is a ComboBoxEx holding a combo box holding it.
bool runFileName(const Command& c) {
    if (!needWindow()) return false;
    HWND field = fileNameField(harness.window);
    if (!field) return fail("the current window is not a file dialog");
    HWND edit = nullptr;
    wchar_t className[64];
    GetClassNameW(field, className, 64);
    if (lstrcmpiW(className, L"Edit") == 0) edit = field;
    else EnumChildWindows(field, findEdit, (LPARAM)&edit);
    if (!edit) return fail("the file-name field has no edit control");
    char path[MAX_PATH * 3];
    wchar_t wide[MAX_PATH * 2];
    windowsPathFromArgument(c.text[0], path, sizeof path);
    toWide(path, wide, MAX_PATH * 2);
    LRESULT result = 0;
    if (!sendQuery(edit, WM_SETTEXT, 0, (LPARAM)wide, &result) || !result) return fail("cannot set the file name");
    return true;
}

// Opens the file without sharing and keeps it open until the harness ends,
// as another program holding it would.
bool runHoldFile(const Command& c) {
    char path[MAX_PATH * 3];
    wchar_t wide[MAX_PATH * 2];
    windowsPathFromArgument(c.text[0], path, sizeof path);
    toWide(path, wide, MAX_PATH * 2);
    HANDLE file = CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail("cannot open '%s' (error %lu)", c.text[0], GetLastError());
    return true;
}

bool runCaption(const Command&) {
    if (!needWindow()) return false;
    wchar_t text[TEXT_SIZE];
    GetWindowTextW(harness.window, text, TEXT_SIZE);
    printWide(text);
    return true;
}

bool runEnabled(const Command& c) {
    HWND control;
    if (!needControl(c.number[0], &control)) return false;
    printNumber(IsWindowEnabled(control) != 0);
    return true;
}

bool runVisible(const Command& c) {
    HWND control;
    if (!needControl(c.number[0], &control)) return false;
    printNumber(IsWindowVisible(control) != 0);
    return true;
}

bool runIconic(const Command&) {
    if (!needWindow()) return false;
    printNumber(IsIconic(harness.window) != 0);
    return true;
}

bool runForeground(const Command&) {
    if (!needWindow()) return false;
    printNumber(GetForegroundWindow() == harness.window);
    return true;
}

bool runCommandMessage(const Command& c) {
    if (!needWindow()) return false;
    return deliver(harness.window, WM_COMMAND, MAKEWPARAM(c.number[0], c.number[1]), (LPARAM)GetDlgItem(harness.window, c.number[0]));
}

bool runClose(const Command&) {
    if (!needWindow()) return false;
    return deliver(harness.window, WM_CLOSE, 0, 0);
}

// What Escape makes the dialog manager send.
bool runCancel(const Command&) {
    if (!needWindow()) return false;
    return deliver(harness.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(harness.window, IDCANCEL));
}

bool runProcess(const Command& c) {
    if (strcmp(c.text[0], "*") == 0) harness.processFilter[0] = 0;
    else toWide(c.text[0], harness.processFilter, MAX_PATH);
    return true;
}

bool runSleep(const Command& c) {
    Sleep(c.number[0]);
    return true;
}

bool runScreensaver(const Command&) {
    BOOL active = FALSE;
    if (!SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) {
        return fail("SPI_GETSCREENSAVEACTIVE failed (error %lu)", GetLastError());
    }
    printNumber(active != 0);
    return true;
}

// The command language; see harness_script.h for the argument patterns.
const CommandSpec COMMANDS[] = {
    {"wait-window", "s?n", DEFAULT_TIMEOUT_MS, runWaitWindow},
    {"wait-gone", "s?n", DEFAULT_TIMEOUT_MS, runWaitGone},
    {"window", "s", 0, runWindow},
    {"caption", "", 0, runCaption},
    {"text", "i", 0, runText},
    {"wait-text", "is?n", DEFAULT_TIMEOUT_MS, runWaitText},
    {"enabled", "i", 0, runEnabled},
    {"wait-enabled", "ib?n", DEFAULT_TIMEOUT_MS, runWaitEnabled},
    {"visible", "i", 0, runVisible},
    {"checked", "i", 0, runChecked},
    {"focus", "", 0, runFocus},
    {"wait-focus", "i?n", DEFAULT_TIMEOUT_MS, runWaitFocus},
    {"iconic", "", 0, runIconic},
    {"foreground", "", 0, runForeground},
    {"minimise", "", 0, runMinimise},
    {"select", "in", 0, runSelect},
    {"items", "i", 0, runItems},
    {"selection", "i", 0, runSelection},
    {"press", "i", 0, runPress},
    {"command", "i?n", 0, runCommandMessage},
    {"check", "ib", 0, runCheck},
    {"close", "", 0, runClose},
    {"cancel", "", 0, runCancel},
    {"process", "s", 0, runProcess},
    {"wait-box", "?n", DEFAULT_TIMEOUT_MS, runWaitBox},
    {"box", "", 0, runBox},
    {"answer", "B", 0, runAnswer},
    {"no-box", "n", 0, runNoBox},
    {"capture", "s!nnnn", 0, runCapture},
    {"sleep", "n", 0, runSleep},
    {"wait-file-dialog", "?n", DEFAULT_TIMEOUT_MS, runWaitFileDialog},
    {"file-name", "s", 0, runFileName},
    {"hold-file", "s", 0, runHoldFile},
    {"watch-text", "ii?n", DEFAULT_TIMEOUT_MS, runWatchText},
    {"screensaver", "", 0, runScreensaver},
};
const int COMMAND_COUNT = sizeof(COMMANDS) / sizeof(COMMANDS[0]);

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    static char pool[ARG_POOL];
    static const char* args[MAX_ARGS];
    int count = 0;
    size_t used = 0;
    for (int i = 1; i < argc; ++i) {
        if (count == MAX_ARGS) {
            fputs("harness: too many arguments\n", stderr);
            return 2;
        }
        int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, pool + used, int(ARG_POOL - used), nullptr, nullptr);
        if (size == 0) {
            fputs("harness: arguments too long\n", stderr);
            return 2;
        }
        args[count++] = pool + used;
        used += size;
    }

    static Script script;
    char error[ERROR_TEXT_SIZE];
    if (!parseScript(count, args, COMMANDS, COMMAND_COUNT, &script, error, sizeof error)) {
        static char usage[4096];
        writeUsage(COMMANDS, COMMAND_COUNT, usage, sizeof usage);
        fprintf(stderr, "harness: %s\n%s", error, usage);
        return 2;
    }
    harness.ownProcess = GetCurrentProcessId();
    for (int i = 0; i < script.count; ++i) {
        harness.command = &script.commands[i];
        if (!harness.command->entry->handler(*harness.command)) return 1;
    }
    return 0;
}
