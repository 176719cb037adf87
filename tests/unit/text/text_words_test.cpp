// Font names with sizes, alignment and colour words, and definition lengths.
#include <gtest/gtest.h>

#include <cmath>

#include "core/config.h"
#include "graphics/render.h"
#include "text/text_words.h"
#include "text/true_text_font.h"

namespace {

class TextWordsTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        InitRenderGlobals();
        g_config.true_text = true;
    }
    void TearDown() override {
        InitConfigDefaults();
        InitRenderGlobals();
    }
};

TEST_F(TextWordsTest, SplitFontSize) {
    struct Case {
        const char* text;
        const char* name;
        float size;
    };
    const Case cases[] = {
        {"arial12", "arial", 12}, {"arial 12", "arial", 12},  {"arial", "arial", 0},
        {"12", "12", 10},         {"big font 7", "big font", 7}, {"f99999999999999999999", "f", kFontSizeLimit},
    };
    for (const Case& c : cases) {
        std::string name = "untouched";
        float size = -1;
        SplitFontSize(c.text, name, size);
        EXPECT_EQ(name, c.name) << c.text;
        EXPECT_EQ(size, c.size) << c.text;
    }
}

TEST_F(TextWordsTest, SplitFontSizeDoesNothingWithoutTrueText) {
    g_config.true_text = false;
    std::string name = "kept";
    float size = 3;
    SplitFontSize("arial12", name, size);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(size, 3);
}

TEST_F(TextWordsTest, ParseAlignment) {
    EXPECT_EQ(ParseAlignment("Left, VCenter"), 0x21u);
    EXPECT_EQ(ParseAlignment("centre"), 0u);
    EXPECT_EQ(ParseAlignment("right;bottom block_center const_size"), 0x2u | 0x10u | 0x100u | 0x3000u);
    // Only the first 59 characters count.
    EXPECT_EQ(ParseAlignment(std::string(58, ' ') + "left"), 0u);
    EXPECT_EQ(ParseAlignment(std::string(55, ' ') + "left"), 0x1u);
}

TEST_F(TextWordsTest, ParseTextColorOnBothBackEnds) {
    EXPECT_EQ(ParseTextColor("#ff0000"), 0xFFFF0000u);
    EXPECT_EQ(ParseTextColor("ff0000"), 0xFFFF0000u);
    EXPECT_EQ(ParseTextColor("#80ff0000"), 0x80FF0000u);
    EXPECT_EQ(ParseTextColor(""), 0xFF000000u);
    g_renderer.opengl = true;
    EXPECT_EQ(ParseTextColor("#ff0000"), 0xFF0000FFu);
    EXPECT_EQ(ParseTextColor("ff0000"), 0xFF0000FFu);
    EXPECT_EQ(ParseTextColor("#80112233"), 0x80332211u);
}

TEST_F(TextWordsTest, SizesInPixels) {
    g_renderer.windowHeight = 1536;
    g_renderer.virtualHeight = 768;
    struct Case {
        const char* text;
        float fontSize;
        float pixels;
    };
    const Case cases[] = {
        {"1.5em", 20, 41.67f}, {"4dp", 0, 8},      {"12abc", 0, 12}, {"12", 0, 12},     {"7px \t", 0, 7},
        {"em", 0, 0},          {"2Em", 0, 2},      {"", 0, 0},       {"nan", 0, 0},     {"inf", 0, 0},
        {"-infdp", 0, 0},      {"nanem", 12, 0},   {"1e30", 0, kTextLengthLimit},
        {"-1e30px", 0, -kTextLengthLimit},         {"1e30em", 1000, kTextLengthLimit},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(TrueText_SizeToPixels(TrueText_ParseSize(c.text), c.fontSize), c.pixels, 0.005f) << c.text;
    EXPECT_EQ(TrueText_ParseSize("3dp").unit, kUnitDp);
    EXPECT_EQ(TrueText_ParseSize("dp").unit, kUnitPx) << "shorter than three characters";
}

TEST_F(TextWordsTest, FontSizesAreFiniteAndBounded) {
    EXPECT_EQ(TrueText_ClampFontSize(std::nanf("")), 0.0f);
    EXPECT_EQ(TrueText_ClampFontSize(-5.0f), 0.0f);
    EXPECT_EQ(TrueText_ClampFontSize(1e30f), kFontSizeLimit);
    EXPECT_EQ(TrueText_ClampFontSize(18.5f), 18.5f);
}

}  // namespace
