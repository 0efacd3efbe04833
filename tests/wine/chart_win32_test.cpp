// The chart's GDI layer under Wine: what drawChartBackground and
// plotTrackSpeeds leave on the off-screen surface, read back pixel by pixel,
// and what paintMainWindow puts into the window. The surface is 576 x 267,
// the size of the chart area in the dialog at 96 dpi.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "bench/notifications.h"
#include "drive/disk_ops.h"
#include "ui/chart.h"
#include "ui/chart_geometry.h"
#include "ui/main_dialog.h"

namespace {

const int W = 576, H = 267;
const int TOP = H - 230;   // top outline row of every band, and the ninth grid line
const int AXIS = H - 5;    // horizontal axis row, bottom outline row of the bands
const int MIDDLE = 150;    // a row inside the bands between two grid lines

const COLORREF BACKGROUND = RGB(245, 245, 245);
const COLORREF BLACK = RGB(0, 0, 0);
const COLORREF RED = RGB(255, 0, 0);
const COLORREF FAT = RGB(182, 248, 208), FAT32 = RGB(182, 248, 121), NTFS = RGB(255, 205, 233);
const COLORREF LINUX = RGB(236, 235, 134), OTHER = RGB(214, 214, 255);

// The four 3-D colours get distinct values of the test's own, so that a
// frame drawn with the wrong one shows.
const int FRAME_ELEMENTS[4] = {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT};
const COLORREF TEST_COLOURS[4] = {RGB(90, 60, 30), RGB(250, 240, 120), RGB(20, 40, 110), RGB(200, 160, 220)};
const COLORREF SHADOW = TEST_COLOURS[0], HIGHLIGHT = TEST_COLOURS[1], DARK = TEST_COLOURS[2], LIGHT = TEST_COLOURS[3];

// A copy of a device context's pixels, read in one block.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> bits;
    COLORREF at(int x, int y) const {
        uint32_t v = bits[(size_t)y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // Rows of column x (or columns of row y) in [from, to] with this colour.
    std::vector<int> rowsOf(int x, COLORREF colour, int from = 0, int to = -1) const {
        std::vector<int> rows;
        for (int y = from; y <= (to < 0 ? height - 1 : to); ++y)
            if (at(x, y) == colour) rows.push_back(y);
        return rows;
    }
    std::set<COLORREF> coloursInRow(int y, int fromX, int toX) const {
        std::set<COLORREF> seen;
        for (int x = fromX; x <= toX; ++x) seen.insert(at(x, y));
        return seen;
    }
    int count(COLORREF colour) const {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += at(x, y) == colour;
        return n;
    }
};

Pixels snapshot(HDC source, int x, int y, int width, int height) {
    Pixels out;
    out.width = width;
    out.height = height;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    out.bits.assign((uint32_t*)bits, (uint32_t*)bits + (size_t)width * height);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    return out;
}

Pixels surfacePixels() { return snapshot((HDC)app.chartSurface, 0, 0, W, H); }

std::string hex(COLORREF c) {
    char text[16];
    snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}
// A failed check names the place and both colours as #RRGGBB.
#define EXPECT_COLOUR(pixels, x, y, colour) \
    EXPECT_EQ(hex((pixels).at(x, y)), hex(colour)) << "at (" << (x) << ", " << (y) << ")"

PartitionEntry entry(uint8_t type, uint32_t startCylinder, uint32_t endCylinder) {
    PartitionEntry e = {};
    e.bytes[1] = 1;
    e.bytes[2] = (uint8_t)(((startCylinder >> 2) & 0xC0) | 1);
    e.bytes[3] = (uint8_t)startCylinder;
    e.bytes[4] = type;
    e.bytes[5] = 15;
    e.bytes[6] = (uint8_t)(((endCylinder >> 2) & 0xC0) | 63);
    e.bytes[7] = (uint8_t)endCylinder;
    return e;
}

LRESULT CALLBACK chartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paintMainWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// One window, font and surface for the whole process, as in the program,
// where they are made once when the main window opens.
struct ChartWindow {
    HWND window;
    void* font;
    void* surface;
};
ChartWindow shared;

void useChartOf(const ChartBox& area) {
    if (!shared.window) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = chartWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
        windowClass.lpszClassName = "ChartDrawTest";
        RegisterClassA(&windowClass);
        shared.window = CreateWindowExA(WS_EX_TOPMOST, "ChartDrawTest", "Chart", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400,
                                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(shared.window, nullptr);
        app.chartRect = area;
        app.mainWindow = shared.window;
        createChartFont();
        ASSERT_NE(app.chartFont, nullptr);
        createChartSurface(shared.window);
        ASSERT_NE(app.chartSurface, nullptr);
        shared.font = app.chartFont;
        shared.surface = app.chartSurface;
    }
    app.mainWindow = shared.window;
    app.chartRect = area;
    app.chartFont = shared.font;
    app.chartSurface = shared.surface;
}

class ChartDraw : public ::testing::Test {
protected:
    COLORREF saved[4];

    void SetUp() override {
        resetAppState();
        useChartOf(ChartBox{0, 0, W, H});
        for (int i = 0; i < 4; ++i) saved[i] = GetSysColor(FRAME_ELEMENTS[i]);
        ASSERT_TRUE(SetSysColors(4, FRAME_ELEMENTS, TEST_COLOURS));
        app.driveCount = 1;
        app.driveTable[0] = {1024, 16, 63, 512};
    }
    void TearDown() override { SetSysColors(4, FRAME_ELEMENTS, saved); }

    // As the window plots a run: each drain's cylinders together, in drains
    // of 1, 2, 3, ... cylinders.
    void plotRun(const std::vector<uint32_t>& speeds) {
        for (uint32_t t = 0; t < speeds.size(); ++t) app.trackSpeeds[t] = speeds[t];
        for (uint32_t first = 0, n = 1; first < speeds.size(); first += n++)
            plotTrackSpeeds(first, std::min<uint32_t>(first + n, speeds.size()) - 1);
    }
};

TEST_F(ChartDraw, FrameBackgroundAndAxes) {
    drawChartBackground();
    Pixels p = surfacePixels();
    // Outer ring: shadow on top and left, highlight on bottom and right.
    EXPECT_COLOUR(p, 0, 0, SHADOW);
    EXPECT_COLOUR(p, 300, 0, SHADOW);
    EXPECT_COLOUR(p, 0, 130, SHADOW);
    EXPECT_COLOUR(p, 0, H - 1, HIGHLIGHT);
    EXPECT_COLOUR(p, 300, H - 1, HIGHLIGHT);
    EXPECT_COLOUR(p, W - 1, 0, HIGHLIGHT);
    EXPECT_COLOUR(p, W - 1, 130, HIGHLIGHT);
    EXPECT_COLOUR(p, W - 1, H - 1, HIGHLIGHT);
    // Inner ring: dark shadow on top and left, light on bottom and right,
    // the light pen taking both corners it shares with the dark one.
    EXPECT_COLOUR(p, 1, 1, DARK);
    EXPECT_COLOUR(p, 300, 1, DARK);
    EXPECT_COLOUR(p, 1, 130, DARK);
    EXPECT_COLOUR(p, 1, H - 2, LIGHT);
    EXPECT_COLOUR(p, 300, H - 2, LIGHT);
    EXPECT_COLOUR(p, W - 2, 1, LIGHT);
    EXPECT_COLOUR(p, W - 2, 130, LIGHT);
    EXPECT_COLOUR(p, W - 2, H - 2, LIGHT);
    // Background inside the frame, above and below the band.
    EXPECT_COLOUR(p, 2, 2, BACKGROUND);
    EXPECT_COLOUR(p, 300, TOP - 2, BACKGROUND);
    EXPECT_COLOUR(p, 300, H - 4, BACKGROUND);
    EXPECT_COLOUR(p, W - 3, H - 3, BACKGROUND);
    // Horizontal axis: columns 5 to W - 6 of row H - 5, in the shadow colour.
    for (int x = 5; x <= W - 6; ++x) EXPECT_COLOUR(p, x, AXIS, SHADOW);
    EXPECT_COLOUR(p, W - 5, AXIS, BACKGROUND);
    EXPECT_COLOUR(p, 4, AXIS, BACKGROUND);
    // Vertical axis: column 5 from row 6 down; the opaque ninth grid line
    // may put a gap over it on row H - 230.
    for (int y = 6; y <= AXIS; ++y) {
        if (y != TOP) {
            EXPECT_COLOUR(p, 5, y, SHADOW);
        }
    }
    EXPECT_COLOUR(p, 5, 5, BACKGROUND);
}

TEST_F(ChartDraw, WholeDiskBandHalvesTheCylinderCount) {
    const struct {
        uint32_t cylinders;
        int outline;  // column of the right outline; -1: cut off at the edge
    } cases[] = {{1024, 516}, {1025, 516}, {701, 354}, {10000, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cylinders);
        app.driveTable[0].cylinders = c.cylinders;
        drawChartBackground();
        Pixels p = surfacePixels();
        EXPECT_COLOUR(p, 6, MIDDLE, OTHER);
        EXPECT_COLOUR(p, 5, MIDDLE, SHADOW);  // the axis over the left outline
        EXPECT_COLOUR(p, 100, TOP + 1, OTHER);
        EXPECT_COLOUR(p, 100, TOP - 1, BACKGROUND);
        if (c.outline > 0) {
            EXPECT_COLOUR(p, c.outline - 1, MIDDLE, OTHER);
            EXPECT_COLOUR(p, c.outline, MIDDLE, BLACK);
            EXPECT_COLOUR(p, c.outline, TOP + 1, BLACK);
            EXPECT_COLOUR(p, c.outline, AXIS - 1, BLACK);
            EXPECT_COLOUR(p, c.outline + 1, MIDDLE, BACKGROUND);
        } else {
            // Over the frame's right columns, and no outline anywhere.
            EXPECT_COLOUR(p, W - 2, MIDDLE, OTHER);
            EXPECT_COLOUR(p, W - 1, MIDDLE, OTHER);
            EXPECT_EQ(p.coloursInRow(MIDDLE, 6, W - 1).count(BLACK), 0u);
        }
    }
}

TEST_F(ChartDraw, PartitionBandsInListOrderOverTheWholeDisk) {
    app.partitionLists[0][0] = entry(0x06, 101, 301);   // columns 55 to 156
    app.partitionLists[0][1] = entry(0x07, 402, 501);   // 206 to 256
    app.partitionLists[0][2] = entry(0x0B, 451, 561);   // 230 to 286, over the NTFS band
    app.partitionLists[0][3] = entry(0x83, 602, 1023);  // 306 to 517, one past the disk's edge
    app.partitionCounts[0] = 4;
    drawChartBackground();
    Pixels p = surfacePixels();
    const struct {
        int x;
        COLORREF colour;
    } row[] = {{54, OTHER},  {55, BLACK},  {56, FAT},    {155, FAT},   {156, BLACK},  {157, OTHER},
               {204, OTHER}, {206, BLACK}, {207, NTFS},  {229, NTFS},  {230, BLACK},  {231, FAT32},
               {256, FAT32}, {285, FAT32}, {286, BLACK}, {287, OTHER}, {304, OTHER},  {306, BLACK},
               {307, LINUX}, {516, LINUX}, {517, BLACK}, {518, BACKGROUND}};
    for (const auto& c : row) EXPECT_COLOUR(p, c.x, MIDDLE, c.colour);
    EXPECT_COLOUR(p, 100, TOP + 1, FAT);
    EXPECT_COLOUR(p, 100, AXIS - 1, FAT);

    // A count of 0 leaves the stored entries undrawn.
    app.partitionCounts[0] = 0;
    drawChartBackground();
    p = surfacePixels();
    EXPECT_COLOUR(p, 100, MIDDLE, OTHER);
    EXPECT_COLOUR(p, 400, MIDDLE, OTHER);
    EXPECT_COLOUR(p, 517, MIDDLE, BACKGROUND);
}

TEST_F(ChartDraw, DottedGridOnItsRowsAndColumns) {
    app.partitionLists[0][0] = entry(0x06, 0, 499);
    app.partitionCounts[0] = 1;
    drawChartBackground();
    Pixels p = surfacePixels();
    // Left of the first cylinder line and of its label, the shadow colour
    // appears in exactly the grid rows and the axis row.
    std::vector<int> expected;
    for (int i = 9; i >= 1; --i) expected.push_back(H - 25 * i - 5);
    expected.push_back(AXIS);
    std::vector<int> rows;
    for (int y = 2; y <= H - 3; ++y) {
        if (p.coloursInRow(y, 6, 80).count(SHADOW)) rows.push_back(y);
    }
    EXPECT_EQ(rows, expected);
    // Between the top two grid lines, in exactly the five cylinder columns.
    std::vector<int> columns;
    for (int x = 6; x <= 525; ++x) {
        if (!p.rowsOf(x, SHADOW, TOP + 3, TOP + 22).empty()) columns.push_back(x);
    }
    EXPECT_EQ(columns, (std::vector<int>{105, 205, 305, 405, 505}));
    // Lines 1 to 8 are transparent: the bands show between the dots.
    for (int i = 1; i <= 8; ++i) {
        std::set<COLORREF> seen = p.coloursInRow(H - 25 * i - 5, 6, 250);
        EXPECT_EQ(seen, (std::set<COLORREF>{SHADOW, FAT})) << "line " << i;
        seen = p.coloursInRow(H - 25 * i - 5, 260, 500);
        EXPECT_EQ(seen, (std::set<COLORREF>{SHADOW, OTHER})) << "line " << i;
    }
    // Line 9 is opaque on the bands' top row: their black edge is gone.
    EXPECT_EQ(p.coloursInRow(TOP, 6, 510), (std::set<COLORREF>{SHADOW, BACKGROUND}));
}

// Each label is the text a plain TextOut of the expected digits gives, in
// the chart font, at the expected place.
TEST_F(ChartDraw, LabelsShowTheScaleValues) {
    drawChartBackground();
    Pixels p = surfacePixels();

    HDC screen = GetDC(nullptr);
    HDC reference = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, W, H);
    ReleaseDC(nullptr, screen);
    SelectObject(reference, bitmap);
    SelectObject(reference, (HFONT)app.chartFont);
    SetTextColor(reference, SHADOW);
    SetBkColor(reference, BACKGROUND);
    SetBkMode(reference, OPAQUE);
    const struct {
        const char* text;
        int x, y;
    } labels[] = {{" 2000", W - 45, H - 37},  {" 4000", W - 45, H - 62},  {" 6000", W - 45, H - 87},
                  {" 8000", W - 45, H - 112}, {"10000", W - 45, H - 137}, {"12000", W - 45, H - 162},
                  {"14000", W - 45, H - 187}, {"16000", W - 45, H - 212}, {"18000", W - 45, H - 237},
                  {" 200", 85, 5},            {" 400", 185, 5},           {" 600", 285, 5},
                  {" 800", 385, 5},           {"1000", 485, 5}};
    for (const auto& label : labels) {
        SIZE size = {};
        GetTextExtentPoint32A(reference, label.text, (int)strlen(label.text), &size);
        ASSERT_GT(size.cx, 0);
        ASSERT_GT(size.cy, 0);
        TextOutA(reference, label.x, label.y, label.text, (int)strlen(label.text));
        Pixels expected = snapshot(reference, label.x, label.y, size.cx, size.cy);
        ASSERT_GT(expected.count(SHADOW), 0) << "no ink in " << label.text;
        int differing = 0;
        for (int y = 0; y < size.cy; ++y)
            for (int x = 0; x < size.cx; ++x)
                if (label.x + x < W && label.y + y < H) differing += p.at(label.x + x, label.y + y) != expected.at(x, y);
        EXPECT_EQ(differing, 0) << "label \"" << label.text << "\" at (" << label.x << ", " << label.y << ")";
    }
    DeleteDC(reference);
    DeleteObject(bitmap);
}

TEST_F(ChartDraw, CurveRowFollowsTheSpeed) {
    const uint32_t q0 = H - 5;  // the speed step (in 80 kB/s) that reaches row 0
    const struct {
        uint32_t speed;
        int row;
    } cases[] = {{0, H - 5},         {79, H - 5},           {80, H - 6},          {80 * 100 + 79, H - 105},
                 {q0 * 80, 0},       {(q0 - 4) * 80, 4},    {(q0 + 1) * 80, 5},   {(q0 + 1000) * 80, 5},
                 {0xFFFFFFFFu, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        drawChartBackground();
        // Cylinder 0 sets the start; 1 shares its column; 2 draws from there.
        plotRun({c.speed, c.speed, c.speed});
        Pixels p = surfacePixels();
        EXPECT_EQ(p.rowsOf(5, RED), std::vector<int>{c.row});
        EXPECT_EQ(p.count(RED), 1);
    }
}

TEST_F(ChartDraw, CurveOfAWholeRunIsOneLine) {
    // A zigzag: odd cylinders 800 kB/s (10 rows) faster than even ones, over
    // a profile falling from 16000 to 8000 kB/s.
    std::vector<uint32_t> speeds;
    for (uint32_t t = 0; t < MAX_TRACKS; ++t) speeds.push_back(16000 - 8000 * t / 1023 + (t % 2 ? 800 : 0));
    drawChartBackground();
    plotRun(speeds);
    Pixels p = surfacePixels();
    auto row = [&](uint32_t t) { return H - (int)(speeds[t] / 80) - 5; };
    // Every point but the last is where the next segment starts, so it is drawn.
    for (uint32_t t = 0; t + 1 < MAX_TRACKS; ++t) EXPECT_COLOUR(p, (int)t / 2 + 5, row(t), RED) << "cylinder " << t;
    // Cylinders 0 and 1 fill column 5 between their rows, and nothing lies
    // left of it or right of cylinder 1023's column.
    std::vector<int> column5;
    for (int y = row(1); y <= row(0); ++y) column5.push_back(y);
    EXPECT_EQ(p.rowsOf(5, RED), column5);
    for (int x = 0; x < 5; ++x) EXPECT_TRUE(p.rowsOf(x, RED).empty()) << "column " << x;
    for (int x = 517; x < W; ++x) EXPECT_TRUE(p.rowsOf(x, RED).empty()) << "column " << x;
    // Joined: each column's red is one run that touches the previous column's.
    int previousTop = -1, previousBottom = -1;
    for (int x = 5; x <= 516; ++x) {
        std::vector<int> rows = p.rowsOf(x, RED);
        ASSERT_FALSE(rows.empty()) << "column " << x;
        EXPECT_EQ(rows.back() - rows.front() + 1, (int)rows.size()) << "gap in column " << x;
        if (x > 5) {
            EXPECT_TRUE(rows.front() <= previousBottom + 1 && rows.back() >= previousTop - 1)
                << "column " << x << " not joined to column " << x - 1;
        }
        previousTop = rows.front();
        previousBottom = rows.back();
    }
    // Drawing the background again wipes it.
    drawChartBackground();
    EXPECT_EQ(surfacePixels().count(RED), 0);
}

TEST_F(ChartDraw, SystemColoursAreReadAtEachDrawing) {
    drawChartBackground();
    const int changed[2] = {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
    const COLORREF colours[2] = {RGB(0, 128, 64), RGB(64, 0, 128)};
    ASSERT_TRUE(SetSysColors(2, changed, colours));
    // Nothing changes until the next drawing.
    Pixels p = surfacePixels();
    EXPECT_COLOUR(p, 300, 0, SHADOW);
    EXPECT_COLOUR(p, 300, AXIS, SHADOW);
    drawChartBackground();
    p = surfacePixels();
    EXPECT_COLOUR(p, 300, 0, colours[0]);
    EXPECT_COLOUR(p, 300, AXIS, colours[0]);
    EXPECT_COLOUR(p, 300, H - 1, colours[1]);
    EXPECT_COLOUR(p, 1, 1, DARK);
}

// The chart area somewhere inside the window, as in the dialog.
const ChartBox AREA = {6, 100, 6 + W, 100 + H};

class ChartPaint : public ::testing::Test {
protected:
    void SetUp() override {
        resetAppState();
        useChartOf(AREA);
        app.driveCount = 1;
        app.driveTable[0] = {1024, 16, 63, 512};
        for (int k = 0; k < LEGEND_COUNT; ++k) {
            int left = 300 + 60 * (k / 4), top = 10 + 20 * (k % 4);
            app.legendRects[k] = ChartBox{left, top, left + 12, top + 12};
        }
    }
    Pixels windowPixels() {
        InvalidateRect(shared.window, nullptr, TRUE);
        UpdateWindow(shared.window);
        HDC dc = GetDC(shared.window);
        Pixels p = snapshot(dc, 0, 0, 600, 400);
        ReleaseDC(shared.window, dc);
        return p;
    }
};

TEST_F(ChartPaint, CopiesTheSurfaceAndFillsTheSwatches) {
    drawChartBackground();
    for (uint32_t t = 0; t < 300; ++t) {
        app.trackSpeeds[t] = 4000 + 30 * t;
        plotTrackSpeeds(t, t);
    }
    Pixels surface = surfacePixels();
    ASSERT_GT(surface.count(RED), 100);
    Pixels window = windowPixels();
    int differing = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) differing += window.at(AREA.left + x, AREA.top + y) != surface.at(x, y);
    EXPECT_EQ(differing, 0);
    for (int k = 0; k < LEGEND_COUNT; ++k) {
        const ChartBox& r = app.legendRects[k];
        SCOPED_TRACE(k);
        EXPECT_COLOUR(window, r.left, r.top, BLACK);
        EXPECT_COLOUR(window, r.right - 1, r.bottom - 1, BLACK);
        EXPECT_COLOUR(window, r.left + 1, r.top + 1, (COLORREF)LEGEND_COLOURS[k]);
        EXPECT_COLOUR(window, r.right - 2, r.bottom - 2, (COLORREF)LEGEND_COLOURS[k]);
        EXPECT_COLOUR(window, r.right, r.bottom, RGB(255, 255, 255));
    }
}

uint32_t zigzag(uint32_t t) { return 12000 - 6 * t + (t % 2 ? 800 : 0); }

// Every drawing step gives back what it takes. A process can hold 65,480
// GDI objects under Wine (and Windows 9x has a 64 KB GDI heap); the test
// holds all but a few hundred of them itself, so that a step keeping one
// pen, brush, font or DC per call uses up the rest within the steps below,
// and the checks after them find no object to make and a chart drawn
// without its pens and brushes.
TEST_F(ChartPaint, NoDrawingStepKeepsAnObject) {
    std::vector<HPEN> held;
    for (HPEN pen; held.size() < 70000 && (pen = CreatePen(PS_SOLID, 1, RED)) != nullptr;) held.push_back(pen);
    ASSERT_GT(held.size(), 1000u) << "the process's GDI objects could not be counted out";
    for (size_t i = 0; i < 600; ++i) {
        DeleteObject(held.back());
        held.pop_back();
    }
    const int STEPS = 1000;
    for (int i = 0; i < STEPS; ++i) {
        drawChartBackground();
        const uint32_t t = (uint32_t)i % 1024;
        app.trackSpeeds[t] = zigzag(t);
        plotTrackSpeeds(t, t);
        paintMainWindow(shared.window);
    }
    LOGFONTA font = {};
    font.lfHeight = 14;
    HPEN pen = CreatePen(PS_SOLID, 1, RED);
    HBRUSH brush = CreateSolidBrush(RED);
    HFONT probe = CreateFontIndirectA(&font);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_NE(pen, nullptr);
    EXPECT_NE(brush, nullptr);
    EXPECT_NE(probe, nullptr);
    EXPECT_NE(dc, nullptr);
    DeleteObject(pen);
    DeleteObject(brush);
    DeleteObject(probe);
    DeleteDC(dc);
    // And the chart still draws: its background, bands and a curve.
    drawChartBackground();
    for (uint32_t t = 0; t < 300; ++t) {
        app.trackSpeeds[t] = 4000 + 30 * t;
        plotTrackSpeeds(t, t);
    }
    const Pixels surface = surfacePixels();
    EXPECT_GT(surface.count(RED), 100);
    EXPECT_COLOUR(surface, 300, 25, BACKGROUND);
    EXPECT_COLOUR(surface, 300, MIDDLE, OTHER);
    for (HPEN pen : held) DeleteObject(pen);
}

// A run's notifications as the worker gives them, through the main dialog's
// real bindings: the worker never waits (it finishes before the window has
// handled anything); then the window thread, on its drain timer, shows the
// newest line, which is the summary, once, draws the same curve as when
// drawn directly, ends the run, and paints once for all the segments, not
// once for each, and what it painted is the whole curve.

std::string runStatus(uint32_t t) { return "Track " + std::to_string(t) + "."; }

DWORD WINAPI notifyRun(void*) {
    for (uint32_t t = 0; t < MAX_TRACKS; ++t) {
        statusText(runStatus(t).c_str());
        app.trackSpeeds[t] = zigzag(t);
        __atomic_add_fetch(&app.tracksDone, 1u, __ATOMIC_SEQ_CST);
    }
    statusText("Read 1024 tracks.");
    runEnded(true);
    return 0;
}

int paints;
WNDPROC chartProc, staticProc;
std::vector<std::string> shown;
LRESULT CALLBACK recordingStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) shown.push_back((const char*)lParam);
    return CallWindowProcA(staticProc, window, message, wParam, lParam);
}
LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++paints;
    if (message == WM_TIMER) return mainDialogProc(window, message, wParam, lParam);
    return CallWindowProcA(chartProc, window, message, wParam, lParam);
}

