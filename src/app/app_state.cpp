#include "app/app_state.h"

#include <string.h>

// FAT, FAT32, NTFS, free extended, empty, BSD, Linux, other.
#define LEGEND_IDS_INIT {201, 202, 203, 204, 205, 206, 207, 208}
#define LEGEND_COLOURS_INIT                                                                                \
    {RGB_COLOUR(182, 248, 208), RGB_COLOUR(182, 248, 121), RGB_COLOUR(255, 205, 233), RGB_COLOUR(80, 128, 179), \
     RGB_COLOUR(182, 184, 184), RGB_COLOUR(221, 207, 179), RGB_COLOUR(236, 235, 134), RGB_COLOUR(214, 214, 255)}

const char Y_LABEL_FORMAT[] = "%5u";
const char X_LABEL_FORMAT[] = "%4u";
const int32_t LEGEND_CONTROL_IDS[LEGEND_COUNT] = LEGEND_IDS_INIT;
const uint32_t LEGEND_COLOURS[LEGEND_COUNT] = LEGEND_COLOURS_INIT;

// Static storage: everything not named here starts zeroed.
AppState app = {Y_LABEL_FORMAT, X_LABEL_FORMAT, 0, LEGEND_IDS_INIT, LEGEND_COLOURS_INIT, 0, 0, 0, 0, 0, 0, {0, 0, 0, 0}, 0, 0, {0}, {}, {}, {0}, 0, {}, {0, 0, 0}, 0, 0, {}, 0, 0};

void resetAppState() {
    memset((void*)&app, 0, sizeof app);
    app.yLabelFormat = Y_LABEL_FORMAT;
    app.xLabelFormat = X_LABEL_FORMAT;
    memcpy(app.legendControlIds, LEGEND_CONTROL_IDS, sizeof app.legendControlIds);
    memcpy(app.legendColours, LEGEND_COLOURS, sizeof app.legendColours);
}
