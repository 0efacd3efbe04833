// Where everything on the chart lies, in pixels of the chart surface (origin
// top-left, y downward). The GDI layer (chart_win32.cpp) draws what these say.
#pragma once
#include <stdint.h>

#include "app/app_state.h"

struct ChartPoint {
    int32_t x, y;
};

// The blank rim between the surface's edge and the axes, the grid's ends
// and the curve's origin, on every side.
#define CHART_MARGIN 5

#define CHART_BACKGROUND_RGB RGB_COLOUR(245, 245, 245)
#define CHART_CURVE_RGB RGB_COLOUR(255, 0, 0)
#define SPEED_GRID_LINES 9
#define CYLINDER_GRID_LINES 5
#define LEGEND_OTHER 7

// Fill colours of the legend swatches, in the order of their controls
// (IDC_LEGEND_FIRST on), 0x00BBGGRR as the platform's COLORREF: FAT, FAT32,
// NTFS, free extended, empty, BSD, Linux, other.
extern const uint32_t LEGEND_COLOURS[LEGEND_COUNT];

// Legend index (0..7) of a partition type; every unknown type is "other".
int legendIndexOfType(uint8_t type);

ChartBox wholeDiskBand(int32_t height, uint32_t cylinders);
ChartBox partitionBand(int32_t height, const PartitionEntry& entry);

// The axes run from the origin (CHART_MARGIN, H - CHART_MARGIN) to the
// right and to the top margins.
// Horizontal dotted line i (1..9): from the left margin to the right one.
int32_t speedGridRow(int32_t height, int i);
ChartPoint speedLabelPlace(int32_t width, int32_t height, int i);
uint32_t speedLabelValue(int i);
// Vertical dotted line j (1..5): from the bottom margin to the top one.
int32_t cylinderGridColumn(int j);
ChartPoint cylinderLabelPlace(int j);
uint32_t cylinderLabelValue(int j);

// Where cylinder `track` with this speed is plotted.
ChartPoint curvePoint(int32_t height, uint32_t track, uint32_t speed);

// The pixels that plotting cylinder `track` (> 0) changes: the segment from
// the previous cylinder's point to its own, both points included.
ChartBox segmentBox(int32_t height, uint32_t track, uint32_t previousSpeed, uint32_t speed);
// The pixels that plotting cylinders `first` to `last` changes, from their
// speeds in `speeds` (MAX_TRACKS of them); an empty box (right == left) when
// none of them draws a segment.
ChartBox segmentsBox(int32_t height, uint32_t first, uint32_t last, const volatile uint32_t* speeds);
