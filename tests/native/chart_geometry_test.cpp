#include <gtest/gtest.h>

#include "ui/chart_geometry.h"

namespace {

const int32_t H = 267;

PartitionEntry entry(uint8_t type, uint32_t startCylinder, uint32_t endCylinder) {
    PartitionEntry e = {};
    e.bytes[4] = type;
    e.bytes[2] = (uint8_t)(((startCylinder >> 2) & 0xC0) | 1);
    e.bytes[3] = (uint8_t)startCylinder;
    e.bytes[6] = (uint8_t)(((endCylinder >> 2) & 0xC0) | 63);
    e.bytes[7] = (uint8_t)endCylinder;
    return e;
}

// Where the pixels fall is the Win32-layer chart tests' business
// (tests/wine/chart_win32_test.cpp); these are the edges they cannot reach.
TEST(ChartCurve, SpeedRowsAndClamping) {
    EXPECT_EQ(curvePoint(H, 0, 0).y, H - 5);
    EXPECT_EQ(curvePoint(H, 0, 79).y, H - 5);
    EXPECT_EQ(curvePoint(H, 0, 80).y, H - 6);
    const uint32_t q0 = (uint32_t)(H - 5);
    EXPECT_EQ(curvePoint(H, 0, q0 * 80).y, 0);
    EXPECT_EQ(curvePoint(H, 0, (q0 - 4) * 80).y, 4);
    EXPECT_EQ(curvePoint(H, 0, (q0 + 1) * 80).y, 5);
    EXPECT_EQ(curvePoint(H, 0, 0xFFFFFFFFu).y, 5);
}

TEST(ChartBands, WholeDiskAndPartitionEdges) {
    ChartBox disk = wholeDiskBand(H, 1024);
    EXPECT_EQ(disk.left, 5);
    EXPECT_EQ(disk.top, H - 230);
    EXPECT_EQ(disk.right, 517);
    EXPECT_EQ(disk.bottom, H - 4);
    ChartBox last = partitionBand(H, entry(0x83, 1000, 1023));
    EXPECT_EQ(last.left, 505);
    EXPECT_EQ(last.right, 518);
    ChartBox first = partitionBand(H, entry(0x06, 0, 0));
    EXPECT_EQ(first.left, 5);
    EXPECT_EQ(first.right, 6);
    // A drive too large for the chart still yields a band; drawing clips it.
    EXPECT_EQ(wholeDiskBand(H, 10000).right, 5005);
    EXPECT_EQ(wholeDiskBand(H, 4294967295u).right, 32767);  // within 95's 16-bit coordinates
}

// A drain asks to repaint only the box its segments cover: a step that
// stays in one pixel column (two cylinders a pixel) still covers that
// column, or it would never reach the screen.
TEST(ChartSegments, AStepWithinOneColumnStillCoversItsPixels) {
    volatile uint32_t speeds[MAX_TRACKS] = {};
    speeds[2] = speeds[3] = 800;
    const ChartBox b = segmentsBox(H, 3, 3, speeds);
    EXPECT_EQ(b.left, 6);
    EXPECT_EQ(b.right, 7);
    EXPECT_EQ(b.top, curvePoint(H, 3, 800).y);
    EXPECT_EQ(b.bottom, b.top + 1);
    // The first cylinder only moves the pen: nothing to repaint.
    const ChartBox none = segmentsBox(H, 0, 0, speeds);
    EXPECT_EQ(none.right, none.left);
}

TEST(ChartBands, TypeColours) {
    const struct {
        uint8_t type;
        int legend;
    } cases[] = {{0x01, 0}, {0x04, 0}, {0x06, 0}, {0x0B, 1}, {0x07, 2}, {0x05, 3}, {0x00, 4},
                 {0xA5, 5}, {0x82, 6}, {0x83, 6}, {0x0C, 7}, {0x0F, 7}, {0x85, 7}, {0xFF, 7}};
    for (const auto& c : cases) EXPECT_EQ(legendIndexOfType(c.type), c.legend) << (int)c.type;
    EXPECT_EQ(LEGEND_COLOURS[0], RGB_COLOUR(182, 248, 208));  // FAT
    EXPECT_EQ(LEGEND_COLOURS[LEGEND_OTHER], RGB_COLOUR(214, 214, 255));
}

}  // namespace
