/* No C library here: the driver links against the kernel only. */
#include "simdisk_logic.h"

typedef struct Text {
    char* out;
    size_t size;
    size_t length;
    int overflow;
} Text;

static void textChar(Text* t, char c) {
    if (t->length + 1 < t->size) {
        t->out[t->length++] = c;
        t->out[t->length] = 0;
    } else {
        t->overflow = 1;
    }
}

static void textString(Text* t, const char* s) {
    while (*s) textChar(t, *s++);
}

static void textDecimal(Text* t, uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) textChar(t, digits[--n]);
}

static Text textStart(char* out, size_t size) {
    Text t = {out, size, 0, 0};
    if (size > 0) out[0] = 0;
    return t;
}

static void fail(char* reason, size_t reasonSize, const char* what, const char* token) {
    Text t = textStart(reason, reasonSize);
    textString(&t, what);
    if (token) {
        textString(&t, ": \"");
        textString(&t, token);
        textChar(&t, '"');
    }
}

static int isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

/* Copies the next whitespace-separated token (or a double-quoted one) into
   token; returns the position after it, or 0 at the end of the line or
   when the token does not fit. */
static const char* nextToken(const char* p, char* token, size_t size, int* tooLong) {
    *tooLong = 0;
    while (*p && isSpace(*p)) ++p;
    if (!*p) return 0;
    size_t n = 0;
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') {
            if (n + 1 >= size) { *tooLong = 1; return 0; }
            token[n++] = *p++;
        }
        if (*p != '"') { *tooLong = 1; return 0; }
        ++p;
    } else {
        while (*p && !isSpace(*p)) {
            if (n + 1 >= size) { *tooLong = 1; return 0; }
            token[n++] = *p++;
        }
    }
    token[n] = 0;
    return p;
}

/* Decimal or 0x-hexadecimal, the whole of [s, end) or up to a comma;
   *rest receives what follows. */
