#include "standin_logic.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

namespace {

enum { MAX_TOKENS = 12 };

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits a line in place into whitespace-separated tokens. A token may be
// double-quoted (for paths with spaces); '#' outside quotes ends the line.
// Returns the token count, or -1 with reason filled.
int splitTokens(char* line, char* tokens[MAX_TOKENS], char* reason, size_t reasonSize) {
    int count = 0;
    char* p = line;
    for (;;) {
        while (isBlank(*p)) ++p;
        if (*p == '\0' || *p == '#') return count;
        if (count == MAX_TOKENS) {
            snprintf(reason, reasonSize, "more than %d words", MAX_TOKENS);
            return -1;
        }
        if (*p == '"') {
            char* start = ++p;
            while (*p != '\0' && *p != '"') ++p;
            if (*p != '"') {
                snprintf(reason, reasonSize, "unterminated quote");
                return -1;
            }
            *p++ = '\0';
            if (*p != '\0' && !isBlank(*p) && *p != '#') {
                snprintf(reason, reasonSize, "text right after a closing quote");
                return -1;
            }
            tokens[count++] = start;
            continue;
        }
        tokens[count++] = p;
        while (*p != '\0' && !isBlank(*p) && *p != '#') ++p;
        if (*p == '#') {
            *p = '\0';
            return count;
        }
        if (*p != '\0') *p++ = '\0';
    }
}

// Decimal or 0x-hexadecimal, 32-bit.
bool parseNumber(const char* text, uint32_t* out) {
    uint64_t value = 0;
    uint32_t base = 10;
    const char* p = text;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (*p == '\0') return false;
    for (; *p != '\0'; ++p) {
        uint32_t digit;
        if (*p >= '0' && *p <= '9') {
            digit = (uint32_t)(*p - '0');
        } else if (base == 16 && *p >= 'a' && *p <= 'f') {
            digit = (uint32_t)(*p - 'a' + 10);
        } else if (base == 16 && *p >= 'A' && *p <= 'F') {
            digit = (uint32_t)(*p - 'A' + 10);
        } else {
            return false;
        }
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) return false;
    }
    *out = (uint32_t)value;
    return true;
}

bool parseSpeed(const char* text, uint32_t* first, uint32_t* last) {
    char copy[64];
    size_t length = strlen(text);
    if (length >= sizeof copy) return false;
    memcpy(copy, text, length + 1);
    char* comma = strchr(copy, ',');
    if (comma == nullptr) return false;
    *comma = '\0';
    return parseNumber(copy, first) && parseNumber(comma + 1, last) && *first > 0 && *last > 0;
}

// a * b, false on overflow of 63 bits (image offsets must stay positive).
bool multiplyChecked(uint64_t a, uint64_t b, uint64_t* out) {
    if (a != 0 && b > (uint64_t)INT64_MAX / a) return false;
    *out = a * b;
    return true;
}

