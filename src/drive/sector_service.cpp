#include "drive/sector_service.h"

#include "app/app_state.h"

SectorServiceLoad loadSectorServiceWith(const SectorServiceOps& ops) {
    SectorService& service = app.sectorService;
    const uintptr_t module = ops.loadLibrary(SECTOR_SERVICE_LIBRARY_NAME);
    // Old loaders returned error codes up to 32 instead of null.
    if (module <= 32) return SECTOR_SERVICE_LIBRARY_MISSING;
    service.module = module;
    service.readPhysicalSector32 = (ReadPhysicalSector32Fn)ops.findProcedure(module, READ_PHYSICAL_SECTOR_NAME);
    service.getDriveParameters32 = (GetDriveParameters32Fn)ops.findProcedure(module, GET_DRIVE_PARAMETERS_NAME);
    if (!service.readPhysicalSector32 || !service.getDriveParameters32) {
        service.readPhysicalSector32 = nullptr;
        service.getDriveParameters32 = nullptr;
        return SECTOR_SERVICE_ENTRIES_MISSING;
    }
    return SECTOR_SERVICE_LOADED;
}

// The gate. The worker announces itself before it looks at the closing flag,
// and the closer raises the flag before it looks at the count; with both in
// one total order, either the worker sees the flag and stays out, or the
// closer sees the worker inside and waits for it.

bool enterSectorService() {
    SectorService& service = app.sectorService;
    __atomic_add_fetch(&service.callsInside, 1, __ATOMIC_SEQ_CST);
    if (__atomic_load_n(&service.closing, __ATOMIC_SEQ_CST) != 0) {
        __atomic_sub_fetch(&service.callsInside, 1, __ATOMIC_SEQ_CST);
        return false;
    }
    return true;
}

void leaveSectorService() { __atomic_sub_fetch(&app.sectorService.callsInside, 1, __ATOMIC_SEQ_CST); }

bool releaseSectorServiceWith(const SectorServiceOps& ops, uint32_t timeoutMs) {
    SectorService& service = app.sectorService;
    if (service.module == 0) return true;
    __atomic_store_n(&service.closing, 1, __ATOMIC_SEQ_CST);
    const uint32_t start = ops.tick();
    // No sent message is needed by a call inside the library, so waiting on
    // the dialog thread cannot hold the worker up.
    while (__atomic_load_n(&service.callsInside, __ATOMIC_SEQ_CST) != 0) {
        if (ops.tick() - start >= timeoutMs) return false;
        ops.sleep(10);
    }
    ops.freeLibrary(service.module);
    service.module = 0;
    return true;
}
