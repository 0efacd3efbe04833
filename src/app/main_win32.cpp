// Program entry: binds the start-up sequence to the platform.
#include <windows.h>

#include "app/startup.h"
#include "drive/disk_nt.h"
#include "drive/disk_ops.h"
#include "drive/sector_service.h"
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

void runMainDialog() { DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0); }

const StartupOps STARTUP_OPS = {
    .findMainWindow = findMainWindow,
    .isMinimised = isMinimised,
    .restore = restore,
    .bringToFront = bringToFront,
    .queryPlatform = queryPlatform,
    .loadSectorService = loadSectorService,
    .showBox = showBox,
    .ntDisk = &NT_DISK,
    .legacyDisk = &LEGACY_DISK,
    .ntDevice = &NT_DEVICE,
    .runMainDialog = runMainDialog,
};

}  // namespace

int WINAPI WinMain(HINSTANCE self, HINSTANCE, LPSTR, int) {
    instance = self;
    return runStartup(STARTUP_OPS);
}

// The linker's symbol for the image's first byte: an exe's instance handle
// is its base address.
extern "C" IMAGE_DOS_HEADER __ImageBase;

// Newer MinGW-w64 run-times call main and bring a main of their own that
// finds WinMain's arguments with functions of their own choosing (the
// code page's lead-byte test, built for the Pentium Pro). The program's own
// main keeps that out of the image and gives WinMain what it uses, the
// instance handle; the command line and show state it ignores. Older
// run-times call WinMain themselves.
int main() {
    return WinMain((HINSTANCE)&__ImageBase, nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
}
