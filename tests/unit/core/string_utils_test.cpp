#include "core/string_utils.h"

#include <gtest/gtest.h>

TEST(StringUtils, Utf8ToWideKeeps260Units) {
    EXPECT_EQ(Utf8ToWide(std::string(300, 'a')).size(), 260u);
}

TEST(StringUtils, EncodeUtf8StopsBeforeACharacterThatReachesTheLimit) {
    const char16_t units[] = {u'a', 0x00E9, 0x20AC, 0};
    char out[8];
    EXPECT_EQ(EncodeUtf8(units, out, 5), 3u);
    EXPECT_STREQ(out, "a\xC3\xA9");
    EXPECT_EQ(EncodeUtf8(u"", out, 5), 0u);
}

TEST(StringUtils, DecodeUtf8SkipsBrokenSequencesAndResumesAtTheBreak) {
    char16_t out[16];
    // e-acute, a lead byte cut short by "x", a lone continuation byte, the euro sign.
    EXPECT_EQ(DecodeUtf8("\xC3\xA9\xE2x\x85\xE2\x82\xAC", out, 15), 4u);
    EXPECT_EQ(out[0], 0x00E9);
    EXPECT_EQ(out[1], u'x');
    EXPECT_EQ(out[2], 0x05);
    EXPECT_EQ(out[3], 0x20AC);
    EXPECT_EQ(DecodeUtf8("\xE2\x82", out, 15), 0u);  // truncated at the terminator
}

TEST(StringUtils, Utf8PrefixLengthIsWhatDecodingReads) {
    const struct {
        const char* text;
        std::size_t limit, bytes;
    } cases[] = {
        {"abc", 2, 2},
        {"abc", 5, 3},                                // the whole text
        {"\xC3\xA9\xE2\x82\xAC!", 2, 5},              // e-acute and the euro sign
        {"\xE2x\xC3\xA9", 1, 2},                      // the cut sequence is read, yields nothing
        {"\xE2x\xC3\xA9", 2, 4},
        {"", 3, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8PrefixLength(c.text, c.limit), c.bytes) << c.text << " " << c.limit;
        char16_t all[16], prefix[16];
        EXPECT_EQ(DecodeUtf8(std::string(c.text, c.bytes).c_str(), prefix, 15), DecodeUtf8(c.text, all, c.limit));
    }
}

TEST(StringUtils, TrimAndSplit) {
    std::string text = "  en\r\n";
    TrimLeft(kBlanks, text);
    EXPECT_EQ(text, "en\r\n");
    TrimRight(kBlanks, text);
    EXPECT_EQ(text, "en");
    std::string blanks = " \t ";
    TrimRight(kBlanks, blanks);
    EXPECT_EQ(blanks, "");

    EXPECT_EQ(SplitString("12  2024-01-05\n", " \n"), (std::vector<std::string>{"12", "2024-01-05"}));
    EXPECT_TRUE(SplitString("", " \n").empty());
}

TEST(StringUtils, NumbersAndColours) {
    EXPECT_EQ(StringToUnsigned("abc"), 0u);
    EXPECT_EQ(StringToUnsigned("42 x"), 42u);
    EXPECT_EQ(IntToString(-7), "-7");
    EXPECT_EQ(PackARGB(1, 0.5f, 0, 2), 0xFFFF7F00u);

    float x = 1, y = 0;
    RotatePoint(x, y, 3.14159265f / 2);
    EXPECT_NEAR(x, 0, 1e-6);
    EXPECT_NEAR(y, -1, 1e-6);
}
