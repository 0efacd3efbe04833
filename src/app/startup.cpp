#include "app/startup.h"

#include "res/resource.h"

int runStartup(const StartupOps& ops) {
    void* running = ops.findMainWindow(MAIN_WINDOW_CAPTION);
    if (running) {
        if (ops.isMinimised(running)) ops.restore(running);
        ops.bringToFront(running);
        return 1;
    }

    uint32_t platformId = 0;
    if (!ops.queryPlatform(&platformId)) return 0;
    if (platformId == PLATFORM_ID_WINDOWS) {
        app.platformKind = PLATFORM_LEGACY;
        app.disk = ops.legacyDisk;
    } else if (platformId == PLATFORM_ID_NT) {
        app.platformKind = PLATFORM_NT;
        app.disk = ops.ntDisk;
        app.ntDevice = ops.ntDevice;
    } else {
        ops.showBox(nullptr, "This program requires Windows 95/NT.", BOX_OK);
        return 0;
    }

    if (app.platformKind == PLATFORM_LEGACY) {
        switch (ops.loadSectorService()) {
        case SECTOR_SERVICE_LOADED: break;
        case SECTOR_SERVICE_LIBRARY_MISSING:
            // "Rawio16.DLL" names the library pair as its maker ships it; the
            // text is kept as users and scripts know it.
            ops.showBox(nullptr, "Failure loading library Rawio32.DLL.\nCheck that Rawio32.DLL and Rawio16.DLL exist.",
                        BOX_ICON_ERROR);
            return 1;
        case SECTOR_SERVICE_ENTRIES_MISSING:
            ops.showBox(nullptr, "Failure locating procedures.", BOX_ICON_ERROR);
            return 1;
        }
    }
    app.driveCount = app.disk->enumerateDrives(app.driveTable);

    if (app.driveCount == 0) {
        ops.showBox(nullptr, "Hard Disks not found!.", BOX_ICON_ERROR);
        return 1;
    }
    ops.runMainDialog();
    return 0;
}
