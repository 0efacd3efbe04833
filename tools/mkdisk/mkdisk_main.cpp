// mkdisk: writes sparse raw disk images for the stand-in sector service.
//   mkdisk demo OUTDIR
//   mkdisk blank FILE CYLINDERS HEADS SECTORS BYTES
//   mkdisk table FILE C H S B AT_CYL AT_HEAD AT_SECTOR [--nosig] ENTRY...
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "disk_layout.h"

namespace {

const char USAGE[] =
    "usage: mkdisk demo OUTDIR\n"
    "       mkdisk blank FILE CYLINDERS HEADS SECTORS BYTES\n"
    "       mkdisk table FILE C H S B AT_CYL AT_HEAD AT_SECTOR [--nosig] ENTRY...\n"
    "ENTRY is - (empty slot) or TYPE:SC/SH/SS-EC/EH/ES, TYPE in hex, the rest decimal\n";

int usage(const char* problem) {
    if (problem != nullptr) fprintf(stderr, "mkdisk: %s\n", problem);
    fputs(USAGE, stderr);
    return 2;
}

bool parseNumber(const char* text, uint32_t* out) {
    uint64_t value = 0;
    if (*text == '\0') return false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (uint64_t)(*p - '0');
        if (value > 0xFFFFFFFFu) return false;
    }
    *out = (uint32_t)value;
    return true;
}

bool parseGeometry(char** args, DiskGeometry* g) {
    return parseNumber(args[0], &g->cylinders) && parseNumber(args[1], &g->heads) &&
           parseNumber(args[2], &g->sectors) && parseNumber(args[3], &g->bytesPerSector);
}

