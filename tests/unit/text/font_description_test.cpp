// The ".fnt" reader on bytes: lines, entities, the override list and what it refuses.
#include <gtest/gtest.h>

#include "fixtures/fnt_fixture.h"
#include "text/font_description.h"

namespace {

FontDescription Parse(const std::string& bytes, bool expectLoaded = true) {
    FontDescription out;
    std::string reason;
    EXPECT_EQ(ParseFontDescription(bytes, "fonts/test.fnt", out, reason), expectLoaded) << reason;
    return out;
}

TEST(FontDescription, CharacterValues) {
    const struct {
        const char* value;
        char16_t unit;
    } cases[] = {{"&quot;", 34}, {"&amp;", 38}, {"&apos;", 39}, {"&nbsp;", 32}, {"&lt;", 60}, {"&gt;", 62},
                 {"A", u'A'},    {"Abc", u'A'}, {"\xC3\xA9", 0xE9}, {"\xE4\xB8\x80x", 0x4E00}, {"", 0}, {"&bogus;", u'&'}};
    for (const auto& c : cases) EXPECT_EQ(DecodeFontCharacter(c.value), c.unit) << c.value;
}

// Brackets and "#" in character values, and an override list after the tags: the tags
// are not part of the list reading, so the list is still found and read.
TEST(FontDescription, OverrideListSurvivesBracketCharacters) {
    FntFont font = BoxFont(20);
    font.spaceLength = 5;
    font.lineSpacing = 1;
    for (const char* c : {"(", ")", "[", "]", "#", "&nbsp;"}) font.glyphs.push_back({c, 0, 0, 10, 7, 0, 0, 6, 10});
    font.extraLines = "(overrides\n  (SPACE_LENGTH 7) # comment\n  (line_spacing \"3\")\n  (unknown 9)\n)\n";
    const FontDescription d = Parse(FntDescription(font));
    EXPECT_FLOAT_EQ(d.settings.size, 20);
    EXPECT_FLOAT_EQ(d.settings.spaceLength, 7);
    EXPECT_FLOAT_EQ(d.settings.lineSpacing, 3);
    EXPECT_FLOAT_EQ(d.settings.paragraphSpacing, 0);
    for (char16_t c : {u'(', u')', u'[', u']', u'#', u' ', u'A', u'z'}) EXPECT_TRUE(d.characters.count(c)) << int(c);
    EXPECT_EQ(d.pageCount, 1);
}

TEST(FontDescription, WithoutOverrideListKeepsFontLine) {
    FntFont font = BoxFont(20);
    font.spaceLength = 5;
    font.glyphs.push_back({"(", 0, 0, 10, 7, 0, 0, 6, 10});
    EXPECT_FLOAT_EQ(Parse(FntDescription(font)).settings.spaceLength, 5);
}

TEST(FontDescription, GlyphFieldsKeepTheirRange) {
    const std::string bytes =
        "<font size='12' x='0' margin='4'>\n"
        "<glyph page='1' x='-3' y='12' advance='300' x0='10' y0='20' x1='410' y1='30'>\n"
        "<glyph page='0' x='0' y='0' advance='5' x0='50' y0='5' x1='40' y1='25'>\n"
        "<char c='A' g='0'>\n<char c='B' g='1'>\n<char c='C' g='7'>\n<char c='D' g='-1'>\n";
    const FontDescription d = Parse(bytes);
    ASSERT_EQ(d.glyphs.size(), 2u);
    const OldGlyph& a = d.glyphs[0];
    EXPECT_EQ(a.advance, 300);
    EXPECT_EQ(a.width, 400);
    EXPECT_EQ(a.yOffset, -12);
    EXPECT_EQ(a.xOffset, -3);
    // Shifted by half the margin.
    EXPECT_EQ(a.x0, 12);
    EXPECT_EQ(a.y1, 32);
    // Directions disagree: the glyph lies turned, its size and corners exchanged.
    const OldGlyph& b = d.glyphs[1];
    EXPECT_EQ(b.directionX, -1);
    EXPECT_EQ(b.directionY, 1);
    EXPECT_EQ(b.width, 20);
    EXPECT_EQ(b.height, 10);
    EXPECT_EQ(b.corner1, 3);
    EXPECT_EQ(b.corner2, 1);
    // Unknown and negative glyph indices are dropped.
    EXPECT_EQ(d.characters.size(), 2u);
    EXPECT_EQ(d.pageCount, 2);
}

TEST(FontDescription, Refusals) {
    Parse("<font size='10'>\n<glyph page='0'>\n<char c='A' g='3'>\n", false);
    Parse("<font size='10'>\n<glyph page='10'>\n<char c='A' g='0'>\n", false);
    Parse("<font size='10'>\n<glyph page='-1'>\n<char c='A' g='0'>\n", false);
    Parse("", false);
    // An unmapped glyph's page does not matter.
    EXPECT_EQ(Parse("<glyph page='0'>\n<glyph page='99'>\n<char c='A' g='0'>\n").pageCount, 1);
}

}  // namespace
