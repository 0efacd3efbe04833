// The system's message box, the one way every part of the program shows a
// box. The logic reaches it through a ShowBoxFn in its operation table;
// boxes_win32.cpp is the binding.
#pragma once
#include <stdint.h>

// A modal box with the caption "Platterscope", owned by owner (null: no
// owner); returns the identifier of the button pressed (BOX_ANSWER_*).
typedef int32_t (*ShowBoxFn)(void* owner, const char* text, uint32_t style);

int32_t showBox(void* owner, const char* text, uint32_t style);

// The box of a failed allocation, wherever one fails.
#define OUT_OF_MEMORY_TEXT "Out of memory!"
// The same with a caption of its own (the results file has one).
int32_t showBoxCaptioned(void* owner, const char* text, const char* caption, uint32_t style);
