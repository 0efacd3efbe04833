// What a running benchmark tells the main window. The worker calls these on
// its own thread and none of them waits for the window (dialog_logic.h).
#pragma once
#include <stdint.h>

// The status line's newest text.
void statusText(const char* text);

// Cylinder `track` has its speed stored; it counts as done once tracksDone
// passes it.
void trackMeasured(uint32_t track);

// The run is over: the window shows its last line and cylinders, clears the
// run flag and restores the controls, Start last. The worker's last act on
// the window and on the run flag.
void runEnded(bool anyTrackRead);