bool applyDriveLine(StandinConfig* cfg, const char* folder, char** tokens, int count, char* reason,
                    size_t reasonSize) {
    if (count < 6) {
        snprintf(reason, reasonSize, "drive needs IMAGE CYLINDERS HEADS SECTORS BYTES_PER_SECTOR");
        return false;
    }
    if (cfg->driveCount == STANDIN_MAX_DRIVES) {
        snprintf(reason, reasonSize, "more than %d drives", STANDIN_MAX_DRIVES);
        return false;
    }
    StandinDrive drive;
    memset(&drive, 0, sizeof drive);
    const char* names[4] = {"cylinders", "heads", "sectors", "bytes per sector"};
    uint32_t* fields[4] = {&drive.cylinders, &drive.heads, &drive.sectorsPerTrack, &drive.bytesPerSector};
    for (int i = 0; i < 4; ++i) {
        if (!parseNumber(tokens[2 + i], fields[i]) || *fields[i] == 0) {
            snprintf(reason, reasonSize, "%s \"%s\" is not a positive number", names[i], tokens[2 + i]);
            return false;
        }
    }
    if (drive.bytesPerSector > 0xFFFFu) {
        snprintf(reason, reasonSize, "bytes per sector %" PRIu32 " does not fit 16 bits", drive.bytesPerSector);
        return false;
    }
    uint64_t size;
    if (!multiplyChecked(drive.cylinders, drive.heads, &size) || !multiplyChecked(size, drive.sectorsPerTrack, &size) ||
        !multiplyChecked(size, drive.bytesPerSector, &size) ||
        (uint64_t)drive.sectorsPerTrack * drive.bytesPerSector > 0x7FFFFFFFu) {
        snprintf(reason, reasonSize, "geometry too large");
        return false;
    }
    for (int i = 6; i < count; ++i) {
        if (strcmp(tokens[i], "noparams") == 0) {
            drive.noParams = true;
        } else if (strcmp(tokens[i], "stream") == 0) {
            drive.streaming = true;
        } else if (strncmp(tokens[i], "speed=", 6) == 0) {
            if (!parseSpeed(tokens[i] + 6, &drive.firstKbps, &drive.lastKbps)) {
                snprintf(reason, reasonSize, "\"%s\" is not speed=FIRST_KBPS,LAST_KBPS with positive numbers",
                         tokens[i]);
                return false;
            }
            drive.paced = true;
        } else {
            snprintf(reason, reasonSize, "unknown drive option \"%s\"", tokens[i]);
            return false;
        }
    }
    if (!resolveConfigPath(folder, tokens[1], drive.image, sizeof drive.image)) {
        snprintf(reason, reasonSize, "image path too long");
        return false;
    }
    cfg->drives[cfg->driveCount++] = drive;
    return true;
}

bool applyFaultLine(StandinConfig* cfg, char** tokens, int count, char* reason, size_t reasonSize) {
    if (count != 4) {
        snprintf(reason, reasonSize, "fault needs CYLINDER HEAD CODE");
        return false;
    }
    if (cfg->lastDriveRejected) {
        snprintf(reason, reasonSize, "fault follows a drive line that was skipped");
        return false;
    }
    if (cfg->driveCount == 0) {
        snprintf(reason, reasonSize, "fault before any drive line");
        return false;
    }
    StandinDrive& drive = cfg->drives[cfg->driveCount - 1];
    StandinFault fault;
    if (!parseNumber(tokens[1], &fault.cylinder) || !parseNumber(tokens[2], &fault.head)) {
        snprintf(reason, reasonSize, "fault cylinder or head is not a number");
        return false;
    }
    if (fault.cylinder >= drive.cylinders || fault.head >= drive.heads) {
        snprintf(reason, reasonSize, "fault at %" PRIu32 "/%" PRIu32 " lies outside the drive", fault.cylinder,
                 fault.head);
        return false;
    }
    if (!parseNumber(tokens[3], &fault.code) || fault.code < 1 || fault.code > 255) {
        snprintf(reason, reasonSize, "fault code \"%s\" is not 1..255", tokens[3]);
        return false;
    }
    if (drive.faultCount == STANDIN_MAX_FAULTS) {
        snprintf(reason, reasonSize, "more than %d faults on one drive", STANDIN_MAX_FAULTS);
        return false;
    }
    drive.faults[drive.faultCount++] = fault;
    return true;
}

}  // namespace

