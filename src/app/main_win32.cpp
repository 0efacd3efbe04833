// Program entry: binds the start-up sequence to the platform.
#include <windows.h>

#include "app/startup.h"
#include "drive/drive_access.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

static HINSTANCE instance;

static void* findMainWindow(const char* caption) { return FindWindowA(nullptr, caption); }
static bool isMinimised(void* window) { return IsIconic((HWND)window) != 0; }
static void restore(void* window) { ShowWindow((HWND)window, SW_RESTORE); }
static void bringToFront(void* window) { SetForegroundWindow((HWND)window); }

static bool queryPlatform(uint32_t* platformId) {
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the basic version record");
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return false;
    *platformId = version.dwPlatformId;
    return true;
}

static uintptr_t loadLibrary(const char* name) { return (uintptr_t)LoadLibraryA(name); }
static void* findProcedure(uintptr_t module, const char* name) {
    return (void*)GetProcAddress((HMODULE)module, name);
}
static void showBox(const char* text, uint32_t style) { MessageBoxA(nullptr, text, "Platterscope", style); }

static void runMainDialog() {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainDialogProc, 0);
}

int WINAPI WinMain(HINSTANCE self, HINSTANCE, LPSTR, int) {
    instance = self;
    static const StartupOps ops = {findMainWindow, isMinimised, restore,         bringToFront,
                                   queryPlatform,  loadLibrary, findProcedure,   showBox,
                                   enumerateDrivesNt, enumerateDrivesLegacy, runMainDialog};
    return runStartup(ops);
}