static int parseNumber(const char* s, uint64_t max, uint64_t* value, const char** rest) {
    uint64_t v = 0;
    int digits = 0;
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s += 2;
        for (;; ++s, ++digits) {
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

static int wholeNumber(const char* s, uint64_t max, uint64_t* value) {
    const char* rest;
    return parseNumber(s, max, value, &rest) && *rest == 0;
}

static int startsWith(const char* s, const char* prefix) {
    while (*prefix) {
        if (*s++ != *prefix++) return 0;
    }
    return 1;
}

/* "A,B" or "A,B,C" into values; count says how many. */
static int numberList(const char* s, uint64_t values[], const uint64_t max[], int count) {
    for (int i = 0; i < count; ++i) {
        const char* rest;
        if (!parseNumber(s, max[i], &values[i], &rest)) return 0;
        if (i + 1 < count) {
            if (*rest != ',') return 0;
            s = rest + 1;
        } else if (*rest != 0) {
            return 0;
        }
    }
    return 1;
}

int simdiskParseDrive(const char* line, SimDiskDrive* drive, char* reason, size_t reasonSize) {
    char token[SIMDISK_PATH_SIZE];
    int tooLong = 0;
    const char* p = line;
    size_t i;

    for (i = 0; i < sizeof *drive; ++i) ((char*)drive)[i] = 0;
    if (reasonSize > 0) reason[0] = 0;

    p = nextToken(p, drive->image, sizeof drive->image, &tooLong);
    if (!p) {
        fail(reason, reasonSize, tooLong ? "image path too long or unterminated" : "no image path", 0);
        return 0;
    }

    static const char* const NAMES[4] = {"cylinders", "heads", "sectors per track", "bytes per sector"};
    /* Limits of the geometry reply and of sane sector sizes. */
    static const uint64_t MAX[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 65536u};
    uint32_t* fields[4] = {&drive->cylinders, &drive->heads, &drive->sectorsPerTrack, &drive->bytesPerSector};
    for (i = 0; i < 4; ++i) {
        uint64_t v;
        p = nextToken(p, token, sizeof token, &tooLong);
        if (!p) {
            fail(reason, reasonSize, "missing", NAMES[i]);
            return 0;
        }
        if (!wholeNumber(token, MAX[i], &v) || v == 0) {
            fail(reason, reasonSize, "not a positive number", token);
            return 0;
        }
        *fields[i] = (uint32_t)v;
    }

    while ((p = nextToken(p, token, sizeof token, &tooLong)) != 0) {
        if (startsWith(token, "speed=")) {
            uint64_t v[2];
            static const uint64_t LIMITS[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
            if (!numberList(token + 6, v, LIMITS, 2) || v[0] == 0 || v[1] == 0) {
                fail(reason, reasonSize, "not speed=FIRST_KBPS,LAST_KBPS with positive numbers", token);
                return 0;
            }
            drive->paced = 1;
            drive->firstKbps = (uint32_t)v[0];
            drive->lastKbps = (uint32_t)v[1];
        } else if (startsWith(token, "stream") && token[6] == 0) {
            drive->streaming = 1;
        } else if (startsWith(token, "fault=")) {
            uint64_t v[3];
            static const uint64_t LIMITS[3] = {~(uint64_t)0, ~(uint64_t)0, 0xFFFFFFFFu};
            if (!numberList(token + 6, v, LIMITS, 3) || v[1] == 0 || (v[2] & 0xC0000000u) != 0xC0000000u) {
                fail(reason, reasonSize, "not fault=OFFSET,LENGTH,STATUS with LENGTH > 0 and an error STATUS",
                     token);
                return 0;
            }
            if (drive->faultCount == SIMDISK_MAX_FAULTS) {
                fail(reason, reasonSize, "too many faults", token);
                return 0;
            }
            SimDiskFault* f = &drive->faults[drive->faultCount++];
            f->offset = v[0];
            f->length = v[1];
            f->status = (uint32_t)v[2];
        } else {
            fail(reason, reasonSize, "unknown option", token);
            return 0;
        }
    }
    if (tooLong) {
        fail(reason, reasonSize, "option too long or unterminated", 0);
        return 0;
    }
    /* The geometry must describe a disk whose size fits 64 bits. */
    uint64_t cylinderBytes = (uint64_t)drive->heads * drive->sectorsPerTrack * drive->bytesPerSector;
    if (cylinderBytes > 0xFFFFFFFFu) {
        fail(reason, reasonSize, "one cylinder is larger than 4 GiB", 0);
        return 0;
    }
    return 1;
}

uint64_t simdiskCylinderBytes(const SimDiskDrive* drive) {
    return (uint64_t)drive->heads * drive->sectorsPerTrack * drive->bytesPerSector;
}

uint64_t simdiskDiskBytes(const SimDiskDrive* drive) { return simdiskCylinderBytes(drive) * drive->cylinders; }

static void put(uint8_t* at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

void simdiskFillGeometry(const SimDiskDrive* drive, uint8_t reply[SIMDISK_GEOMETRY_SIZE]) {
    put(reply, drive->cylinders, 8);
    put(reply + 8, 12, 4); /* FixedMedia */
    put(reply + 12, drive->heads, 4);
    put(reply + 16, drive->sectorsPerTrack, 4);
    put(reply + 20, drive->bytesPerSector, 4);
}

#define CURRENT_POSITION 0xFFFFFFFFFFFFFFFEull

SimDiskReadPlan simdiskPlanRead(const SimDiskDrive* drive, const SimDiskOpen* open, uint64_t requestedOffset,
                                uint32_t length) {
    SimDiskReadPlan plan = {SIMDISK_STATUS_SUCCESS, requestedOffset, length, 0};
    uint64_t size = simdiskDiskBytes(drive);
    uint32_t i;

    if (requestedOffset == 0 || requestedOffset == CURRENT_POSITION) plan.offset = open->position;
    plan.cylinder = (uint32_t)(plan.offset / simdiskCylinderBytes(drive));
    if (open->noBuffering && (plan.offset % drive->bytesPerSector != 0 || length % drive->bytesPerSector != 0)) {
        plan.status = SIMDISK_STATUS_INVALID_PARAMETER;
        plan.length = 0;
        return plan;
    }
    if (plan.offset >= size) {
        plan.status = SIMDISK_STATUS_END_OF_FILE;
        plan.length = 0;
        return plan;
    }
    if (length > size - plan.offset) plan.length = (uint32_t)(size - plan.offset);
    for (i = 0; i < drive->faultCount; ++i) {
        const SimDiskFault* f = &drive->faults[i];
        /* Overlap of [offset, offset + length) with the fault's range,
           written so that neither end can wrap. */
        int overlaps = f->offset <= plan.offset ? plan.offset - f->offset < f->length
                                                : f->offset - plan.offset < plan.length;
        if (plan.length > 0 && overlaps) {
            plan.status = f->status;
            plan.length = 0;
            return plan;
        }
    }
    return plan;
}

void simdiskFinishRead(SimDiskOpen* open, const SimDiskReadPlan* plan) {
    if (plan->status == SIMDISK_STATUS_SUCCESS) open->position = plan->offset + plan->length;
}

void simdiskCountRead(SimDiskStats* stats, const SimDiskReadPlan* plan) {
    ++stats->reads;
    if (plan->status != SIMDISK_STATUS_SUCCESS) {
        ++stats->failedReads;
        return;
    }
    stats->bytes += plan->length;
    stats->lastEnd = plan->offset + plan->length;
}

size_t simdiskFormatStats(char* out, size_t outSize, uint32_t drive, const SimDiskStats* stats) {
    Text t = textStart(out, outSize);
    textString(&t, "drive=");
    textDecimal(&t, drive);
    textString(&t, " opens=");
    textDecimal(&t, stats->opens);
    textString(&t, " unbuffered=");
    textDecimal(&t, stats->unbufferedOpens);
    textString(&t, " reads=");
    textDecimal(&t, stats->reads);
    textString(&t, " failed=");
    textDecimal(&t, stats->failedReads);
    textString(&t, " bytes=");
    textDecimal(&t, stats->bytes);
    textString(&t, " end=");
    textDecimal(&t, stats->lastEnd);
    textString(&t, "\r\n");
    if (t.overflow) {
        if (outSize > 0) out[0] = 0;
        return 0;
    }
    return t.length;
}
