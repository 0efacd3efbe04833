#include "app/text_format.h"

#include <stdarg.h>

namespace {

struct Output {
    char* at;
    uint32_t room;  // bytes left before the terminating zero
    int length;
};

void put(Output& o, char c) {
    if (o.room == 0) return;
    *o.at++ = c;
    --o.room;
    ++o.length;
}

void putField(Output& o, const char* text, uint32_t length, uint32_t width) {
    for (uint32_t pad = length; pad < width; ++pad) put(o, ' ');
    for (uint32_t i = 0; i < length; ++i) put(o, text[i]);
}

void putNumber(Output& o, uint32_t value, uint32_t base, uint32_t width) {
    static const char DIGITS[] = "0123456789ABCDEF";
    char reversed[10];
    uint32_t n = 0;
    do {
        reversed[n++] = DIGITS[value % base];
        value /= base;
    } while (value != 0);
    char digits[10];
    for (uint32_t i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    putField(o, digits, n, width);
}

}  // namespace

int formatText(char* out, uint32_t size, const char* format, ...) {
    if (size == 0) return 0;
    Output o = {out, size - 1, 0};
    va_list args;
    va_start(args, format);
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            put(o, *p);
            continue;
        }
        uint32_t width = 0;
        while (p[1] >= '0' && p[1] <= '9') width = width * 10 + (uint32_t)(*++p - '0');
        switch (*++p) {
        case 'u': putNumber(o, va_arg(args, unsigned), 10, width); break;
        case 'X': putNumber(o, va_arg(args, unsigned), 16, width); break;
        case 'c': {
            const char c = (char)va_arg(args, int);
            putField(o, &c, 1, width);
            break;
        }
        case 's': {
            const char* s = va_arg(args, const char*);
            uint32_t length = 0;
            while (s[length] != '\0') ++length;
            putField(o, s, length, width);
            break;
        }
        case '%': put(o, '%'); break;
        case '\0': --p; break;  // a lone '%' at the end is dropped
        default: put(o, '%'); put(o, *p); break;
        }
    }
    va_end(args);
    *o.at = '\0';
    return o.length;
}
