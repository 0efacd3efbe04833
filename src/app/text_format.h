// The program's texts are made here rather than by the C runtime's printf:
// the runtime's formatted printing brings its locale and wide-character
// machinery, whose imports (GetModuleHandleW, IsDBCSLeadByteEx, localeconv,
// ...) the 9x family lacks or only stubs (tools/compat/README.md).
#pragma once
#include <stdint.h>

// Writes format into out, always zero-terminated and cut at size - 1 bytes;
// returns the length written. Conversions, as wsprintfA does them: %u
// (unsigned 32-bit), %X (upper-case hexadecimal), %c, %s, each with an
// optional decimal width (right-aligned, blank-filled, as in "%4u"), and %%.
// Bytes other than '%' are copied as they are (the code-page-936 texts too).
int formatText(char* out, uint32_t size, const char* format, ...);