std::vector<int> redPlaces(const Pixels& p) {
    std::vector<int> places;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) == RED) places.push_back(y * p.width + x);
    return places;
}

TEST_F(ChartPaint, ARunIsDrawnOnTheWindowThreadAsItStands) {
    drawChartBackground();
    for (uint32_t t = 0; t < MAX_TRACKS; ++t) {
        app.trackSpeeds[t] = zigzag(t);
        plotTrackSpeeds(t, t);
    }
    const std::vector<int> alone = redPlaces(surfacePixels());
    ASSERT_GT(alone.size(), 1000u);
    drawChartBackground();
    UpdateWindow(shared.window);

    HWND status = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 380, 300, 16, shared.window,
                                  (HMENU)(INT_PTR)109, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(status, nullptr);
    staticProc = (WNDPROC)SetWindowLongPtrA(status, GWLP_WNDPROC, (LONG_PTR)recordingStaticProc);
    shown.clear();
    chartProc = (WNDPROC)SetWindowLongPtrA(shared.window, GWLP_WNDPROC, (LONG_PTR)countingProc);
    app.disk = &NT_DISK;
    app.runFlag = 1;
    HANDLE worker = CreateThread(nullptr, 0, notifyRun, nullptr, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0) << "the worker waited for the window";
    CloseHandle(worker);
    ASSERT_NE(SetTimer(shared.window, DRAIN_TIMER_ID, DRAIN_TIMER_MS, nullptr), 0u);

    paints = 0;
    const DWORD start = GetTickCount();
    MSG message;
    while (app.runFlag != 0 && GetTickCount() - start < 20000) {
        if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) continue;
        DispatchMessageA(&message);
    }
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    SetWindowLongPtrA(shared.window, GWLP_WNDPROC, (LONG_PTR)chartProc);
    DestroyWindow(status);

    ASSERT_EQ(app.runFlag, 0) << "the run's end was not handled";
    EXPECT_EQ(shown, std::vector<std::string>{"Read 1024 tracks."});
    EXPECT_EQ(redPlaces(surfacePixels()), alone);
    EXPECT_LE(paints, 2);
    // What the paints copied, without a repaint of the whole window: each
    // drain's one repaint request must have covered its segments.
    UpdateWindow(shared.window);
    HDC dc = GetDC(shared.window);
    const Pixels window = snapshot(dc, 0, 0, 600, 400), surface = surfacePixels();
    ReleaseDC(shared.window, dc);
    int differing = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) differing += window.at(AREA.left + x, AREA.top + y) != surface.at(x, y);
    EXPECT_EQ(differing, 0);
}

}  // namespace
