#include "standin_logic.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

namespace {

enum { MAX_WORDS = 5 };

// Splits a fault or stats line into at most MAX_WORDS words, by the rules of
// drive lines. Returns the word count, or -1 with reason filled.
int splitWords(const char* line, char words[MAX_WORDS][DRIVE_LINE_WORD_SIZE], char* reason, size_t reasonSize) {
    int count = 0;
    const char* error;
    char word[DRIVE_LINE_WORD_SIZE];
    for (const char* p = line; (p = driveLineWord(p, word, sizeof word, &error)) != nullptr;) {
        if (count == MAX_WORDS) {
            snprintf(reason, reasonSize, "more than %d words", MAX_WORDS);
            return -1;
        }
        memcpy(words[count++], word, sizeof word);
    }
    if (error) {
        snprintf(reason, reasonSize, "%s", error);
        return -1;
    }
    return count;
}

bool parseNumber(const char* text, uint32_t* out) {
    uint64_t value;
    const char* rest;
    if (!driveLineNumber(text, 0xFFFFFFFFu, &value, &rest) || *rest != '\0') return false;
    *out = (uint32_t)value;
    return true;
}

const char* takeDriveOption(void* context, const char* word) {
    if (strcmp(word, "noparams") != 0) return "unknown drive option";
    ((StandinDrive*)context)->noParams = true;
    return nullptr;
}

// rest is the line after the word "drive".
bool applyDriveLine(StandinConfig* cfg, const char* folder, const char* rest, char* reason, size_t reasonSize) {
    if (cfg->driveCount == STANDIN_MAX_DRIVES) {
        snprintf(reason, reasonSize, "more than %d drives", STANDIN_MAX_DRIVES);
        return false;
    }
    StandinDrive drive;
    memset(&drive, 0, sizeof drive);
    if (!driveLineParse(rest, &drive.sim, takeDriveOption, &drive, reason, reasonSize)) return false;
    char written[DRIVE_LINE_PATH_SIZE];
    memcpy(written, drive.sim.image, sizeof written);
    if (!resolveConfigPath(folder, written, drive.sim.image, sizeof drive.sim.image)) {
        snprintf(reason, reasonSize, "image path too long");
        return false;
    }
    cfg->drives[cfg->driveCount++] = drive;
    return true;
}

bool applyFaultLine(StandinConfig* cfg, char tokens[MAX_WORDS][DRIVE_LINE_WORD_SIZE], int count, char* reason,
                    size_t reasonSize) {
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
    if (fault.cylinder >= drive.sim.cylinders || fault.head >= drive.sim.heads) {
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
    char keyword[DRIVE_LINE_WORD_SIZE];
    const char* error;
    const char* rest = driveLineWord(copy, keyword, sizeof keyword, &error);
    if (rest != nullptr && strcmp(keyword, "drive") == 0) {
        bool ok = applyDriveLine(cfg, folder, rest, reason, reasonSize);
        cfg->lastDriveRejected = !ok;
        return ok;
    }
    char tokens[MAX_WORDS][DRIVE_LINE_WORD_SIZE];
    int count = splitWords(copy, tokens, reason, reasonSize);
    if (count < 0) return false;
    if (count == 0) return true;
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
    if (cylinder >= drive->sim.cylinders || head >= drive->sim.heads || sector == 0 || count == 0 ||
        sector > drive->sim.sectorsPerTrack || count > drive->sim.sectorsPerTrack - sector + 1) {
        snprintf(message, messageSize,
                 "drive 0x%02" PRIX32 ": read of %" PRIu32 " sectors at %" PRIu32 "/%" PRIu32 "/%" PRIu32
                 " lies outside the geometry %" PRIu32 "/%" PRIu32 "/%" PRIu32,
                 driveNumber, count, cylinder, head, sector, drive->sim.cylinders, drive->sim.heads, drive->sim.sectorsPerTrack);
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
    uint64_t lba = ((uint64_t)cylinder * drive->sim.heads + head) * drive->sim.sectorsPerTrack + (sector - 1);
    plan->offset = lba * drive->sim.bytesPerSector;
    plan->bytes = count * drive->sim.bytesPerSector;
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
    uint64_t total = (uint64_t)drive->sim.cylinders * drive->sim.heads * drive->sim.sectorsPerTrack;
    memset(block, 0, DRIVE_PARAMETERS_SIZE);
    auto put = [block](int offset, uint64_t value, int width) {
        for (int i = 0; i < width; ++i) block[offset + i] = (uint8_t)(value >> (8 * i));
    };
    put(0, 26, 2);
    put(2, 0, 2);
    put(DRIVE_PARAMETERS_CYLINDERS, drive->sim.cylinders, 4);
    put(DRIVE_PARAMETERS_HEADS, drive->sim.heads, 4);
    put(DRIVE_PARAMETERS_SECTORS, drive->sim.sectorsPerTrack, 4);
    put(16, total, 8);
    put(DRIVE_PARAMETERS_BYTES_PER_SECTOR, drive->sim.bytesPerSector, 2);
    return 0;
}

bool readEndsCylinder(const StandinDrive& drive, uint32_t head, uint32_t sector, uint32_t count) {
    return head == drive.sim.heads - 1 && sector + count - 1 == drive.sim.sectorsPerTrack;
}

bool countPassRead(StandinPass* pass, const StandinDrive& drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                   uint32_t count, uint64_t entryUs, uint64_t exitUs) {
    const bool wholeTrack = sector == 1 && count == drive.sim.sectorsPerTrack;
    if (wholeTrack && cylinder == 0 && head == 0) {
        const uint32_t number = pass->number + 1;
        *pass = StandinPass{true, number, 0, 0, entryUs, exitUs};
    }
    if (!pass->open) return false;
    ++pass->calls;
    pass->insideUs += exitUs - entryUs;
    pass->lastUs = exitUs;
    if (!(wholeTrack && cylinder == drive.sim.cylinders - 1 && readEndsCylinder(drive, head, sector, count))) return false;
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
