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

static const char* takeFault(void* context, const char* word) {
    SimDiskDrive* drive = (SimDiskDrive*)context;
    static const uint64_t LIMITS[3] = {~(uint64_t)0, ~(uint64_t)0, 0xFFFFFFFFu};
    uint64_t v[3];
    SimDiskFault* f;
    if (word[0] != 'f' || word[1] != 'a' || word[2] != 'u' || word[3] != 'l' || word[4] != 't' || word[5] != '=') {
        return "unknown option";
    }
    if (!driveLineNumbers(word + 6, v, LIMITS, 3) || v[1] == 0 || (v[2] & 0xC0000000u) != 0xC0000000u) {
        return "not fault=OFFSET,LENGTH,STATUS with LENGTH > 0 and an error STATUS";
    }
    if (drive->faultCount == SIMDISK_MAX_FAULTS) return "too many faults";
    f = &drive->faults[drive->faultCount++];
    f->offset = v[0];
    f->length = v[1];
    f->status = (uint32_t)v[2];
    return 0;
}

int simdiskParseDrive(const char* line, SimDiskDrive* drive, char* reason, size_t reasonSize) {
    drive->faultCount = 0;
    return driveLineParse(line, &drive->sim, takeFault, drive, reason, reasonSize);
}

uint64_t simdiskDiskBytes(const SimDiskDrive* drive) { return simulatedCylinderBytes(&drive->sim) * drive->sim.cylinders; }

static void put(uint8_t* at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) at[i] = (uint8_t)(value >> (8 * i));
}

void simdiskFillGeometry(const SimDiskDrive* drive, uint8_t reply[SIMDISK_GEOMETRY_SIZE]) {
    put(reply, drive->sim.cylinders, 8);
    put(reply + 8, 12, 4); /* FixedMedia */
    put(reply + 12, drive->sim.heads, 4);
    put(reply + 16, drive->sim.sectorsPerTrack, 4);
    put(reply + 20, drive->sim.bytesPerSector, 4);
}

#define CURRENT_POSITION 0xFFFFFFFFFFFFFFFEull

SimDiskReadPlan simdiskPlanRead(const SimDiskDrive* drive, const SimDiskOpen* open, uint64_t requestedOffset,
                                uint32_t length) {
    SimDiskReadPlan plan = {SIMDISK_STATUS_SUCCESS, requestedOffset, length, 0};
    uint64_t size = simdiskDiskBytes(drive);
    uint32_t i;

    if (requestedOffset == 0 || requestedOffset == CURRENT_POSITION) plan.offset = open->position;
    plan.cylinder = (uint32_t)(plan.offset / simulatedCylinderBytes(&drive->sim));
    if (open->noBuffering && (plan.offset % drive->sim.bytesPerSector != 0 || length % drive->sim.bytesPerSector != 0)) {
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
