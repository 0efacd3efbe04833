// The results file: one "%u %u\r\n" line per measured cylinder of the last run.
#pragma once
#include <stdint.h>

#include "app/boxes.h"

#define RESULTS_LINE_SIZE 32

// Formats the line of one cylinder; returns its length without the zero.
int formatResultsLine(char out[RESULTS_LINE_SIZE], uint32_t cylinder, uint32_t speed);

struct ResultsFileOps {
    // Asks the user for a path; false when cancelled or failed.
    bool (*askPath)(void* owner, char* path, uint32_t size);
    // Opens for writing, emptying or creating it; HANDLE_INVALID on failure.
    intptr_t (*create)(const char* path);
    bool (*write)(intptr_t file, const char* bytes, uint32_t length);
    void (*close)(intptr_t file);
    uint32_t (*lastError)();
    int32_t (*showBox)(void* owner, const char* text, const char* caption, uint32_t style);
};

// Writes app.trackSpeeds[0 .. app.tracksDone - 1].
void saveResultsWith(const ResultsFileOps& ops, void* owner);

// The Win32-bound entry (results_file_win32.cpp).
void saveResults(void* window);
