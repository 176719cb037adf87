// Line breaking and alignment of bitmap-font texts, on a font of 8 x 10 boxes with
// advance 9, size 20 (first baseline at 15, line step 20) and spaces of 4.
#include <gtest/gtest.h>

#include <string>

#include "core/string_utils.h"
#include "fixtures/fnt_fixture.h"
#include "text/font_description.h"
#include "text/old_font_layout.h"
#include "text/text_align.h"

namespace {

class OldFontLayoutTest : public testing::Test {
protected:
    void Load(const FntFont& fnt) {
        std::string reason;
        ASSERT_TRUE(ParseFontDescription(FntDescription(fnt), "fonts/box20.fnt", font_, reason)) << reason;
    }
    const OldTextLayout& Lay(const std::u16string& text, float boxWidth = 0, int flags = kAlignLeft | kAlignTop,
                             float boxHeight = 0) {
        units_ = text;
        OldTextRequest request;
        request.units = units_.c_str();
        request.unitCount = static_cast<int>(units_.size());
        request.color = 0xFFFFFFFF;
        request.boxWidth = boxWidth;
        request.boxHeight = boxHeight;
        request.flags = flags;
        LayOutOldText(font_, 1.0f, request, layout_);
        return layout_;
    }
    int LineLength(int line) const {
        const int end = line + 1 < layout_.lineCount ? layout_.lineStarts[line + 1] : layout_.glyphCount;
        return end - layout_.lineStarts[line];
    }
    float LineRight(int line) const {
        const PlacedGlyph& last = layout_.glyphs[layout_.lineStarts[line] + LineLength(line) - 1];
        return last.x + last.glyph->advance;
    }

