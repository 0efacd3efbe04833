/* tickstep.exe: how far GetTickCount moves at each step, which is the
 * resolution of every cylinder time the program takes. Watches the tick for
 * about a second and prints the median step in milliseconds. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static int compare(const void* a, const void* b) {
    DWORD x = *(const DWORD*)a, y = *(const DWORD*)b;
    return x < y ? -1 : x > y;
}

int main(void) {
    static DWORD steps[4096];
    int count = 0;
    DWORD start = GetTickCount(), last = start;
    while (GetTickCount() - start < 1000 && count < 4096) {
        DWORD now = GetTickCount();
        if (now != last) {
            steps[count++] = now - last;
            last = now;
        }
    }
    if (count == 0) return 1;
    qsort(steps, count, sizeof steps[0], compare);
    printf("%lu\n", (unsigned long)steps[count / 2]);
    return 0;
}
