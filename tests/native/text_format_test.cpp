#include <gtest/gtest.h>

#include "app/text_format.h"

// The conversions the program's texts use, at their edges, and the cut at
// the buffer's end that the runtime's printf used to give.
TEST(FormatText, ConversionsWidthsAndTheBufferEnd) {
    char out[32];
    EXPECT_EQ(formatText(out, sizeof out, "%u|%X|%c|%s|%%", 4294967295u, 0x45Du, ':', "ok"), 21);
    EXPECT_STREQ(out, "4294967295|45D|:|ok|%");
    formatText(out, sizeof out, "[%4u][%5u][%4u]", 7u, 18000u, 123456u);
    EXPECT_STREQ(out, "[   7][18000][123456]");

    char small[6];
    EXPECT_EQ(formatText(small, sizeof small, "Track %u.", 1023u), 5);
    EXPECT_STREQ(small, "Track");
    EXPECT_EQ(formatText(small, 1, "%u", 5u), 0);
    EXPECT_STREQ(small, "");
}
