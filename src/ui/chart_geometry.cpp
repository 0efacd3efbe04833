#include "ui/chart_geometry.h"

const uint32_t LEGEND_COLOURS[LEGEND_COUNT] = {
    RGB_COLOUR(182, 248, 208), RGB_COLOUR(182, 248, 121), RGB_COLOUR(255, 205, 233), RGB_COLOUR(80, 128, 179),
    RGB_COLOUR(182, 184, 184), RGB_COLOUR(221, 207, 179), RGB_COLOUR(236, 235, 134), RGB_COLOUR(214, 214, 255)};

int legendIndexOfType(uint8_t type) {
    switch (type) {
    case 0x01: case 0x04: case 0x06: return 0;
    case 0x0B: return 1;
    case 0x07: return 2;
    case 0x05: return 3;
    case 0x00: return 4;
    case 0xA5: return 5;
    case 0x82: case 0x83: return 6;
    default: return LEGEND_OTHER;
    }
}

// Two cylinders per pixel, the band between the axis row and row H - 230.
// A band that runs off the surface ends at 32767: Windows 95 keeps only 16
// bits of a coordinate, so a larger right edge would wrap and lose the band.
ChartBox wholeDiskBand(int32_t height, uint32_t cylinders) {
    const uint32_t right = cylinders / 2 + CHART_MARGIN;
    return ChartBox{CHART_MARGIN, height - 230, right < 32767u ? (int32_t)right : 32767, height - CHART_MARGIN + 1};
}

ChartBox partitionBand(int32_t height, const PartitionEntry& entry) {
    const uint32_t start = partitionStartCylinder(entry), end = partitionEndCylinder(entry);
    return ChartBox{(int32_t)(start / 2 + CHART_MARGIN), height - 230, (int32_t)((end + 1) / 2 + CHART_MARGIN + 1),
                    height - CHART_MARGIN + 1};
}

int32_t speedGridRow(int32_t height, int i) { return height - 25 * i - CHART_MARGIN; }
ChartPoint speedLabelPlace(int32_t width, int32_t height, int i) { return ChartPoint{width - 45, height - 25 * i - 12}; }
uint32_t speedLabelValue(int i) { return 2000u * (uint32_t)i; }
int32_t cylinderGridColumn(int j) { return 100 * j + CHART_MARGIN; }
ChartPoint cylinderLabelPlace(int j) { return ChartPoint{100 * j - 15, 5}; }
uint32_t cylinderLabelValue(int j) { return 200u * (uint32_t)j; }

ChartPoint curvePoint(int32_t height, uint32_t track, uint32_t speed) {
    uint32_t q = speed / 80;  // 80 kB/s per pixel
    int32_t y = (int32_t)((uint32_t)height - q - CHART_MARGIN);
    // Off the top: pinned a little below it, where the frame leaves room.
    if (y < 0) y = CHART_MARGIN;
    return ChartPoint{(int32_t)(track / 2 + CHART_MARGIN), y};
}

ChartBox segmentsBox(int32_t height, uint32_t first, uint32_t last, const volatile uint32_t* speeds) {
    ChartBox all{0, 0, 0, 0};
    bool any = false;
    for (uint32_t t = first == 0 ? 1 : first; t <= last && t < MAX_TRACKS; ++t) {
        const ChartBox b = segmentBox(height, t, speeds[t - 1], speeds[t]);
        if (!any || b.left < all.left) all.left = b.left;
        if (!any || b.top < all.top) all.top = b.top;
        if (!any || b.right > all.right) all.right = b.right;
        if (!any || b.bottom > all.bottom) all.bottom = b.bottom;
        any = true;
    }
    return all;
}

ChartBox segmentBox(int32_t height, uint32_t track, uint32_t previousSpeed, uint32_t speed) {
    const ChartPoint from = curvePoint(height, track - 1, previousSpeed), to = curvePoint(height, track, speed);
    return ChartBox{from.x < to.x ? from.x : to.x, from.y < to.y ? from.y : to.y, (from.x > to.x ? from.x : to.x) + 1,
                    (from.y > to.y ? from.y : to.y) + 1};
}
