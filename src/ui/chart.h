// The chart's drawing operations (chart_win32.cpp). Windows are passed as
// opaque pointers, so that this header needs no windows.h.
#pragma once
#include <stdint.h>

#include "app/app_state.h"

void createChartFont();
void captureChartLayout(void* dialog);
void createChartSurface(void* dialog);
void drawChartBackground();
// The curve segments of cylinders `first` to `last` (first == last: one
// cylinder's), drawn on from the surface's current position with one pen for
// them all, so that a drain costs one pen however many cylinders it plots.
void plotTrackSpeeds(uint32_t first, uint32_t last);
void paintMainWindow(void* dialog);
// Asks the window to repaint the chart area from the surface.
void requestChartRepaint(void* window);
// Asks it to repaint only what plotting cylinders `first` to `last` changed.
void requestSegmentsRepaint(void* window, uint32_t first, uint32_t last);
