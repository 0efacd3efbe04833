/* A throw-away program for the test of check-exe.sh: built with one of the
   macros below, it asks the system for what platterscope.exe must not. */
#include <windows.h>

#if defined(P6_CODE)
/* Built for the Pentium Pro at -O2, the larger of two becomes a CMOV, of
   two doubles an FCOMI. */
__attribute__((noinline)) int larger(int a, int b) {
    return a > b ? a : b;
}
__attribute__((noinline)) double greater(double a, double b) {
    return a > b ? a : b;
}
#elif defined(KNOWN_IMPORTS)
void WINAPI by_number(void); /* COMDLG32 ordinal 7, from an import library of the test's own */
#endif

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
#elif defined(P6_CODE)
    return larger(line[0], show) + (int)greater(line[1], show);
#elif defined(KNOWN_IMPORTS)
    /* Linked without the C runtime, so these are all the imports there are,
       whatever the runtime of the day imports. */
    by_number();
    SetBkMode(NULL, TRANSPARENT);
    MessageBoxA(NULL, line, line, MB_OK);
    ExitProcess(!GetSaveFileNameA(NULL));
#else
    return 0;
#endif
}
