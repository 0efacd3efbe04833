#include "disk_layout.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Decimal field ending at the stop character; advances *p to it.
bool parseDecimal(const char** p, char stop, uint32_t* out) {
    const char* s = *p;
    uint64_t value = 0;
    if (*s < '0' || *s > '9') return false;
    while (*s >= '0' && *s <= '9') {
        value = value * 10 + (uint64_t)(*s - '0');
        if (value > 0xFFFFFFFFu) return false;
        ++s;
    }
    if (*s != stop) return false;
    *out = (uint32_t)value;
    *p = s;
    return true;
}

bool parseAddress(const char** p, char stop, ChsAddress* out) {
    if (!parseDecimal(p, '/', &out->cylinder)) return false;
    ++*p;
    if (!parseDecimal(p, '/', &out->head)) return false;
    ++*p;
    return parseDecimal(p, stop, &out->sector);
}

void putLe32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

EntryLayout entry(uint8_t type, ChsAddress start, ChsAddress end) {
    EntryLayout e;
    e.empty = false;
    e.type = type;
    e.start = start;
    e.end = end;
    return e;
}

// Appends one table sector to a demo disk. Each entry's LBA start is counted
// from base (the table's own sector for partitions inside an extended one, the
// extended partition's start for a link, 0 in the master boot record).
struct DemoEntry {
    EntryLayout layout;
    bool bootable;
    uint64_t base;
};

void addDemoTable(DemoDisk* disk, ChsAddress at, const DemoEntry* entries, int count) {
    uint8_t encoded[TABLE_ENTRY_COUNT][TABLE_ENTRY_BYTES];
    memset(encoded, 0, sizeof encoded);
    for (int i = 0; i < count; ++i) {
        const EntryLayout& e = entries[i].layout;
        uint64_t first = chsToLba(disk->geometry, e.start);
        uint64_t last = chsToLba(disk->geometry, e.end);
        encodeEntry(e, entries[i].bootable, (uint32_t)(first - entries[i].base), (uint32_t)(last - first + 1),
                    encoded[i]);
        if (e.type != 0x05) ++disk->partitionCount;
    }
    DemoSector& sector = disk->sectors[disk->sectorCount++];
    sector.at = at;
    buildTableSector(encoded, true, sector.bytes);
}

}  // namespace

bool imageBytes(const DiskGeometry& g, uint64_t* out) {
    const uint32_t fields[4] = {g.cylinders, g.heads, g.sectors, g.bytesPerSector};
    uint64_t size = 1;
    for (uint32_t f : fields) {
        if (f == 0 || size > (uint64_t)INT64_MAX / f) return false;
        size *= f;
    }
    *out = size;
    return true;
}

bool addressOnDisk(const DiskGeometry& g, const ChsAddress& a) {
    return a.cylinder < g.cylinders && a.head < g.heads && a.sector >= 1 && a.sector <= g.sectors;
}

uint64_t chsToLba(const DiskGeometry& g, const ChsAddress& a) {
    uint32_t sector = a.sector == 0 ? 1 : a.sector;
    return ((uint64_t)a.cylinder * g.heads + a.head) * g.sectors + (sector - 1);
}

bool encodeChs(const ChsAddress& a, uint8_t out[3]) {
    if (a.cylinder > MAX_CHS_CYLINDER || a.head > MAX_CHS_HEAD || a.sector > MAX_CHS_SECTOR) return false;
    out[0] = (uint8_t)a.head;
    out[1] = (uint8_t)(a.sector | ((a.cylinder >> 2) & 0xC0));
    out[2] = (uint8_t)(a.cylinder & 0xFF);
    return true;
}

bool encodeEntry(const EntryLayout& e, bool bootable, uint32_t lbaStart, uint32_t lbaCount,
                 uint8_t out[TABLE_ENTRY_BYTES]) {
    memset(out, 0, TABLE_ENTRY_BYTES);
    if (e.empty) return true;
    if (!encodeChs(e.start, out + 1) || !encodeChs(e.end, out + 5)) return false;
    out[0] = bootable ? 0x80 : 0x00;
    out[4] = e.type;
    putLe32(out + 8, lbaStart);
    putLe32(out + 12, lbaCount);
    return true;
}