// Opens (creating if needed) and sizes the image: truncate makes it exactly
// size bytes of zeros, otherwise it only grows. Holes keep it sparse.
int openImage(const char* path, uint64_t size, bool truncate) {
    int fd = open(path, O_RDWR | O_CREAT | (truncate ? O_TRUNC : 0), 0644);
    if (fd < 0) {
        fprintf(stderr, "mkdisk: cannot open %s: %s\n", path, strerror(errno));
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || ((uint64_t)st.st_size < size && ftruncate(fd, (off_t)size) != 0)) {
        fprintf(stderr, "mkdisk: cannot size %s: %s\n", path, strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

bool writeSector(int fd, const char* path, uint64_t offset, const uint8_t* bytes, uint32_t length) {
    if (pwrite(fd, bytes, length, (off_t)offset) != (ssize_t)length) {
        fprintf(stderr, "mkdisk: cannot write %s: %s\n", path, strerror(errno));
        return false;
    }
    return true;
}

bool writeDemoDisk(const DemoDisk& disk, const char* path) {
    uint64_t size = 0;
    imageBytes(disk.geometry, &size);
    int fd = openImage(path, size, true);
    if (fd < 0) return false;
    bool ok = true;
    for (uint32_t i = 0; i < disk.sectorCount && ok; ++i) {
        uint64_t offset = chsToLba(disk.geometry, disk.sectors[i].at) * disk.geometry.bytesPerSector;
        ok = writeSector(fd, path, offset, disk.sectors[i].bytes, TABLE_SECTOR_BYTES);
    }
    return close(fd) == 0 && ok;
}

bool joinPath(char* out, size_t size, const char* folder, const char* name) {
    int length = snprintf(out, size, "%s/%s", folder, name);
    if (length < 0 || (size_t)length >= size) {
        fprintf(stderr, "mkdisk: path too long: %s/%s\n", folder, name);
        return false;
    }
    return true;
}

int runDemo(const char* folder) {
    if (mkdir(folder, 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "mkdisk: cannot create %s: %s\n", folder, strerror(errno));
        return 1;
    }
    static DemoDisk disks[2];
    buildDemoDisk0(&disks[0]);
    buildDemoDisk1(&disks[1]);
    char path[4096];
    for (int i = 0; i < 2; ++i) {
        char name[16];
        snprintf(name, sizeof name, "demo%d.img", i);
        if (!joinPath(path, sizeof path, folder, name) || !writeDemoDisk(disks[i], path)) return 1;
    }
    if (!joinPath(path, sizeof path, folder, "Rawio32.cfg")) return 1;
    FILE* cfg = fopen(path, "wb");
    if (cfg == nullptr || fputs(DEMO_CONFIG_TEXT, cfg) < 0 || fclose(cfg) != 0) {
        fprintf(stderr, "mkdisk: cannot write %s: %s\n", path, strerror(errno));
        return 1;
    }
    printf("mkdisk: wrote %s/demo0.img (1024x16x63x512, %u partitions), %s/demo1.img (120x4x17x512, %u partition) "
           "and %s/Rawio32.cfg\n",
           folder, disks[0].partitionCount, folder, disks[1].partitionCount, folder);
    return 0;
}

int runBlank(char** args) {
    DiskGeometry g;
    uint64_t size;
    if (!parseGeometry(args + 1, &g)) return usage("geometry must be four decimal numbers");
    if (!imageBytes(g, &size)) return usage("geometry fields must be positive and the size must fit 63 bits");
    int fd = openImage(args[0], size, true);
    if (fd < 0 || close(fd) != 0) return 1;
    printf("mkdisk: wrote %s (%ux%ux%ux%u, %llu bytes, sparse)\n", args[0], g.cylinders, g.heads, g.sectors,
           g.bytesPerSector, (unsigned long long)size);
    return 0;
}

int runTable(int argc, char** args) {
    DiskGeometry g;
    ChsAddress at;
    uint64_t size;
    if (argc < 8) return usage("table needs FILE C H S B AT_CYL AT_HEAD AT_SECTOR");
    if (!parseGeometry(args + 1, &g)) return usage("geometry must be four decimal numbers");
    if (!imageBytes(g, &size)) return usage("geometry fields must be positive and the size must fit 63 bits");
    if (g.bytesPerSector < TABLE_SECTOR_BYTES) return usage("a partition sector needs at least 512 bytes");
    if (!parseNumber(args[5], &at.cylinder) || !parseNumber(args[6], &at.head) || !parseNumber(args[7], &at.sector) ||
        !addressOnDisk(g, at)) {
        return usage("AT_CYL AT_HEAD AT_SECTOR must name a sector on the disk");
    }
    int next = 8;
    bool signature = true;
    if (next < argc && strcmp(args[next], "--nosig") == 0) {
        signature = false;
        ++next;
    }
    if (argc - next > TABLE_ENTRY_COUNT) return usage("at most 4 entries");
    uint8_t entries[TABLE_ENTRY_COUNT][TABLE_ENTRY_BYTES];
    memset(entries, 0, sizeof entries);
    for (int i = 0; next + i < argc; ++i) {
        EntryLayout layout;
        if (!parseEntryLayout(args[next + i], &layout) || !encodeAbsoluteEntry(g, layout, entries[i])) {
            char problem[200];
            snprintf(problem, sizeof problem,
                     "bad ENTRY \"%.100s\" (cylinder 0..1023, head 0..255, sector 0..63)", args[next + i]);
            return usage(problem);
        }
    }
    static uint8_t sector[65536];
    memset(sector, 0, sizeof sector);
    buildTableSector(entries, signature, sector);
    int fd = openImage(args[0], size, false);
    if (fd < 0) return 1;
    uint32_t length = g.bytesPerSector <= sizeof sector ? g.bytesPerSector : (uint32_t)sizeof sector;
    bool ok = writeSector(fd, args[0], chsToLba(g, at) * g.bytesPerSector, sector, length);
    if (close(fd) != 0 || !ok) return 1;
    printf("mkdisk: wrote a partition sector%s with %d entries at %u/%u/%u of %s\n", signature ? "" : " (no signature)",
           argc - next, at.cylinder, at.head, at.sector, args[0]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(nullptr);
    if (strcmp(argv[1], "demo") == 0) {
        if (argc != 3) return usage("demo needs OUTDIR");
        return runDemo(argv[2]);
    }
    if (strcmp(argv[1], "blank") == 0) {
        if (argc != 7) return usage("blank needs FILE CYLINDERS HEADS SECTORS BYTES");
        return runBlank(argv + 2);
    }
    if (strcmp(argv[1], "table") == 0) return runTable(argc - 2, argv + 2);
    return usage("unknown command");
}
