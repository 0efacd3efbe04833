#include "harness_script.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

bool noHandler(const Command&) { return true; }

// Commands of the harness's own table, as its argument patterns go.
const CommandSpec TABLE[] = {
    {"wait-window", "s?n", DEFAULT_TIMEOUT_MS, noHandler},
    {"wait-gone", "s?n", DEFAULT_TIMEOUT_MS, noHandler},
    {"text", "i", 0, noHandler},
    {"iconic", "", 0, noHandler},
    {"press", "i", 0, noHandler},
    {"command", "i?n", 0, noHandler},
    {"check", "ib", 0, noHandler},
    {"wait-box", "?n", DEFAULT_TIMEOUT_MS, noHandler},
    {"answer", "B", 0, noHandler},
    {"capture", "s!nnnn", 0, noHandler},
    {"sleep", "n", 0, noHandler},
    {"wait-file-dialog", "?n", DEFAULT_TIMEOUT_MS, noHandler},
    {"file-name", "s", 0, noHandler},
    {"hold-file", "s", 0, noHandler},
    {"wait-text", "is?n", DEFAULT_TIMEOUT_MS, noHandler},
};
const int TABLE_SIZE = sizeof(TABLE) / sizeof(TABLE[0]);

struct Parsed {
    bool ok;
    Script script;
    char error[ERROR_TEXT_SIZE];
};

Parsed parse(const std::vector<const char*>& args) {
    Parsed p;
    p.ok = parseScript(int(args.size()), args.data(), TABLE, TABLE_SIZE, &p.script, p.error, sizeof p.error);
    return p;
}

TEST(HarnessScript, SplitsCommandsAtDoubleDashAndFillsDefaults) {
    Parsed p = parse({"wait-window", "A -- B", "--", "text", "109", "--", "wait-box", "--", "command", "101", "--", "press", "0x65"});
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(5, p.script.count);
    const Command& wait = p.script.commands[0];
    EXPECT_EQ(&TABLE[0], wait.entry);
    EXPECT_STREQ("A -- B", wait.text[0]);  // "--" inside an argument is not a separator
    EXPECT_EQ(DEFAULT_TIMEOUT_MS, wait.number[1]);
    EXPECT_STREQ("text", p.script.commands[1].entry->name);
    EXPECT_EQ(109, p.script.commands[1].number[0]);
    EXPECT_EQ(DEFAULT_TIMEOUT_MS, p.script.commands[2].number[0]);
    EXPECT_EQ(0, p.script.commands[3].number[1]);  // notification code BN_CLICKED
    EXPECT_EQ(101, p.script.commands[4].number[0]);
}

