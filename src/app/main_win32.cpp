// Program entry: binds the start-up sequence to the platform.
#include <windows.h>

#include "app/startup.h"
#include "drive/disk_ops.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {

HINSTANCE instance;

void* findMainWindow(const char* caption) { return FindWindowA(nullptr, caption); }
bool isMinimised(void* window) { return IsIconic((HWND)window) != 0; }
void restore(void* window) { ShowWindow((HWND)window, SW_RESTORE); }
void bringToFront(void* window) { SetForegroundWindow((HWND)window); }

bool queryPlatform(uint32_t* platformId) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = VERSION_RECORD_SIZE;  // the basic record
    if (!GetVersionExA(&version)) return false;
    *platformId = version.dwPlatformId;
    return true;
}

uintptr_t loadLibrary(const char* name) { return (uintptr_t)LoadLibraryA(name); }
void* findProcedure(uintptr_t module, const char* name) { return (void*)GetProcAddress((HMODULE)module, name); }

void runMainDialog() { DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0); }

const StartupOps STARTUP_OPS = {
    .findMainWindow = findMainWindow,
    .isMinimised = isMinimised,
    .restore = restore,
    .bringToFront = bringToFront,
    .queryPlatform = queryPlatform,
    .loadLibrary = loadLibrary,
    .findProcedure = findProcedure,
    .showBox = showBox,
    .ntDisk = &NT_DISK,
    .legacyDisk = &LEGACY_DISK,
    .runMainDialog = runMainDialog,
};

}  // namespace

// The linker's symbol for the image's first byte: an exe's instance handle
// is its base address.
extern "C" IMAGE_DOS_HEADER __ImageBase;

// main, not WinMain: the program reads neither its command line nor the
// show state, and with a main of its own it links none of the run-time's
// WinMain start-up, which newer run-times build with functions of their own
// choosing (the lead-byte test of the code page) that the import record
// would then have to follow per run-time.
int main() {
    instance = (HINSTANCE)&__ImageBase;
    return runStartup(STARTUP_OPS);
}
