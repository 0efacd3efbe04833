// Draws the chart with GDI onto the off-screen surface and copies it to the
// window. Coordinates come from chart_geometry.
#include <windows.h>

#include "app/text_format.h"

#include "ui/chart.h"
#include "res/resource.h"
#include "ui/chart_geometry.h"

// Only the dialog thread draws on the surface and copies it (it plots the
// worker's cylinders from the speed table), so the surface needs no lock.

static int32_t chartWidth() { return app.chartRect.right - app.chartRect.left; }
static int32_t chartHeight() { return app.chartRect.bottom - app.chartRect.top; }
static HDC surface() { return (HDC)app.chartSurface; }

void createChartFont() {
    LOGFONTA font = {};
    font.lfHeight = 14;
    font.lfWeight = 400;
    font.lfPitchAndFamily = 0x31;  // fixed pitch, modern family
    app.chartFont = CreateFontIndirectA(&font);
}

static void captureControl(HWND dialog, int id, ChartBox* out) {
    HWND control = GetDlgItem(dialog, id);
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, (POINT*)&r, 2);
    *out = ChartBox{r.left, r.top, r.right, r.bottom};
    DestroyWindow(control);
}

void captureChartLayout(void* window) {
    HWND dialog = (HWND)window;
    captureControl(dialog, IDC_CHART_FRAME, &app.chartRect);
    for (int k = 0; k < LEGEND_COUNT; ++k) captureControl(dialog, IDC_LEGEND_FIRST + k, &app.legendRects[k]);
}

void createChartSurface(void* window) {
    HWND dialog = (HWND)window;
    HDC screen = GetDC(dialog);
    HDC memory = CreateCompatibleDC(screen);
    app.chartSurface = memory;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, chartWidth(), chartHeight());
    SelectObject(memory, bitmap);
    SetMapMode(memory, GetMapMode(screen));
    ReleaseDC(dialog, screen);
    drawChartBackground();
}

void requestChartRepaint(void* window) {
    // The surface holds the whole chart: nothing under it needs erasing.
    RECT r = {app.chartRect.left, app.chartRect.top, app.chartRect.right, app.chartRect.bottom};
    InvalidateRect((HWND)window, &r, FALSE);
}

void requestSegmentsRepaint(void* window, uint32_t first, uint32_t last) {
    const ChartBox box = segmentsBox(chartHeight(), first, last, app.trackSpeeds);
    if (box.right <= box.left) return;  // only the first cylinder: it just moves the pen
    RECT r = {app.chartRect.left + box.left, app.chartRect.top + box.top, app.chartRect.left + box.right,
              app.chartRect.top + box.bottom};
    InvalidateRect((HWND)window, &r, FALSE);
}

static void filledRectangle(HDC dc, COLORREF colour, const ChartBox& box) {
    HBRUSH brush = CreateSolidBrush(colour);
    SelectObject(dc, brush);
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    SelectObject(dc, GetStockObject(GRAY_BRUSH));
    DeleteObject(brush);
}

// One pen for a run of connected lines given as (x, y) pairs after a move.
static void framePath(HDC dc, int sysColour, const POINT* points, int count, bool moveFirst) {
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(sysColour));
    SelectObject(dc, pen);
    for (int i = 0; i < count; ++i) {
        if (i == 0 && moveFirst)
            MoveToEx(dc, points[i].x, points[i].y, nullptr);
        else
            LineTo(dc, points[i].x, points[i].y);
    }
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

