// Start-up: everything before the main window exists. The sequence is plain
// logic over StartupOps so that every outcome can be tested with fakes.
#pragma once
#include <stdint.h>

#include "app/app_state.h"
#include "app/boxes.h"
#include "app/platform_values.h"
#include "drive/disk_ops.h"

struct StartupOps {
    void* (*findMainWindow)(const char* caption);
    bool (*isMinimised)(void* window);
    void (*restore)(void* window);
    void (*bringToFront)(void* window);
    // Fills the platform identifier; false when the version query fails.
    bool (*queryPlatform)(uint32_t* platformId);
    uintptr_t (*loadLibrary)(const char* name);
    void* (*findProcedure)(uintptr_t module, const char* name);
    // Start-up's boxes have no owner: no window exists yet.
    ShowBoxFn showBox;
    // The two families' disk operations; start-up keeps the one it detects.
    const DiskOps* ntDisk;
    const DiskOps* legacyDisk;
    void (*runMainDialog)();
};

// Returns the process exit code.
int runStartup(const StartupOps& ops);
