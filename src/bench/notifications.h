// What a running benchmark tells the main window. The worker calls these on
// its own thread; they only leave what they say for the window, which takes
// it at its next drain, and none of them waits for it (ui/dialog_logic.h).
// A measured cylinder needs no word of its own: the window learns of it from
// tracksDone.
#pragma once
#include <stdint.h>

// The status line's newest text.
void statusText(const char* text);

// The run is over: the window shows its last line and cylinders, clears the
// run flag and restores the controls, Start last. The worker's last act on
// the window and on the run flag.
void runEnded(bool anyTrackRead);