bool resolveConfigPath(const char* folder, const char* path, char* out, size_t outSize) {
    bool absolute = path[0] == '\\' || path[0] == '/' ||
                    (((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':');
    size_t folderLength = absolute ? 0 : strlen(folder);
    bool needSeparator = folderLength > 0 && folder[folderLength - 1] != '\\' && folder[folderLength - 1] != '/';
    size_t pathLength = strlen(path);
    size_t total = folderLength + (needSeparator ? 1 : 0) + pathLength;
    if (total + 1 > outSize) return false;
    memcpy(out, folder, folderLength);
    if (needSeparator) out[folderLength] = '\\';
    memcpy(out + folderLength + (needSeparator ? 1 : 0), path, pathLength + 1);
    return true;
}

bool applyConfigLine(StandinConfig* cfg, const char* folder, const char* line, size_t length, char* reason,
                     size_t reasonSize) {
    if (length >= STANDIN_MAX_LINE) {
        snprintf(reason, reasonSize, "line longer than %d characters", STANDIN_MAX_LINE - 1);
        if (length > 0 && strncmp(line, "drive", 5) == 0) cfg->lastDriveRejected = true;
        return false;
    }
    char copy[STANDIN_MAX_LINE];
    memcpy(copy, line, length);
    copy[length] = '\0';
    if (memchr(copy, '\0', length) != nullptr) {
        snprintf(reason, reasonSize, "NUL character in line");
        return false;
    }
    char* tokens[MAX_TOKENS];
    int count = splitTokens(copy, tokens, reason, reasonSize);
    if (count < 0) return false;
    if (count == 0) return true;
    if (strcmp(tokens[0], "drive") == 0) {
        bool ok = applyDriveLine(cfg, folder, tokens, count, reason, reasonSize);
        cfg->lastDriveRejected = !ok;
        return ok;
    }
    if (strcmp(tokens[0], "fault") == 0) return applyFaultLine(cfg, tokens, count, reason, reasonSize);
    if (strcmp(tokens[0], "stats") == 0) {
        if (count != 2) {
            snprintf(reason, reasonSize, "stats needs exactly one PATH");
            return false;
        }
        if (!resolveConfigPath(folder, tokens[1], cfg->statsPath, sizeof cfg->statsPath)) {
            snprintf(reason, reasonSize, "stats path too long");
            return false;
        }
        cfg->hasStats = true;
        return true;
    }
    snprintf(reason, reasonSize, "unknown keyword \"%.40s\"", tokens[0]);
    return false;
}

void parseConfigText(StandinConfig* cfg, const char* folder, const char* text, size_t length, StandinReport report,
                     void* context) {
    memset(cfg, 0, sizeof *cfg);
    size_t pos = 0;
    // An editor's UTF-8 byte order mark is not part of the first keyword.
    if (length >= 3 && (uint8_t)text[0] == 0xEF && (uint8_t)text[1] == 0xBB && (uint8_t)text[2] == 0xBF) pos = 3;
    uint32_t lineNumber = 0;
    while (pos < length) {
        ++lineNumber;
        size_t end = pos;
        while (end < length && text[end] != '\n') ++end;
        size_t lineLength = end - pos;
        if (lineLength > 0 && text[pos + lineLength - 1] == '\r') --lineLength;
        char reason[STANDIN_MESSAGE_SIZE];
        if (!applyConfigLine(cfg, folder, text + pos, lineLength, reason, sizeof reason)) {
            char message[STANDIN_MESSAGE_SIZE + 40];
            snprintf(message, sizeof message, STANDIN_CONFIG_NAME " line %" PRIu32 ": %s (line skipped)", lineNumber,
                     reason);
            report(context, message);
        }
        pos = end + 1;
    }
}

const StandinDrive* findDrive(const StandinConfig& cfg, uint32_t driveNumber) {
    if (driveNumber < BIOS_FIRST_HARD_DISK || driveNumber - BIOS_FIRST_HARD_DISK >= cfg.driveCount) return nullptr;
    return &cfg.drives[driveNumber - BIOS_FIRST_HARD_DISK];
}

uint32_t planRead(const StandinConfig& cfg, uint32_t driveNumber, uint32_t cylinder, uint32_t head, uint32_t sector,
                  uint32_t count, StandinReadPlan* plan, char* message, size_t messageSize) {
    const StandinDrive* drive = findDrive(cfg, driveNumber);
    if (drive == nullptr) {
        snprintf(message, messageSize, "read from drive 0x%02" PRIX32 ", which is not configured", driveNumber);
        return STANDIN_WORD_BAD_ADDRESS;
    }
    // sector + count - 1 is compared without forming it, so huge counts cannot wrap.
    if (cylinder >= drive->cylinders || head >= drive->heads || sector == 0 || count == 0 ||
        sector > drive->sectorsPerTrack || count > drive->sectorsPerTrack - sector + 1) {
        snprintf(message, messageSize,
                 "drive 0x%02" PRIX32 ": read of %" PRIu32 " sectors at %" PRIu32 "/%" PRIu32 "/%" PRIu32
                 " lies outside the geometry %" PRIu32 "/%" PRIu32 "/%" PRIu32,
                 driveNumber, count, cylinder, head, sector, drive->cylinders, drive->heads, drive->sectorsPerTrack);
        return STANDIN_WORD_BAD_ADDRESS;
    }
    for (uint32_t i = 0; i < drive->faultCount; ++i) {
        const StandinFault& fault = drive->faults[i];
        if (fault.cylinder == cylinder && fault.head == head) {
            snprintf(message, messageSize,
                     "drive 0x%02" PRIX32 ": injected fault 0x%02" PRIX32 " at cylinder %" PRIu32 " head %" PRIu32,
                     driveNumber, fault.code, cylinder, head);
            return fault.code << 8;
        }
    }
    plan->driveIndex = driveNumber - BIOS_FIRST_HARD_DISK;
    uint64_t lba = ((uint64_t)cylinder * drive->heads + head) * drive->sectorsPerTrack + (sector - 1);
    plan->offset = lba * drive->bytesPerSector;
    plan->bytes = count * drive->bytesPerSector;
    return 0;
}

bool readFitsImage(uint64_t offset, uint32_t bytes, uint64_t imageSize) {
    return offset <= imageSize && bytes <= imageSize - offset;
}

uint32_t fillDriveParameters(const StandinConfig& cfg, uint32_t driveNumber, uint8_t block[DRIVE_PARAMETERS_SIZE],
                             char* message, size_t messageSize) {
    const StandinDrive* drive = findDrive(cfg, driveNumber);
    if (drive == nullptr) {
        snprintf(message, messageSize, "parameters of drive 0x%02" PRIX32 ", which is not configured", driveNumber);
        return STANDIN_PARAMS_FAILED;
    }
    if (drive->noParams) {
        snprintf(message, messageSize, "parameters of drive 0x%02" PRIX32 " refused (noparams)", driveNumber);
        return STANDIN_PARAMS_FAILED;
    }
    uint64_t total = (uint64_t)drive->cylinders * drive->heads * drive->sectorsPerTrack;
    memset(block, 0, DRIVE_PARAMETERS_SIZE);
    auto put = [block](int offset, uint64_t value, int width) {
        for (int i = 0; i < width; ++i) block[offset + i] = (uint8_t)(value >> (8 * i));
    };
    put(0, 26, 2);
    put(2, 0, 2);
    put(DRIVE_PARAMETERS_CYLINDERS, drive->cylinders, 4);
    put(DRIVE_PARAMETERS_HEADS, drive->heads, 4);
    put(DRIVE_PARAMETERS_SECTORS, drive->sectorsPerTrack, 4);
    put(16, total, 8);
    put(DRIVE_PARAMETERS_BYTES_PER_SECTOR, drive->bytesPerSector, 2);
    return 0;
}

uint32_t cylinderRateKbps(const StandinDrive& drive, uint32_t cylinder) {
    return paceRateKbps(drive.firstKbps, drive.lastKbps, drive.cylinders, cylinder);
}

bool readEndsCylinder(const StandinDrive& drive, uint32_t head, uint32_t sector, uint32_t count) {
    return head == drive.heads - 1 && sector + count - 1 == drive.sectorsPerTrack;
}

bool countPassRead(StandinPass* pass, const StandinDrive& drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                   uint32_t count, uint64_t entryUs, uint64_t exitUs) {
    const bool wholeTrack = sector == 1 && count == drive.sectorsPerTrack;
    if (wholeTrack && cylinder == 0 && head == 0) {
        const uint32_t number = pass->number + 1;
        *pass = StandinPass{true, number, 0, 0, entryUs, exitUs};
    }
    if (!pass->open) return false;
    ++pass->calls;
    pass->insideUs += exitUs - entryUs;
    pass->lastUs = exitUs;
    if (!(wholeTrack && cylinder == drive.cylinders - 1 && readEndsCylinder(drive, head, sector, count))) return false;
    pass->open = false;
    return true;
}

size_t formatPassLine(char* out, size_t outSize, uint32_t driveNumber, const StandinPass& pass) {
    int length = snprintf(out, outSize, "drive=0x%02" PRIX32 " pass=%" PRIu32 " calls=%" PRIu64 " inside_us=%" PRIu64
                          " span_us=%" PRIu64 "\n",
                          driveNumber, pass.number, pass.calls, pass.insideUs, pass.lastUs - pass.firstUs);
    if (length < 0) return 0;
    return (size_t)length < outSize ? (size_t)length : outSize - 1;
}
