// The chart's drawing operations (chart_win32.cpp).
#pragma once
#include <stdint.h>

#include "app/app_state.h"

#define IDC_CHART_FRAME_ID 108

void createChartFont();
void drawChartBackground();
void plotTrackSpeed(uint32_t track);
// Asks the window to repaint the chart area from the surface.
void requestChartRepaint(void* window);
// Asks it to repaint only what plotting cylinder `track` changed.
void requestSegmentRepaint(void* window, uint32_t track);
#ifdef _WIN32
#include <windows.h>
void captureChartLayout(HWND dialog);
void createChartSurface(HWND dialog);
void paintMainWindow(HWND dialog);
#endif
