#include <windows.h>

#include "app/platform_values.h"

#include "export/results_file.h"

static bool askPath(void* owner, char* path, uint32_t size) {
    OPENFILENAMEA dialog = {};
#ifdef _WIN64
    // The 64-bit build passes its own structure's size.
    dialog.lStructSize = sizeof dialog;
#else
    // The record of Windows 95 and NT 4.0, without the Windows 2000
    // extension fields, which those systems refuse.
    dialog.lStructSize = SAVE_AS_RECORD_SIZE_32;
#endif
    dialog.hwndOwner = (HWND)owner;
    dialog.lpstrFilter = "*.dat\0*.dat\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = size;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT;
    return GetSaveFileNameA(&dialog) != 0;
}
static intptr_t create(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? HANDLE_INVALID : (intptr_t)h;
}
static bool write(intptr_t file, const char* bytes, uint32_t length) {
    DWORD written = 0;
    return WriteFile((HANDLE)file, bytes, length, &written, nullptr) != 0;
}
static void close(intptr_t file) { CloseHandle((HANDLE)file); }
static uint32_t lastError() { return GetLastError(); }

static const ResultsFileOps RESULTS_FILE_OPS = {
    .askPath = askPath,
    .create = create,
    .write = write,
    .close = close,
    .lastError = lastError,
    .showBox = showBoxCaptioned,
};

void saveResults(void* window) { saveResultsWith(RESULTS_FILE_OPS, window); }