static void drawBackground(HDC dc) {
    const int32_t w = chartWidth(), h = chartHeight();
    SelectObject(dc, (HFONT)app.chartFont);
    SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    SetBkColor(dc, CHART_BACKGROUND_RGB);

    HPEN outline = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HBRUSH fill = CreateSolidBrush(CHART_BACKGROUND_RGB);
    SelectObject(dc, outline);
    SelectObject(dc, fill);
    Rectangle(dc, 0, 0, w, h);
    SelectObject(dc, GetStockObject(GRAY_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(outline);
    DeleteObject(fill);

    const POINT highlight[] = {{0, h - 1}, {w - 1, h - 1}, {w - 1, -1}};
    framePath(dc, COLOR_BTNHIGHLIGHT, highlight, 3, true);
    const POINT dark[] = {{w - 2, 1}, {1, 1}, {1, h - 2}};
    framePath(dc, COLOR_3DDKSHADOW, dark, 3, true);
    const POINT light[] = {{w - 2, h - 2}, {w - 2, 0}};
    framePath(dc, COLOR_3DLIGHT, light, 2, false);

    const uint32_t drive = (uint32_t)app.selectedDrive;
    SelectObject(dc, GetStockObject(BLACK_PEN));
    filledRectangle(dc, LEGEND_COLOURS[LEGEND_OTHER], wholeDiskBand(h, app.driveTable[drive].cylinders));
    for (uint32_t i = 0; i < app.partitionCounts[drive] && i < MAX_PARTITIONS; ++i) {
        const PartitionEntry& entry = app.partitionLists[drive][i];
        filledRectangle(dc, LEGEND_COLOURS[legendIndexOfType(partitionType(entry))], partitionBand(h, entry));
    }

    HPEN axis = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    SelectObject(dc, axis);
    const int32_t m = CHART_MARGIN;
    MoveToEx(dc, m, h - m, nullptr);
    LineTo(dc, w - m, h - m);
    MoveToEx(dc, m, h - m, nullptr);
    LineTo(dc, m, m);
    SelectObject(dc, GetStockObject(NULL_PEN));
    DeleteObject(axis);

    HPEN dotted = CreatePen(PS_DOT, 1, GetSysColor(COLOR_BTNSHADOW));
    SelectObject(dc, dotted);
    char label[16];
    for (int i = 1; i <= SPEED_GRID_LINES; ++i) {
        // The top line is opaque: it replaces the bands' black top edge.
        SetBkMode(dc, i == SPEED_GRID_LINES ? OPAQUE : TRANSPARENT);
        const int32_t row = speedGridRow(h, i);
        MoveToEx(dc, m, row, nullptr);
        LineTo(dc, w - m, row);
        int n = formatText(label, sizeof label, "%5u", speedLabelValue(i));
        SetBkMode(dc, OPAQUE);
        const ChartPoint at = speedLabelPlace(w, h, i);
        TextOutA(dc, at.x, at.y, label, n);
    }
    for (int j = 1; j <= CYLINDER_GRID_LINES; ++j) {
        SetBkMode(dc, TRANSPARENT);
        const int32_t column = cylinderGridColumn(j);
        MoveToEx(dc, column, h - m, nullptr);
        LineTo(dc, column, m);
        int n = formatText(label, sizeof label, "%4u", cylinderLabelValue(j));
        SetBkMode(dc, OPAQUE);
        const ChartPoint at = cylinderLabelPlace(j);
        TextOutA(dc, at.x, at.y, label, n);
    }
    SelectObject(dc, GetStockObject(NULL_PEN));
    DeleteObject(dotted);
}

void drawChartBackground() {
    if (!app.chartSurface) return;
    drawBackground(surface());
    requestChartRepaint(app.mainWindow);
}

void plotTrackSpeeds(uint32_t first, uint32_t last) {
    if (!app.chartSurface || first > last || last >= MAX_TRACKS) return;
    HDC dc = surface();
    HPEN pen = CreatePen(PS_SOLID, 1, CHART_CURVE_RGB);
    SelectObject(dc, pen);
    for (uint32_t track = first; track <= last; ++track) {
        const ChartPoint p = curvePoint(chartHeight(), track, app.trackSpeeds[track]);
        if (track == 0)
            MoveToEx(dc, p.x, p.y, nullptr);
        else
            LineTo(dc, p.x, p.y);
    }
    SelectObject(dc, GetStockObject(NULL_PEN));
    DeleteObject(pen);
}

void paintMainWindow(void* window) {
    HWND dialog = (HWND)window;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    for (int k = 0; k < LEGEND_COUNT; ++k) filledRectangle(dc, LEGEND_COLOURS[k], app.legendRects[k]);
    if (app.chartSurface)
        BitBlt(dc, app.chartRect.left, app.chartRect.top, chartWidth(), chartHeight(), surface(), 0, 0, SRCCOPY);
    EndPaint(dialog, &paint);
}
