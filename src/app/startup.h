// Start-up: everything before the main window exists. The sequence is plain
// logic over StartupOps so that every outcome can be tested with fakes.
#pragma once
#include <stdint.h>

#include "app/app_state.h"
#include "app/boxes.h"
#include "app/platform_values.h"
#include "drive/disk_ops.h"
#include "drive/sector_service.h"

struct StartupOps {
    void* (*findMainWindow)(const char* caption);
    bool (*isMinimised)(void* window);
    void (*restore)(void* window);
    void (*bringToFront)(void* window);
    // Fills the platform identifier; false when the version query fails.
    bool (*queryPlatform)(uint32_t* platformId);
    // The legacy family's library, loaded into app.sectorService.
    SectorServiceLoad (*loadSectorService)();
    // Start-up's boxes have no owner: no window exists yet.
    ShowBoxFn showBox;
    // The two families' disk operations, and the NT family's device;
    // start-up keeps those of the family it detects.
    const DiskOps* ntDisk;
    const DiskOps* legacyDisk;
    const DeviceOps* ntDevice;
    void (*runMainDialog)();
};

// Returns the process exit code.
int runStartup(const StartupOps& ops);
