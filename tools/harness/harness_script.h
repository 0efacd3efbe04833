// The harness's command language: parsing an argument list into a script of
// commands, and the text forms it prints. No windows.h here, so the rules can
// be checked natively.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum CommandKind {
    CMD_WAIT_WINDOW,
    CMD_WAIT_GONE,
    CMD_WINDOW,
    CMD_CAPTION,
    CMD_TEXT,
    CMD_WAIT_TEXT,
    CMD_ENABLED,
    CMD_WAIT_ENABLED,
    CMD_VISIBLE,
    CMD_CHECKED,
    CMD_FOCUS,
    CMD_WAIT_FOCUS,
    CMD_ICONIC,
    CMD_FOREGROUND,
    CMD_MINIMISE,
    CMD_SELECT,
    CMD_ITEMS,
    CMD_SELECTION,
    CMD_PRESS,
    CMD_COMMAND,
    CMD_CHECK,
    CMD_CLOSE,
    CMD_CANCEL,
    CMD_PROCESS,
    CMD_WAIT_BOX,
    CMD_BOX,
    CMD_ANSWER,
    CMD_NO_BOX,
    CMD_CAPTURE,
    CMD_SLEEP,
    CMD_WAIT_FILE_DIALOG,
    CMD_FILE_NAME,
    CMD_HOLD_FILE,
    CMD_WATCH_TEXT,
    CMD_SCREENSAVER,
};

enum {
    MAX_COMMAND_ARGS = 5,
    MAX_SCRIPT_COMMANDS = 64,
    DEFAULT_TIMEOUT_MS = 10000,
    ERROR_TEXT_SIZE = 256,
};

// One parsed command. Every argument keeps its text; those that the command
// takes as numbers are converted into number[] as well (defaults filled in
// for optional numbers that were left out).
struct Command {
    CommandKind kind;
    const char* name;
    int argCount;
    const char* text[MAX_COMMAND_ARGS];
    int32_t number[MAX_COMMAND_ARGS];
};

struct Script {
    Command commands[MAX_SCRIPT_COMMANDS];
    int count;
};

// argv holds the arguments after the program name, in UTF-8; commands are
// separated by a lone "--". On failure writes a one-line reason into error.
// The script points into argv, which must outlive it.
bool parseScript(int argc, const char* const* argv, Script* script, char* error, size_t errorSize);

// The usage text printed on a usage error.
const char* usageText();

// Copies text into out with line breaks and tabs written as the two
// characters \n, \r and \t, so that every result is one line. Always
// terminates out; returns false if it had to cut the text.
bool escapeText(const char* text, char* out, size_t outSize);

// Message-box buttons by their command identifiers (IDOK = 1 ... IDCONTINUE = 11).
const char* buttonName(int id);       // null when id names no box button
int buttonIdByName(const char* name); // case-insensitive; 0 when unknown

// Numbers as the command line writes them: decimal, 0x-hex, or -1 (the
// platform's static-control identifier, taken as 0xFFFF).
bool parseControlId(const char* text, int32_t* out);
bool parseCount(const char* text, int32_t* out);

// A Unix path ("/...") becomes the same file through Wine's drive Z:; other
// paths are returned unchanged.
void windowsPathFromArgument(const char* path, char* out, size_t outSize);

// The 54-byte header of a bottom-up 24-bit BMP file of the given size; rows
// are padded to 4 bytes, as bmpRowBytes tells.
uint32_t bmpRowBytes(uint32_t width);
void bmpHeader(uint32_t width, uint32_t height, uint8_t out[54]);
