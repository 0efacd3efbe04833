// The sector-service library's hold bound to the system's loader.
#include <windows.h>

#include "drive/sector_service.h"

namespace {

uintptr_t loadLibrary(const char* name) { return (uintptr_t)LoadLibraryA(name); }
void* findProcedure(uintptr_t module, const char* name) { return (void*)GetProcAddress((HMODULE)module, name); }
void freeLibrary(uintptr_t module) { FreeLibrary((HMODULE)module); }
uint32_t tick() { return GetTickCount(); }
void sleepMs(uint32_t ms) { Sleep(ms); }

const SectorServiceOps SECTOR_SERVICE_OPS = {
    .loadLibrary = loadLibrary,
    .findProcedure = findProcedure,
    .freeLibrary = freeLibrary,
    .tick = tick,
    .sleep = sleepMs,
};

}  // namespace

SectorServiceLoad loadSectorService() { return loadSectorServiceWith(SECTOR_SERVICE_OPS); }

bool releaseSectorService() { return releaseSectorServiceWith(SECTOR_SERVICE_OPS, SECTOR_SERVICE_RELEASE_WAIT_MS); }
