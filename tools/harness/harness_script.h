// The harness's command language: parsing an argument list into a script of
// commands, and the text forms it prints. No windows.h here, so the rules can
// be checked natively.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
    MAX_COMMAND_ARGS = 5,
    MAX_SCRIPT_COMMANDS = 64,
    DEFAULT_TIMEOUT_MS = 10000,
    ERROR_TEXT_SIZE = 256,
};

struct Command;
typedef bool (*CommandHandler)(const Command& command);

// One command of the language. The arguments are a pattern of kinds: s text,
// i control id, n count (milliseconds, index, pixels), b 0 or 1, B a box
// button name. Those after '?' may each be left out; those after '!' come
// all together or not at all. A left-out number takes defaultNumber.
struct CommandSpec {
    const char* name;
    const char* arguments;
    int32_t defaultNumber;
    CommandHandler handler;
};

// One parsed command. Every argument keeps its text; those that the command
// takes as numbers are converted into number[] as well (defaults filled in
// for optional numbers that were left out).
struct Command {
    const CommandSpec* entry;
    int argCount;
    const char* text[MAX_COMMAND_ARGS];
    int32_t number[MAX_COMMAND_ARGS];
};

struct Script {
    Command commands[MAX_SCRIPT_COMMANDS];
    int count;
};

// argv holds the arguments after the program name, in UTF-8; commands are
// separated by a lone "--" and named as in the table of count specs. On
// failure writes a one-line reason into error. The script points into argv
// and the table, which must outlive it.
bool parseScript(int argc, const char* const* argv, const CommandSpec* table, int count, Script* script,
                 char* error, size_t errorSize);

// The usage text printed on a usage error: the commands of the table with
// their arguments.
void writeUsage(const CommandSpec* table, int count, char* out, size_t outSize);

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
