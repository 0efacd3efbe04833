#include "export/results_file.h"

#include "app/text_format.h"

#include "app/app_state.h"
#include "app/platform_values.h"

// The results file's boxes have always been captioned so.
static const char BOX_CAPTION[] = "Lasergauge";

int formatResultsLine(char out[RESULTS_LINE_SIZE], uint32_t cylinder, uint32_t speed) {
    return formatText(out, RESULTS_LINE_SIZE, "%u %u\r\n", cylinder, speed);
}

void saveResultsWith(const ResultsFileOps& ops, void* owner) {
    char path[256] = "*.dat";
    if (!ops.askPath(owner, path, sizeof path)) return;
    intptr_t file = ops.create(path);
    char text[64];
    if (file == HANDLE_INVALID) {
        formatText(text, sizeof text, "File open error ( code=%Xh )", ops.lastError());
        ops.showBox(owner, text, BOX_CAPTION, BOX_ICON_ERROR);
        return;
    }
    const uint32_t lines = app.tracksDone;
    for (uint32_t i = 0; i < lines && i < MAX_TRACKS; ++i) {
        char line[RESULTS_LINE_SIZE];
        int length = formatResultsLine(line, i, app.trackSpeeds[i]);
        if (!ops.write(file, line, (uint32_t)length)) {
            formatText(text, sizeof text, "Writing error ( code=%Xh )", ops.lastError());
            ops.showBox(owner, text, BOX_CAPTION, BOX_ICON_ERROR);
            break;
        }
    }
    ops.close(file);
}
