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
        app.platformKind = PLATFORM_9X;
        app.disk = ops.legacyDisk;
    } else if (platformId == PLATFORM_ID_NT) {
        app.platformKind = PLATFORM_NT;
        app.disk = ops.ntDisk;
    } else {
        ops.showBox(nullptr, "This program requires Windows 95/NT.", BOX_OK);
        return 0;
    }

    if (app.platformKind == PLATFORM_9X) {
        uintptr_t module = ops.loadLibrary("Rawio32.dll");
        app.sectorService.module = (void*)module;
        // Old loaders returned error codes up to 32 instead of null.
        if (module <= 32) {
            // "Rawio16.DLL" names the library pair as its maker ships it; the
            // text is kept as users and scripts know it.
            ops.showBox(nullptr, "Failure loading library Rawio32.DLL.\nCheck that Rawio32.DLL and Rawio16.DLL exist.",
                        BOX_ICON_ERROR);
            return 1;
        }
        app.sectorService.readPhysicalSector32 =
            (ReadPhysicalSector32Fn)ops.findProcedure(module, READ_PHYSICAL_SECTOR_NAME);
        app.sectorService.getDriveParameters32 =
            (GetDriveParameters32Fn)ops.findProcedure(module, GET_DRIVE_PARAMETERS_NAME);
        if (!app.sectorService.readPhysicalSector32 || !app.sectorService.getDriveParameters32) {
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
