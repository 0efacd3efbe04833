// What a running benchmark tells the main window. The worker calls these on
// its own thread; the main dialog implements them by posting each to its own
// thread and returning at once, so the worker never waits for the window.
#pragma once
#include <stdint.h>

// Show the text in the status line.
void statusText(const char* text);

// Cylinder `track` has its speed stored: draw its curve segment and repaint.
void trackMeasured(uint32_t track);

// The run is over: clear the run flag and restore the controls, Start last.
// The worker's last act on the window and on the run flag.
void runEnded(bool anyTrackRead);