TEST(HarnessScript, GivenNumbersOverrideDefaults) {
    Parsed p = parse({"wait-gone", "X", "250", "--", "capture", "/tmp/a.bmp", "1", "2", "30", "40", "--", "answer", "yes"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(250, p.script.commands[0].number[1]);
    const Command& capture = p.script.commands[1];
    EXPECT_EQ(5, capture.argCount);
    EXPECT_EQ(1, capture.number[1]);
    EXPECT_EQ(40, capture.number[4]);
    EXPECT_EQ(6, p.script.commands[2].number[0]);  // IDYES, any letter case
    Parsed f = parse({"wait-file-dialog", "--", "file-name", "/tmp/a b", "--", "hold-file", "x.dat"});
    ASSERT_TRUE(f.ok) << f.error;
    EXPECT_EQ(DEFAULT_TIMEOUT_MS, f.script.commands[0].number[0]);
    EXPECT_STREQ("/tmp/a b", f.script.commands[1].text[0]);
    EXPECT_STREQ("hold-file", f.script.commands[2].entry->name);
}

TEST(HarnessScript, RejectsMalformedScriptsWithAReason) {
    struct Case {
        std::vector<const char*> args;
        const char* reasonPart;
    };
    const Case cases[] = {
        {{}, "no command"},
        {{"bogus"}, "unknown command 'bogus'"},
        {{"text"}, "'text' takes 1 to 1 arguments, got 0"},
        {{"iconic", "1"}, "got 1"},
        {{"text", "109", "--"}, "empty command"},
        {{"--", "iconic"}, "empty command"},
        {{"iconic", "--", "--", "iconic"}, "empty command"},
        {{"text", "abc"}, "must be a control id"},
        {{"text", "0x10000"}, "must be a control id"},
        {{"text", "-2"}, "must be a control id"},
        {{"sleep", "-5"}, "non-negative"},
        {{"sleep", "99999999999"}, "non-negative"},
        {{"sleep", "0x"}, "non-negative"},
        {{"check", "107", "2"}, "0 or 1"},
        {{"answer", "Maybe"}, "button name"},
        {{"capture", "f.bmp", "1", "2"}, "'capture' takes 1 or 5 arguments, got 3"},
        {{"file-name"}, "'file-name' takes 1 to 1 arguments, got 0"},
        {{"wait-file-dialog", "soon"}, "non-negative"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.args);
        EXPECT_FALSE(p.ok) << c.reasonPart;
        EXPECT_NE(nullptr, strstr(p.error, c.reasonPart)) << "got: " << p.error;
    }
}

TEST(HarnessScript, UsageListsEveryCommandWithItsArguments) {
    char usage[2048];
    writeUsage(TABLE, TABLE_SIZE, usage, sizeof usage);
    EXPECT_NE(nullptr, strstr(usage, "\n  wait-window TEXT [N]\n"));
    EXPECT_NE(nullptr, strstr(usage, "\n  iconic\n"));
    EXPECT_NE(nullptr, strstr(usage, "\n  check ID 0|1\n"));
    EXPECT_NE(nullptr, strstr(usage, "\n  wait-box [N]\n"));
    EXPECT_NE(nullptr, strstr(usage, "\n  capture TEXT [N N N N]\n"));
    EXPECT_NE(nullptr, strstr(usage, "\n  wait-text ID TEXT [N]\n"));
    char small[40];
    writeUsage(TABLE, TABLE_SIZE, small, sizeof small);
    EXPECT_EQ(sizeof small - 1, strlen(small));  // cut, never overrun
}

TEST(HarnessScript, RejectsMoreCommandsThanItHolds) {
    std::vector<const char*> args;
    for (int i = 0; i <= MAX_SCRIPT_COMMANDS; ++i) {
        if (i) args.push_back("--");
        args.push_back("iconic");
    }
    EXPECT_FALSE(parse(args).ok);
    args.resize(args.size() - 2);
    EXPECT_TRUE(parse(args).ok);
}

TEST(HarnessScript, ControlIdsAcceptDecimalHexAndStaticMinusOne) {
    int32_t id = 0;
    EXPECT_TRUE(parseControlId("65535", &id));
    EXPECT_EQ(0xFFFF, id);
    EXPECT_TRUE(parseControlId("-1", &id));
    EXPECT_EQ(0xFFFF, id);
    EXPECT_TRUE(parseControlId("0X6d", &id));
    EXPECT_EQ(109, id);
    EXPECT_FALSE(parseControlId("", &id));
    EXPECT_FALSE(parseControlId("10 ", &id));
    EXPECT_FALSE(parseControlId("0x1g", &id));
}

TEST(HarnessScript, EscapesLineBreaksAndTabsOnly) {
    char out[64];
    EXPECT_TRUE(escapeText("a\nb\r\n\tc\\d \xE4\xB8\xAD", out, sizeof out));
    EXPECT_STREQ("a\\nb\\r\\n\\tc\\d \xE4\xB8\xAD", out);
}

TEST(HarnessScript, EscapingCutsCleanlyAtTheBufferEnd) {
    char out[5];
    EXPECT_FALSE(escapeText("abc\nd", out, sizeof out));
    EXPECT_STREQ("abc", out);  // never half an escape
    EXPECT_TRUE(escapeText("abcd", out, sizeof out));
    EXPECT_STREQ("abcd", out);
    EXPECT_FALSE(escapeText("abcde", out, sizeof out));
    EXPECT_STREQ("abcd", out);
}

TEST(HarnessScript, ButtonNamesMatchTheStandardCommandIds) {
    EXPECT_STREQ("OK", buttonName(1));
    EXPECT_STREQ("Cancel", buttonName(2));
    EXPECT_STREQ("Yes", buttonName(6));
    EXPECT_STREQ("No", buttonName(7));
    EXPECT_STREQ("Continue", buttonName(11));
    EXPECT_EQ(nullptr, buttonName(0));
    EXPECT_EQ(nullptr, buttonName(12));
    EXPECT_EQ(nullptr, buttonName(101));
    for (int id = 1; id <= 11; ++id) EXPECT_EQ(id, buttonIdByName(buttonName(id)));
    EXPECT_EQ(10, buttonIdByName("tryagain"));
    EXPECT_EQ(0, buttonIdByName("O"));
    EXPECT_EQ(0, buttonIdByName("OKAY"));
}

TEST(HarnessScript, UnixPathsGoThroughDriveZ) {
    char out[64];
    windowsPathFromArgument("/work/build/shot.bmp", out, sizeof out);
    EXPECT_STREQ("Z:\\work\\build\\shot.bmp", out);
    windowsPathFromArgument("C:\\x/y.bmp", out, sizeof out);
    EXPECT_STREQ("C:\\x/y.bmp", out);
    windowsPathFromArgument("/abcdef", out, 6);
    EXPECT_STREQ("Z:\\ab", out);
}

TEST(HarnessScript, BmpHeaderDescribesBottomUp24BitRows) {
    EXPECT_EQ(0u, bmpRowBytes(0));
    EXPECT_EQ(4u, bmpRowBytes(1));
    EXPECT_EQ(8u, bmpRowBytes(2));
    EXPECT_EQ(12u, bmpRowBytes(4));
    EXPECT_EQ(16u, bmpRowBytes(5));
    uint8_t h[54];
    bmpHeader(5, 3, h);
    auto get32 = [&h](int at) { return uint32_t(h[at] | h[at + 1] << 8 | h[at + 2] << 16 | uint32_t(h[at + 3]) << 24); };
    EXPECT_EQ('B', h[0]);
    EXPECT_EQ('M', h[1]);
    EXPECT_EQ(54u + 16u * 3u, get32(2));
    EXPECT_EQ(54u, get32(10));
    EXPECT_EQ(40u, get32(14));
    EXPECT_EQ(5u, get32(18));
    EXPECT_EQ(3u, get32(22));  // positive height: bottom-up
    EXPECT_EQ(1, h[26]);
    EXPECT_EQ(24, h[28]);
    EXPECT_EQ(0u, get32(30));  // no compression
    EXPECT_EQ(48u, get32(34));
}

}  // namespace
