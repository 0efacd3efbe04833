/* bareloop.exe: the benchmark's own bare read loop, to set the program's
 * effective speed against. It makes the program's reads, track by track from
 * the first cylinder to the last, with nothing else between them:
 *
 *   bareloop 9x DRIVE_NUMBER        ReadPhysicalSector32 of the Rawio32.dll
 *                                   in the current folder (drive 0x80 on)
 *   bareloop nt N [nobuffering]     ReadFile on \\.\PHYSICALDRIVEN, sequential
 *
 * and prints "CYLINDERS MICROSECONDS KBPS": kB/s as the program computes its
 * effective speed (cylinder kibibytes x cylinders over the time), the time
 * from the high-resolution counter. Exit code 1, with a line on stderr, when
 * a drive cannot be opened or a read fails. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <winioctl.h>

typedef DWORD(WINAPI* ReadFn)(DWORD, DWORD, DWORD, DWORD, DWORD, void*);
typedef DWORD(WINAPI* ParamsFn)(DWORD, void*);

static LARGE_INTEGER frequency;

static unsigned long long nowUs(void) {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return (unsigned long long)c.QuadPart * 1000000ull / (unsigned long long)frequency.QuadPart;
}

static int report(DWORD cylinders, DWORD heads, DWORD trackBytes, unsigned long long us) {
    unsigned long long kib = ((unsigned long long)heads * trackBytes >> 10) * cylinders;
    printf("%lu %llu %llu\n", (unsigned long)cylinders, us, us ? kib * 1000000ull / us : 0);
    return 0;
}

static int legacy(DWORD drive) {
    HMODULE library = LoadLibraryA("Rawio32.dll");
    if (!library) return fprintf(stderr, "bareloop: cannot load Rawio32.dll\n"), 1;
    ReadFn read = (ReadFn)(void*)GetProcAddress(library, "ReadPhysicalSector32");
    ParamsFn params = (ParamsFn)(void*)GetProcAddress(library, "GetDriveParameters32");
    unsigned char block[28];
    if (!read || !params || (params(drive, block) & ~0xFFu))
        return fprintf(stderr, "bareloop: no drive 0x%lX\n", (unsigned long)drive), 1;
    DWORD cylinders = *(DWORD*)(block + 4), heads = *(DWORD*)(block + 8), sectors = *(DWORD*)(block + 12);
    DWORD sectorBytes = *(WORD*)(block + 24), trackBytes = sectors * sectorBytes;
    void* buffer = VirtualAlloc(NULL, trackBytes, MEM_COMMIT, PAGE_READWRITE);
    if (!buffer) return fprintf(stderr, "bareloop: out of memory\n"), 1;
    unsigned long long start = nowUs();
    for (DWORD c = 0; c < cylinders; ++c) {
        for (DWORD h = 0; h < heads; ++h) {
            DWORD word = read(drive, c, h, 1, sectors, buffer);
            if (word & 0x8000FF00u)
                return fprintf(stderr, "bareloop: read %lu/%lu failed (%08lX)\n", (unsigned long)c,
                               (unsigned long)h, (unsigned long)word),
                       1;
        }
    }
    return report(cylinders, heads, trackBytes, nowUs() - start);
}

static int device(unsigned index, int noBuffering) {
    char name[32];
    snprintf(name, sizeof name, "\\\\.\\PHYSICALDRIVE%u", index);
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (noBuffering ? FILE_FLAG_NO_BUFFERING : 0);
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, flags, NULL);
    if (h == INVALID_HANDLE_VALUE) return fprintf(stderr, "bareloop: cannot open %s\n", name), 1;
    DISK_GEOMETRY g;
    DWORD got = 0;
    if (!DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, NULL, 0, &g, sizeof g, &got, NULL))
        return fprintf(stderr, "bareloop: no geometry for %s\n", name), 1;
    DWORD cylinders = (DWORD)g.Cylinders.QuadPart, heads = g.TracksPerCylinder;
    DWORD trackBytes = g.SectorsPerTrack * g.BytesPerSector;
    void* buffer = VirtualAlloc(NULL, trackBytes, MEM_COMMIT, PAGE_READWRITE);
    if (!buffer) return fprintf(stderr, "bareloop: out of memory\n"), 1;
    unsigned long long start = nowUs();
    for (DWORD c = 0; c < cylinders; ++c) {
        for (DWORD t = 0; t < heads; ++t) {
            if (!ReadFile(h, buffer, trackBytes, &got, NULL))
                return fprintf(stderr, "bareloop: read %lu/%lu failed (%lu)\n", (unsigned long)c, (unsigned long)t,
                               (unsigned long)GetLastError()),
                       1;
        }
    }
    unsigned long long us = nowUs() - start;
    CloseHandle(h);
    return report(cylinders, heads, trackBytes, us);
}

int main(int argc, char** argv) {
    QueryPerformanceFrequency(&frequency);
    if (argc >= 3 && strcmp(argv[1], "9x") == 0) return legacy((DWORD)strtoul(argv[2], NULL, 0));
    if (argc >= 3 && strcmp(argv[1], "nt") == 0)
        return device((unsigned)strtoul(argv[2], NULL, 0), argc >= 4 && strcmp(argv[3], "nobuffering") == 0);
    fprintf(stderr, "usage: bareloop 9x DRIVE_NUMBER | bareloop nt N [nobuffering]\n");
    return 2;
}
