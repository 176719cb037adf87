// TrueText layout on the built-in font ("system": 16-pixel lines, "i" 2 wide, "A" 7 wide,
// no descender): block sizes, line breaks, the cache and the block's quad.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text_align.h"
#include "text/true_text_layout.h"
#include "text/true_text_render.h"
#include "text_device_fixture.h"

namespace {

class TrueTextLayoutTest : public TextDeviceTest {
protected:
    void StartTrueText() {
        Start(640, 480, true);
        dir_.Write("fonts/system.fn2", "font = system\n");
        TrueText_Init();
        ASSERT_TRUE(TrueText_Running());
    }
    TrueText_Style& Break(const std::string& text, float size = 10, float boxWidth = 0, uint32_t flags = 9) {
        text_ = text;
        style_.fontName = font_;
        style_.text = text_.c_str();
        style_.size = size;
        style_.boxWidth = boxWidth;
        style_.boxHeight = 0;
        style_.flags = flags;
        TrueText_BreakLines(style_);
        return style_;
    }

    // The index one past each line's last unit.
    std::vector<int> LineEnds() const {
        std::vector<int> ends;
        for (const TrueText_Line& line : style_.lines) ends.push_back(line.end);
        return ends;
    }

    std::string font_ = "system";
    std::string text_;
    TrueText_Style style_;
};

TEST_F(TrueTextLayoutTest, BlockSizes) {
    StartTrueText();
    const struct {
        const char* text;
        float boxWidth;
        uint32_t flags;
        int width, height;
    } cases[] = {
        {"ii", 0, 9, 6, 18},
        {"A\nA", 0, 9, 9, 41},  // a line feed adds half an em below its line
        {"A\rA", 0, 9, 9, 34},
        {"AAAA AAAA", 40, kAlignCenter | kAlignTop, 42, 34},  // centred lines take the box
        {"AAAAAAAAAAAA AAAAAAAAAAAA", 100, kAlignCenter | kAlignTop, 102, 34},
        {"AAAAAAAAAAAA AAAAAAAAAAAA", 100, kAlignLeft | kAlignTop, 86, 34},
    };
    for (const auto& c : cases) {
        Break(c.text, 10, c.boxWidth, c.flags);
        EXPECT_EQ(style_.blockWidth, c.width) << c.text;
        EXPECT_EQ(style_.blockHeight, c.height) << c.text;
    }
}

TEST_F(TrueTextLayoutTest, NoBreakBeforeMarksAndWideGlyphsTakeALine) {
    StartTrueText();
    // "AA AA ?" does not fit 36: the space before "?" holds, so "AA ?" moves down whole.
    Break("AA AA ?", 10, 36);
    ASSERT_EQ(style_.lines.size(), 2u);
    EXPECT_EQ(style_.lines[0].end, 3);
    // A box narrower than one glyph: one glyph a line, and the walk ends.
    Break("AAA", 10, 3);
    EXPECT_EQ(style_.lines.size(), 3u);
    // Many lines and a long text.
    std::string many;
    for (int i = 0; i < 65; ++i) many += "A\n";
    EXPECT_EQ(Break(many).lines.size(), 65u);
    Break(std::string(3000, 'A'), 10, 100);
    EXPECT_GT(style_.lines.size(), 64u);
}

// DejaVu Sans has no ideographs: each draws its missing-glyph box, all of one advance,
// so a box a little over three advances wide holds three of them.
TEST_F(TrueTextLayoutTest, JapaneseBreaksBetweenIdeographsButNotAtTheirMarks) {
    Start(640, 480, true);
    InstallDejaVu("dejavu.ttf");
    TrueText_Init();
    font_ = "dejavu";
    const float advance = TrueText_GetFont("dejavu", 20)->GetAdvance(0x65E5).advance;
    ASSERT_GT(advance, 5.0f);
    const struct {
        const char* text;
        std::vector<int> ends;
    } cases[] = {
        {"日本語日本語", {3, 6}},           // any two ideographs
        {"日本語。日本語", {2, 5, 8}},      // never before the full stop: it goes down with 語
        {"日本語、日本語", {2, 5, 8}},      // nor before the comma
        {"日本「語」日本", {2, 5, 8}},      // nor after an opening bracket, nor before a closing one
        {"日本『語』日本", {2, 5, 8}},
        {"日本（語）日本", {2, 5, 8}},      // full-width parentheses
    };
    for (const auto& c : cases) {
        Break(c.text, 20, 3 * advance + 1);
        EXPECT_EQ(LineEnds(), c.ends) << c.text;
    }
}

TEST_F(TrueTextLayoutTest, DifferentRequestsHaveDifferentKeys) {
    StartTrueText();
    std::string a, b;
    TrueText_Style first, second;
    first.fontName = "arial1";
    first.size = 2;
    first.text = "x";
    second.fontName = "arial";
    second.size = 12;
    second.text = "x";
    TrueText_StyleKey(first, a);
    TrueText_StyleKey(second, b);
    EXPECT_NE(a, b);
}

// A key holds only the part of the text the layout decodes (1399 units): texts that differ
// after it share a key, and a 60 KB text's key stays small, in the size cache too.
TEST_F(TrueTextLayoutTest, KeysHoldOnlyTheUnitsLaidOut) {
    StartTrueText();
    const std::string units(1399, 'a');
    const std::string longer = units + std::string(60000, 'b'), other = units + "c";
    const std::string shorter = std::string(1398, 'a') + "c";
    std::string keys[3];
    const std::string* texts[3] = {&longer, &other, &shorter};
    for (int i = 0; i < 3; ++i) {
        TrueText_Style style;
        style.fontName = "system";
        style.size = 10;
        style.text = texts[i]->c_str();
        TrueText_StyleKey(style, keys[i]);
    }
    // Compared as truths: a failure would print keys of 60 KB.
    EXPECT_TRUE(keys[0] == keys[1]);
    EXPECT_FALSE(keys[0] == keys[2]);
    EXPECT_LT(keys[0].size(), 1399u + 100u);
    float width = 0, height = 0, widthOther = 0;
    TrueText_TextSize(longer.c_str(), width, height, "system", 10, 0, 0, 9);
    TrueText_TextSize(other.c_str(), widthOther, height, "system", 10, 0, 0, 9);
    EXPECT_EQ(width, widthOther);
    ASSERT_EQ(TrueText_SizeCache().size(), 1u);
    EXPECT_LT(TrueText_SizeCache().begin()->first.size(), 1399u + 100u);
}

// The first drawing call of a new text draws nothing; the second draws it, logging that
// the block was made while drawing.
TEST_F(TrueTextLayoutTest, FirstDrawingCallDrawsNothing) {
    StartTrueText();
    TrueText_Block block;
    TrueText_Layout("system", "ii", block, false, 10, 0, 0, 9);
    EXPECT_EQ(block.blockWidth, 0);
    Log();
    TrueText_Layout("system", "ii", block, false, 10, 0, 0, 9);
    EXPECT_EQ(block.blockWidth, 4);
    EXPECT_EQ(block.blockHeight, 16);
    EXPECT_NE(Log().find("RENDER NOSKIP"), std::string::npos);
    float width = 0, height = 0;
    TrueText_TextSize("ii", width, height, "system", 10, 0, 0, 9);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 16);
}

TEST_F(TrueTextLayoutTest, QuadSnapsToPixelsAndTexels) {
    StartTrueText();
    RenderVertex v{2.5f, -2.5f, 0, 0, 0.30001f, 0.5f};
    TextBlockSnap(v, 1024, false);
    EXPECT_EQ(v.x, 3.0f);
    EXPECT_EQ(v.y, -3.0f);
    EXPECT_EQ(v.u, std::round(0.30001f * 1024) / 1024);
    EXPECT_EQ(v.v, 0.5f);
}

TEST_F(TrueTextLayoutTest, DrawsTheBlockWhereItWasLaidOut) {
    StartTrueText();
    BeginFrame();
    TrueText_Render("ii", true, "system", 10, 100, 100, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
    TrueText_Render("ii", false, "system", 10, 100, 100, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
    EndFrame();
    int lit = 0;
    for (int y = 100; y < 116; ++y)
        for (int x = 100; x < 104; ++x) lit += At(x, y) != 0;
    EXPECT_GT(lit, 0);
    EXPECT_EQ(At(90, 90), 0u);
}

}  // namespace