bool encodeAbsoluteEntry(const DiskGeometry& g, const EntryLayout& e, uint8_t out[TABLE_ENTRY_BYTES]) {
    uint64_t first = chsToLba(g, e.start);
    uint64_t last = chsToLba(g, e.end);
    uint64_t count = last >= first ? last - first + 1 : 0;
    return encodeEntry(e, false, (uint32_t)first, (uint32_t)count, out);
}

void buildTableSector(const uint8_t entries[TABLE_ENTRY_COUNT][TABLE_ENTRY_BYTES], bool signature,
                      uint8_t sector[TABLE_SECTOR_BYTES]) {
    memset(sector, 0, TABLE_SECTOR_BYTES);
    memcpy(sector + TABLE_ENTRIES_OFFSET, entries, TABLE_ENTRY_COUNT * TABLE_ENTRY_BYTES);
    if (signature) {
        sector[510] = 0x55;
        sector[511] = 0xAA;
    }
}

bool parseEntryLayout(const char* text, EntryLayout* out) {
    memset(out, 0, sizeof *out);
    if (strcmp(text, "-") == 0) {
        out->empty = true;
        return true;
    }
    const char* colon = strchr(text, ':');
    if (colon == nullptr || colon == text || colon - text > 2) return false;
    uint32_t type = 0;
    for (const char* p = text; p < colon; ++p) {
        char c = *p;
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = (uint32_t)(c - '0');
        } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            digit = (uint32_t)((c | 0x20) - 'a' + 10);
        } else {
            return false;
        }
        type = type * 16 + digit;
    }
    const char* p = colon + 1;
    if (!parseAddress(&p, '-', &out->start)) return false;
    ++p;
    if (!parseAddress(&p, '\0', &out->end)) return false;
    out->type = (uint8_t)type;
    uint8_t probe[3];
    return encodeChs(out->start, probe) && encodeChs(out->end, probe);
}

void buildDemoDisk0(DemoDisk* out) {
    memset(out, 0, sizeof *out);
    out->geometry = DiskGeometry{1024, 16, 63, 512};
    const ChsAddress extendedStart{450, 0, 1};
    const uint64_t extendedBase = chsToLba(out->geometry, extendedStart);
    const DemoEntry mbr[4] = {
        {entry(0x06, {0, 1, 1}, {199, 15, 63}), true, 0},
        {entry(0x07, {200, 0, 1}, {449, 15, 63}), false, 0},
        {entry(0x05, extendedStart, {849, 15, 63}), false, 0},
        {entry(0xA5, {850, 0, 1}, {1023, 15, 63}), false, 0},
    };
    addDemoTable(out, {0, 0, 1}, mbr, 4);
    const ChsAddress linkStart{650, 0, 1};
    const DemoEntry first[2] = {
        {entry(0x0B, {450, 1, 1}, {649, 15, 63}), false, extendedBase},
        {entry(0x05, linkStart, {849, 15, 63}), false, extendedBase},
    };
    addDemoTable(out, extendedStart, first, 2);
    const DemoEntry second[1] = {
        {entry(0x83, {650, 1, 1}, {849, 15, 63}), false, chsToLba(out->geometry, linkStart)},
    };
    addDemoTable(out, linkStart, second, 1);
}

void buildDemoDisk1(DemoDisk* out) {
    memset(out, 0, sizeof *out);
    out->geometry = DiskGeometry{120, 4, 17, 512};
    const DemoEntry mbr[1] = {{entry(0x06, {0, 1, 1}, {119, 3, 17}), true, 0}};
    addDemoTable(out, {0, 0, 1}, mbr, 1);
}

// The demo drives read ahead (stream), as real disks do, so that what the
// program shows is the drive's profile, not the simulation's path to it.
const char DEMO_CONFIG_TEXT[] =
    "# Stand-in drives written by mkdisk demo: 0x80 and 0x81\n"
    "drive demo0.img 1024 16 63 512 speed=16000,8000 stream\n"
    "drive demo1.img 120 4 17 512 speed=6000,4000 stream\n";
