#include "harness_script.h"

#include <stdio.h>
#include <string.h>

namespace {

const char* const BUTTON_NAMES[] = {
    nullptr, "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No", "Close", "Help", "TryAgain", "Continue",
};
const int BUTTON_NAME_COUNT = sizeof(BUTTON_NAMES) / sizeof(BUTTON_NAMES[0]);

const CommandSpec* findSpec(const CommandSpec* table, int count, const char* name) {
    for (int k = 0; k < count; ++k) {
        if (strcmp(table[k].name, name) == 0) return &table[k];
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
bool parseCommand(const char* const* argv, int first, int last, const CommandSpec* table, int count, Command* command,
                  char* error, size_t errorSize) {
    const CommandSpec* entry = findSpec(table, count, argv[first]);
    if (!entry) {
        snprintf(error, errorSize, "unknown command '%s'", argv[first]);
        return false;
    }
    command->entry = entry;
    command->argCount = last - first - 1;
    int required = -1;
    int allowed = 0;
    bool together = false;
    char kinds[MAX_COMMAND_ARGS];
    for (const char* p = entry->arguments; *p; ++p) {
        if (*p == '?' || *p == '!') {
            required = allowed;
            together = *p == '!';
            continue;
        }
        kinds[allowed++] = *p;
    }
    if (required < 0) required = allowed;
    bool fits = command->argCount >= required && command->argCount <= allowed;
    if (together && command->argCount != required && command->argCount != allowed) fits = false;
    if (!fits) {
        snprintf(error, errorSize, "'%s' takes %d %s %d arguments, got %d", entry->name, required, together ? "or" : "to",
                 allowed, command->argCount);
        return false;
    }
    for (int k = 0; k < allowed; ++k) {
        command->text[k] = nullptr;
        command->number[k] = entry->defaultNumber;
        if (k >= command->argCount) continue;
        command->text[k] = argv[first + 1 + k];
        if (!parseArgument(kinds[k], command->text[k], &command->number[k])) {
            snprintf(error, errorSize, "'%s' argument %d ('%s') must be %s", entry->name, k + 1, command->text[k],
                     kindDescription(kinds[k]));
            return false;
        }
    }
    return true;
}

const char* kindPlaceholder(char kind) {
    switch (kind) {
    case 'i': return "ID";
    case 'n': return "N";
    case 'b': return "0|1";
    case 'B': return "BUTTON";
    default: return "TEXT";
    }
}

}  // namespace

bool parseScript(int argc, const char* const* argv, const CommandSpec* table, int count, Script* script,
                 char* error, size_t errorSize) {
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
        if (!parseCommand(argv, first, i, table, count, &script->commands[script->count], error, errorSize)) return false;
        ++script->count;
        first = i + 1;
    }
    return true;
}

void writeUsage(const CommandSpec* table, int count, char* out, size_t outSize) {
    size_t used = 0;
    auto put = [&](const char* text) {
        int wrote = snprintf(out + used, outSize - used, "%s", text);
        if (wrote > 0) used += size_t(wrote) < outSize - used ? size_t(wrote) : outSize - used - 1;
    };
    if (outSize == 0) return;
    out[0] = 0;
    put("usage: harness COMMAND [ARGS] [-- COMMAND [ARGS]]...\n"
        "Commands run in order; the first that fails ends the run (exit 1).\n"
        "ID is decimal, 0x-hex or -1 (the static id); N a number (milliseconds: default 10000).\n"
        "Texts print with \\n, \\r and \\t escaped. Commands (tools/harness/README.md):\n");
    for (int k = 0; k < count; ++k) {
        put("  ");
        put(table[k].name);
        char optional = 0;  // '?' or '!' once the optional arguments begin
        for (const char* p = table[k].arguments; *p; ++p) {
            if (*p == '?' || *p == '!') {
                optional = *p;
                if (optional == '!') put(" [");
                continue;
            }
            put(optional == '?' ? " [" : (optional == '!' && p[-1] == '!') ? "" : " ");
            put(kindPlaceholder(*p));
            if (optional == '?') put("]");
        }
        if (optional == '!') put("]");
        put("\n");
    }
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
