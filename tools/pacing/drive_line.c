/* No C library here: the driver links against the kernel only. */
#include "pacing/drive_line.h"

static int isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* driveLineWord(const char* p, char* word, size_t size, const char** error) {
    size_t n = 0;
    *error = 0;
    while (isBlank(*p)) ++p;
    if (*p == 0 || *p == '#') return 0;
    if (*p == '"') {
        for (++p; *p != '"'; ++p) {
            if (*p == 0) { *error = "unterminated quote"; return 0; }
            if (n + 1 >= size) { *error = "word too long"; return 0; }
            word[n++] = *p;
        }
        ++p;
        if (*p != 0 && !isBlank(*p) && *p != '#') { *error = "text right after a closing quote"; return 0; }
    } else {
        for (; *p != 0 && !isBlank(*p) && *p != '#'; ++p) {
            if (n + 1 >= size) { *error = "word too long"; return 0; }
            word[n++] = *p;
        }
    }
    word[n] = 0;
    return p;
}

int driveLineNumber(const char* s, uint64_t max, uint64_t* value, const char** rest) {
    uint64_t v = 0;
    int digits = 0;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        for (s += 2;; ++s, ++digits) {
            unsigned d;
            if (*s >= '0' && *s <= '9') d = (unsigned)(*s - '0');
            else if (*s >= 'a' && *s <= 'f') d = (unsigned)(*s - 'a' + 10);
            else if (*s >= 'A' && *s <= 'F') d = (unsigned)(*s - 'A' + 10);
            else break;
            if (v > (max >> 4)) return 0;
            v = v * 16 + d;
        }
    } else {
        for (; *s >= '0' && *s <= '9'; ++s, ++digits) {
            unsigned d = (unsigned)(*s - '0');
            if (v > (max - d) / 10) return 0;
            v = v * 10 + d;
        }
    }
    if (digits == 0 || v > max) return 0;
    *value = v;
    *rest = s;
    return 1;
}

int driveLineNumbers(const char* s, uint64_t values[], const uint64_t max[], int count) {
    for (int i = 0; i < count; ++i) {
        const char* rest;
        if (!driveLineNumber(s, max[i], &values[i], &rest)) return 0;
        if (*rest != (i + 1 < count ? ',' : 0)) return 0;
        s = rest + 1;
    }
    return 1;
}

static void fail(char* reason, size_t size, const char* what, const char* word) {
    size_t n = 0;
    const char* parts[3] = {what, word ? ": \"" : "", word ? word : ""};
    for (int k = 0; k < 3; ++k) {
        for (const char* p = parts[k]; *p && n + 1 < size; ++p) reason[n++] = *p;
    }
    if (word && n + 1 < size) reason[n++] = '"';
    if (size > 0) reason[n] = 0;
}

static int startsWith(const char* s, const char* prefix) {
    while (*prefix) {
        if (*s++ != *prefix++) return 0;
    }
    return 1;
}

int driveLineParse(const char* line, SimulatedDrive* drive, DriveLineOption option, void* context, char* reason,
                   size_t reasonSize) {
    static const char* const NAMES[4] = {"cylinders", "heads", "sectors per track", "bytes per sector"};
    static const uint64_t MAX[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFu};
    uint32_t* fields[4] = {&drive->cylinders, &drive->heads, &drive->sectorsPerTrack, &drive->bytesPerSector};
    char word[DRIVE_LINE_WORD_SIZE];
    const char* error;
    const char* p;
    size_t i;

    for (i = 0; i < sizeof *drive; ++i) ((char*)drive)[i] = 0;
    if (reasonSize > 0) reason[0] = 0;
    p = driveLineWord(line, drive->image, sizeof drive->image, &error);
    if (!p) {
        fail(reason, reasonSize, error ? error : "no image path", 0);
        return 0;
    }
    for (i = 0; i < 4; ++i) {
        uint64_t v;
        const char* rest;
        p = driveLineWord(p, word, sizeof word, &error);
        if (!p) {
            fail(reason, reasonSize, error ? error : "missing", NAMES[i]);
            return 0;
        }
        if (!driveLineNumber(word, MAX[i], &v, &rest) || *rest != 0 || v == 0) {
            fail(reason, reasonSize, i == 3 ? "not a number from 1 to 65535" : "not a positive number", word);
            return 0;
        }
        *fields[i] = (uint32_t)v;
    }
    while ((p = driveLineWord(p, word, sizeof word, &error)) != 0) {
        if (startsWith(word, "speed=")) {
            uint64_t v[2];
            static const uint64_t LIMITS[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
            if (!driveLineNumbers(word + 6, v, LIMITS, 2) || v[0] == 0 || v[1] == 0) {
                fail(reason, reasonSize, "not speed=FIRST_KBPS,LAST_KBPS with positive numbers", word);
                return 0;
            }
            drive->paced = 1;
            drive->firstKbps = (uint32_t)v[0];
            drive->lastKbps = (uint32_t)v[1];
        } else if (startsWith(word, "stream") && word[6] == 0) {
            drive->streaming = 1;
        } else {
            const char* refused = option ? option(context, word) : "unknown option";
            if (refused) {
                fail(reason, reasonSize, refused, word);
                return 0;
            }
        }
    }
    if (error) {
        fail(reason, reasonSize, error, 0);
        return 0;
    }
    /* Reads and their pacing count a cylinder's bytes in 31 bits, and so the
       whole disk stays within 63. */
    if (simulatedCylinderBytes(drive) > 0x7FFFFFFFu) {
        fail(reason, reasonSize, "one cylinder is larger than 2 GiB", 0);
        return 0;
    }
    return 1;
}
