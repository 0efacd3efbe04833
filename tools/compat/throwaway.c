/* A throw-away program for the test of check-exe.sh: built with one of the
   macros below, it asks the system for what platterscope.exe must not. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR line, int show) {
    (void)instance, (void)previous, (void)line, (void)show;
#if defined(NEWER_FUNCTION)
    return (int)GetTickCount64(); /* Windows Vista */
#elif defined(LATER_ON_9X)
    WIN32_FILE_ATTRIBUTE_DATA data; /* Windows 98 and NT 4.0 */
    return GetFileAttributesExA("x", GetFileExInfoStandard, &data);
#elif defined(OTHER_DLL)
    HKEY key;
    return (int)RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, &key);
#else
    return 0;
#endif
}
