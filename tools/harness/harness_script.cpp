#include "harness_script.h"

#include <stdio.h>
#include <string.h>

namespace {

// Argument kinds in a pattern: s text, i control id, n count (milliseconds,
// index, pixels), b 0 or 1, B a box button name. Arguments after '?' are
// optional; a left-out number takes the shape's default.
struct CommandShape {
    const char* name;
    CommandKind kind;
    const char* pattern;
    int32_t defaultNumber;
};

const CommandShape SHAPES[] = {
    {"wait-window", CMD_WAIT_WINDOW, "s?n", DEFAULT_TIMEOUT_MS},
    {"wait-gone", CMD_WAIT_GONE, "s?n", DEFAULT_TIMEOUT_MS},
    {"window", CMD_WINDOW, "s", 0},
    {"caption", CMD_CAPTION, "", 0},
    {"text", CMD_TEXT, "i", 0},
    {"wait-text", CMD_WAIT_TEXT, "is?n", DEFAULT_TIMEOUT_MS},
    {"enabled", CMD_ENABLED, "i", 0},
    {"wait-enabled", CMD_WAIT_ENABLED, "ib?n", DEFAULT_TIMEOUT_MS},
    {"visible", CMD_VISIBLE, "i", 0},
    {"checked", CMD_CHECKED, "i", 0},
    {"focus", CMD_FOCUS, "", 0},
    {"wait-focus", CMD_WAIT_FOCUS, "i?n", DEFAULT_TIMEOUT_MS},
    {"iconic", CMD_ICONIC, "", 0},
    {"foreground", CMD_FOREGROUND, "", 0},
    {"minimise", CMD_MINIMISE, "", 0},
    {"select", CMD_SELECT, "in", 0},
    {"items", CMD_ITEMS, "i", 0},
    {"selection", CMD_SELECTION, "i", 0},
    {"press", CMD_PRESS, "i", 0},
    {"command", CMD_COMMAND, "i?n", 0},
    {"check", CMD_CHECK, "ib", 0},
    {"close", CMD_CLOSE, "", 0},
    {"cancel", CMD_CANCEL, "", 0},
    {"process", CMD_PROCESS, "s", 0},
    {"wait-box", CMD_WAIT_BOX, "?n", DEFAULT_TIMEOUT_MS},
    {"box", CMD_BOX, "", 0},
    {"answer", CMD_ANSWER, "B", 0},
    {"no-box", CMD_NO_BOX, "n", 0},
    {"capture", CMD_CAPTURE, "s?nnnn", 0},
    {"sleep", CMD_SLEEP, "n", 0},
    {"wait-file-dialog", CMD_WAIT_FILE_DIALOG, "?n", DEFAULT_TIMEOUT_MS},
    {"file-name", CMD_FILE_NAME, "s", 0},
    {"hold-file", CMD_HOLD_FILE, "s", 0},
    {"watch-text", CMD_WATCH_TEXT, "ii?n", DEFAULT_TIMEOUT_MS},
    {"screensaver", CMD_SCREENSAVER, "", 0},
};

const char* const BUTTON_NAMES[] = {
    nullptr, "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No", "Close", "Help", "TryAgain", "Continue",
};
const int BUTTON_NAME_COUNT = sizeof(BUTTON_NAMES) / sizeof(BUTTON_NAMES[0]);

const CommandShape* findShape(const char* name) {
    for (const CommandShape& shape : SHAPES) {
        if (strcmp(shape.name, name) == 0) return &shape;
    }
    return nullptr;
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? char(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? char(*b - 'A' + 'a') : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

// Digits only, decimal or 0x-hex, at most 0x7FFFFFFF.
bool parseUnsigned(const char* text, int32_t* out) {
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (*text == 0) return false;
    int64_t value = 0;
    for (; *text; ++text) {
        int digit;
        if (*text >= '0' && *text <= '9') digit = *text - '0';
        else if (base == 16 && *text >= 'a' && *text <= 'f') digit = *text - 'a' + 10;
        else if (base == 16 && *text >= 'A' && *text <= 'F') digit = *text - 'A' + 10;
        else return false;
        value = value * base + digit;
        if (value > 0x7FFFFFFF) return false;
    }
    *out = int32_t(value);
    return true;
}

bool parseArgument(char kind, const char* text, int32_t* number) {
    switch (kind) {
    case 'i': return parseControlId(text, number);
    case 'n': return parseCount(text, number);
    case 'b':
        if (strcmp(text, "0") != 0 && strcmp(text, "1") != 0) return false;
        *number = text[0] - '0';
        return true;
    case 'B':
        *number = buttonIdByName(text);
        return *number != 0;
    default: return true;
    }
}

const char* kindDescription(char kind) {
    switch (kind) {
    case 'i': return "a control id";
    case 'n': return "a non-negative number";
    case 'b': return "0 or 1";
    case 'B': return "a button name (OK, Cancel, Abort, Retry, Ignore, Yes, No, Close, Help, TryAgain, Continue)";
    default: return "a text";
    }
}

// Parses argv[first, last) as one command.
bool parseCommand(const char* const* argv, int first, int last, Command* command, char* error, size_t errorSize) {
    const CommandShape* shape = findShape(argv[first]);
    if (!shape) {
        snprintf(error, errorSize, "unknown command '%s'", argv[first]);
        return false;
    }
    command->kind = shape->kind;
    command->name = shape->name;
    command->argCount = last - first - 1;
    int required = 0;
    int allowed = 0;
    bool optional = false;
    char kinds[MAX_COMMAND_ARGS];
    for (const char* p = shape->pattern; *p; ++p) {
        if (*p == '?') {
            optional = true;
            continue;
        }
        kinds[allowed++] = *p;
        if (!optional) ++required;
    }
    if (command->argCount < required || command->argCount > allowed) {
        snprintf(error, errorSize, "'%s' takes %d to %d arguments, got %d", shape->name, required, allowed, command->argCount);
        return false;
    }
    // A rectangle is all four numbers or none.
    if (shape->kind == CMD_CAPTURE && command->argCount != 1 && command->argCount != 5) {
        snprintf(error, errorSize, "'capture' takes a file and optionally x y width height");
        return false;
    }
    for (int k = 0; k < allowed; ++k) {
        command->text[k] = nullptr;
        command->number[k] = shape->defaultNumber;
        if (k >= command->argCount) continue;
        command->text[k] = argv[first + 1 + k];
        if (!parseArgument(kinds[k], command->text[k], &command->number[k])) {
            snprintf(error, errorSize, "'%s' argument %d ('%s') must be %s", shape->name, k + 1, command->text[k], kindDescription(kinds[k]));
            return false;
        }
    }
    return true;
}

}  // namespace

bool parseScript(int argc, const char* const* argv, Script* script, char* error, size_t errorSize) {
    script->count = 0;
    if (argc == 0) {
        snprintf(error, errorSize, "no command given");
        return false;
    }
    int first = 0;
    for (int i = 0; i <= argc; ++i) {
        if (i < argc && strcmp(argv[i], "--") != 0) continue;
        if (i == first) {
            snprintf(error, errorSize, "empty command at argument %d", i + 1);
            return false;
        }
        if (script->count == MAX_SCRIPT_COMMANDS) {
            snprintf(error, errorSize, "more than %d commands", int(MAX_SCRIPT_COMMANDS));
            return false;
        }
        if (!parseCommand(argv, first, i, &script->commands[script->count], error, errorSize)) return false;
        ++script->count;
        first = i + 1;
    }
    return true;
}

const char* usageText() {
    return "usage: harness COMMAND [ARGS] [-- COMMAND [ARGS]]...\n"
           "Commands run in order; the first that fails ends the run (exit 1).\n"
           "Window (sets the current window for the control commands):\n"
           "  wait-window CAPTION [MS]   wait for a visible top-level window\n"
           "  window CAPTION             the same, without waiting\n"
           "  wait-gone CAPTION [MS]     wait until no such window is visible\n"
           "  caption | iconic | foreground | focus | minimise | close | cancel\n"
           "Controls of the current window (ID decimal, 0x-hex or -1):\n"
           "  text ID | enabled ID | visible ID | checked ID | items ID | selection ID\n"
           "  wait-text ID TEXT [MS] | wait-enabled ID 0|1 [MS] | wait-focus ID [MS] | watch-text ID UNTIL_ID [MS]\n"
           "  press ID | command ID [CODE] | check ID 0|1 | select ID INDEX\n"
           "Message boxes:\n"
           "  process EXE   only boxes of processes with this image name\n"
           "  wait-box [MS] | box | answer BUTTON | no-box MS\n"
           "Common file dialogs (Open, Save As):\n"
           "  wait-file-dialog [MS] | file-name PATH   (then press 1 to confirm)\n"
           "Other: capture FILE [X Y W H] | hold-file PATH | screensaver | clock | sleep MS\n"
           "Default wait: 10000 ms. Texts print with \\n, \\r and \\t escaped.\n";
}

bool escapeText(const char* text, char* out, size_t outSize) {
    if (outSize == 0) return false;
    size_t used = 0;
    for (; *text; ++text) {
        char escape = 0;
        if (*text == '\n') escape = 'n';
        else if (*text == '\r') escape = 'r';
        else if (*text == '\t') escape = 't';
        size_t need = escape ? 2 : 1;
        if (used + need >= outSize) {
            out[used] = 0;
            return false;
        }
        if (escape) {
            out[used++] = '\\';
            out[used++] = escape;
        } else {
            out[used++] = *text;
        }
    }
    out[used] = 0;
    return true;
}

const char* buttonName(int id) {
    if (id <= 0 || id >= BUTTON_NAME_COUNT) return nullptr;
    return BUTTON_NAMES[id];
}

int buttonIdByName(const char* name) {
    for (int id = 1; id < BUTTON_NAME_COUNT; ++id) {
        if (equalsIgnoringCase(name, BUTTON_NAMES[id])) return id;
    }
    return 0;
}

bool parseControlId(const char* text, int32_t* out) {
    if (strcmp(text, "-1") == 0) {
        *out = 0xFFFF;
        return true;
    }
    return parseUnsigned(text, out) && *out <= 0xFFFF;
}

bool parseCount(const char* text, int32_t* out) {
    return parseUnsigned(text, out);
}

void windowsPathFromArgument(const char* path, char* out, size_t outSize) {
    if (outSize == 0) return;
    size_t used = 0;
    bool unixPath = path[0] == '/' && outSize > 2;
    if (unixPath) {
        out[used++] = 'Z';
        out[used++] = ':';
    }
    for (; *path && used + 1 < outSize; ++path) {
        out[used++] = (unixPath && *path == '/') ? '\\' : *path;
    }
    out[used] = 0;
}

uint32_t bmpRowBytes(uint32_t width) {
    return (width * 3 + 3) & ~3u;
}

void bmpHeader(uint32_t width, uint32_t height, uint8_t out[54]) {
    memset(out, 0, 54);
    uint32_t imageBytes = bmpRowBytes(width) * height;
    auto put32 = [out](int at, uint32_t v) {
        for (int k = 0; k < 4; ++k) out[at + k] = uint8_t(v >> (8 * k));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, 54 + imageBytes);  // file size
    put32(10, 54);              // pixel data offset
    put32(14, 40);              // BITMAPINFOHEADER size
    put32(18, width);
    put32(22, height);  // positive: rows bottom-up
    out[26] = 1;        // planes
    out[28] = 24;       // bits per pixel
    put32(34, imageBytes);
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
}