    FontDescription font_;
    std::u16string units_;
    OldTextLayout layout_;
};

TEST_F(OldFontLayoutTest, MeasuresLinesAndLineFeeds) {
    FntFont fnt = BoxFont(20);
    fnt.paragraphSpacing = 6;
    Load(fnt);
    Lay(u"AB CD");
    EXPECT_FLOAT_EQ(layout_.measuredWidth, 9 + 9 + 4 + 9 + 9);
    EXPECT_FLOAT_EQ(layout_.measuredHeight, 20);
    EXPECT_FLOAT_EQ(layout_.glyphs[0].y, 15);
    Lay(u"A\nAB");
    EXPECT_EQ(layout_.lineCount, 2);
    EXPECT_FLOAT_EQ(layout_.measuredWidth, 18);
    EXPECT_FLOAT_EQ(layout_.measuredHeight, 6 + 20 + 20);
    EXPECT_FLOAT_EQ(layout_.glyphs[1].y, 15 + 20 + 6);
    EXPECT_FLOAT_EQ(layout_.glyphs[1].x, 0);
    Lay(u"");
    EXPECT_EQ(layout_.glyphCount, 0);
    EXPECT_FLOAT_EQ(layout_.measuredHeight, 0);
}

TEST_F(OldFontLayoutTest, WrapsAtSpacesButNotBeforeMarks) {
    FntFont fnt = BoxFont(20);
    fnt.glyphs.push_back({"!", 0, 0, 10, 9, 0, 20, 8, 30});
    Load(fnt);
    Lay(u"AB CD EF", 50);
    ASSERT_EQ(layout_.lineCount, 2);
    EXPECT_EQ(LineLength(0), 4);
    EXPECT_FLOAT_EQ(layout_.glyphs[4].x, 0);
    EXPECT_FLOAT_EQ(layout_.glyphs[4].y, 35);
    // The space before "!" is no break: "BB !" moves down whole.
    Lay(u"AAAA BB !", 70);
    ASSERT_EQ(layout_.lineCount, 2);
    EXPECT_EQ(LineLength(0), 4);
    EXPECT_EQ(LineLength(1), 3);
}

TEST_F(OldFontLayoutTest, GlyphWiderThanTheBoxTakesALineOfItsOwn) {
    Load(BoxFont(20, 300));
    Lay(u"AWA", 100);
    ASSERT_EQ(layout_.lineCount, 3);
    EXPECT_EQ(LineLength(1), 1);
    EXPECT_FLOAT_EQ(layout_.glyphs[1].x, 0);
    Lay(u"W W W", 100);
    EXPECT_EQ(layout_.lineCount, 3);
    EXPECT_EQ(layout_.glyphCount, 3);
}

TEST_F(OldFontLayoutTest, HeightLimitAndUnitLimit) {
    Load(BoxFont(20));
    Lay(u"A\nB\nC\nD", 0, kAlignLeft | kAlignTop, 45);
    EXPECT_EQ(layout_.lineCount, 2);
    EXPECT_EQ(layout_.glyphCount, 2);
    std::u16string many(3000, u'A');
    Lay(many.substr(0, OldTextLayout::kMaxUnits));
    EXPECT_EQ(layout_.glyphCount, OldTextLayout::kMaxUnits);
}

TEST_F(OldFontLayoutTest, BlockAlignment) {
    Load(BoxFont(20));
    const struct {
        int flags;
        float right0, right1;  // where each line ends: "ABCD" (36 wide), "AB" (18)
    } cases[] = {
        {kAlignRight | kAlignBlockLeft, 36, 36},
        {kAlignRight | kAlignBlockRight, 0, 0},
        {kAlignRight | kAlignBlockCenter, 18, 18},
        {kAlignRight, 0, 0},                       // block follows the line flag
        {kAlignLeft, 36, 18},
        {kAlignLeft | kAlignBlockRight, 0, -18},
        {kAlignLeft | kAlignBlockCenter, 18, 0},
        {kAlignCenter, 18, 9},                     // centred on the drawing point
        {kAlignCenter | kAlignBlockLeft, 36, 27},
        {kAlignCenter | kAlignRight, 0, 0},        // right wins
    };
    for (const auto& c : cases) {
        Lay(u"ABCD\nAB", 0, c.flags | kAlignTop);
        EXPECT_FLOAT_EQ(LineRight(0), c.right0) << std::hex << c.flags;
        EXPECT_FLOAT_EQ(LineRight(1), c.right1) << std::hex << c.flags;
    }
    // Vertical: the first baseline (15) moves by the 40-high text or a 100-high box.
    const struct {
        int flags;
        float boxHeight, baseline;
    } vertical[] = {
        {kAlignTop, 0, 15},
        {kAlignBottom, 0, 15 - 40},
        {kAlignVCenter, 0, 15 - 20},
        {kAlignBottom | kAlignBlockTop | kAlignConstHeight, 100, 15 - 40 + 100},
        {kAlignTop | kAlignBlockBottom | kAlignConstHeight, 100, 15 - 100},
        {kAlignTop | kAlignBlockVCenter, 0, 15 - 20},
    };
    for (const auto& v : vertical) {
        Lay(u"ABCD\nAB", 0, v.flags | kAlignLeft, v.boxHeight);
        EXPECT_FLOAT_EQ(layout_.glyphs[0].y, v.baseline) << std::hex << v.flags;
    }
    // const_width aligns within the box instead of the widest line.
    Lay(u"AB", 100, kAlignRight | kAlignBlockLeft | kAlignConstWidth);
    EXPECT_FLOAT_EQ(LineRight(0), 100);
}

TEST_F(OldFontLayoutTest, AsianWrappingBreaksBetweenCharactersButNotBeforeClosingMarks) {
    FntFont fnt = BoxFont(20);
    fnt.glyphs.push_back({"\xE4\xBA\x8C", 0, 0, 10, 9, 0, 20, 8, 30});  // U+4E8C
    fnt.glyphs.push_back({"\xE3\x80\x82", 0, 0, 10, 9, 0, 20, 8, 30});  // U+3002
    Load(fnt);
    units_ = u"\u4E8C\u4E8C\u4E8C\u3002";
    OldTextRequest request;
    request.units = units_.c_str();
    request.unitCount = 4;
    request.boxWidth = 30;
    request.flags = kAlignLeft | kAlignTop;
    request.asianWrapping = true;
    LayOutOldText(font_, 1.0f, request, layout_);
    // Three fit in 30 but the full stop does not; it may not start a line, so it takes
    // the third character with it.
    ASSERT_EQ(layout_.lineCount, 2);
    EXPECT_EQ(LineLength(0), 2);
    EXPECT_EQ(LineLength(1), 2);
}

}  // namespace
