// The bitmap-font renderer over the software device: loading, choosing, releasing and
// replacing fonts with their page textures, measuring, and the pixels a text draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "bitmap_font_fixture.h"
#include "core/config.h"
#include "graphics/texture.h"
#include "text/text_align.h"

namespace {

const Texture* FindTexture(const std::string& name) {
    for (const TexturePtr& t : AllTextures())
        if (t->name == name) return t.get();
    return nullptr;
}

TEST_F(BitmapFontTest, ChoosesTheNearestSizeAtOrAbove) {
    Open(64, 64, 64, 64);
    WriteFont("arial12", BoxFont(12));
    WriteFont("arial20", BoxFont(20));
    TextRenderer& r = GetTextRenderer();
    EXPECT_EQ(r.LoadFonts("fonts/*.fnt"), 2);
    const struct {
        const char* name;
        int size, chosen;
        float scale;
    } cases[] = {{"arial", 14, 20, 0.7f}, {"Arial", 24, 20, 1.2f}, {"arial", 12, 12, 1.0f}, {"arial14", 0, 20, 0.7f}};
    for (const auto& c : cases) {
        ASSERT_TRUE(r.SelectFont(c.name, c.size)) << c.name << c.size;
        EXPECT_EQ(r.current()->size, c.chosen);
        EXPECT_FLOAT_EQ(r.scale(), c.scale);
    }
    EXPECT_FALSE(r.SelectFont("arial", 0));  // no size anywhere
    EXPECT_EQ(r.current(), nullptr);
    EXPECT_FALSE(r.SelectFont("verdana", 12));
    EXPECT_EQ(r.current(), nullptr);
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// A game that asks for a missing font every frame warns once per name (in dev_mode each
// warning is a message box), and again once a font of that name came and went.
TEST_F(BitmapFontTest, AMissingFontIsReportedOncePerName) {
    Open(64, 64, 64, 64);
    g_config.create_log = true;
    TextRenderer& r = GetTextRenderer();
    testing::internal::CaptureStderr();
    for (int frame = 0; frame < 50; ++frame) {
        EXPECT_FALSE(r.SelectFont("verdana", 12));
        EXPECT_FALSE(r.SelectFont("Verdana20", 0));
        EXPECT_FALSE(r.SelectFont("tahoma", 12));
        EXPECT_FALSE(r.SelectFont("nosize", 0));
    }
    WriteFont("verdana12", BoxFont(12));
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 1);
    ASSERT_TRUE(r.ReleaseFont("verdana"));
    EXPECT_FALSE(r.SelectFont("verdana", 12));
    EXPECT_FALSE(r.SelectFont("verdana", 12));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Occurrences(log, "Font not found: verdana\n"), 2) << log;
    EXPECT_EQ(Occurrences(log, "Font not found: tahoma\n"), 1);
    EXPECT_EQ(Occurrences(log, "Bad font size <name=nosize"), 1);
}

TEST_F(BitmapFontTest, PagesAreNamedAfterTheFont) {
    Open(64, 64, 64, 64);
    WriteFont("single20", BoxFont(20));
    FntFont two = BoxFont(20);
    two.glyphs[1].page = 1;
    WriteFont("double20", two, 2);
    TextRenderer& r = GetTextRenderer();
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 2);
    ASSERT_TRUE(r.SelectFont("single", 20));
    ASSERT_TRUE(r.SelectFont("double", 20));
    for (const char* name : {"fonts/single20.png", "fonts/double20_0.png", "fonts/double20_1.png"}) {
        const Texture* page = FindTexture(name);
        ASSERT_NE(page, nullptr) << name;
        EXPECT_EQ(page->refCount, 1) << name;
    }
}

// Released, replaced and cleared fonts go, with their page references, and never stay
// current.
TEST_F(BitmapFontTest, ReleaseReplaceAndClearDropFontsAndPages) {
    Open(64, 64, 64, 64);
    WriteFont("arial12", BoxFont(12));
    WriteFont("arial20", BoxFont(20));
    WriteFont("other/arial20", BoxFont(20));
    TextRenderer& r = GetTextRenderer();
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 2);
    ASSERT_TRUE(r.SelectFont("arial", 20));
    const Texture* page20 = FindTexture("fonts/arial20.png");
    ASSERT_NE(page20, nullptr);

    ASSERT_NE(r.LoadFont("fonts/other/arial20.fnt"), nullptr);
    EXPECT_EQ(r.fonts().size(), 2u);
    EXPECT_EQ(r.current(), nullptr);
    EXPECT_EQ(page20->refCount, 0);

    ASSERT_TRUE(r.SelectFont("arial", 12));
    EXPECT_TRUE(r.ReleaseFont("ARIAL12"));
    EXPECT_EQ(r.current(), nullptr);
    EXPECT_EQ(FindTexture("fonts/arial12.png")->refCount, 0);
    EXPECT_FALSE(r.ReleaseFont("arial12"));
    ASSERT_EQ(r.fonts().size(), 1u);

    ASSERT_TRUE(r.SelectFont("arial", 20));
    r.Clear();
    EXPECT_TRUE(r.fonts().empty());
    EXPECT_EQ(r.current(), nullptr);
    EXPECT_EQ(FindTexture("fonts/other/arial20.png")->refCount, 0);
    // Drawing after a clear draws nothing and does not touch the deleted font.
    BeginFrame();
    OldFont_RenderText(nullptr, 0, 0, 0, 0, 0, 0);
    EndFrame();
}

TEST_F(BitmapFontTest, ReleasingANameWithoutDigitsRemovesEverySize) {
    Open(64, 64, 64, 64);
    WriteFont("arial12", BoxFont(12));
    WriteFont("arial20", BoxFont(20));
    WriteFont("tahoma20", BoxFont(20));
    TextRenderer& r = GetTextRenderer();
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 3);
    EXPECT_TRUE(r.ReleaseFont("arial"));
    ASSERT_EQ(r.fonts().size(), 1u);
    EXPECT_EQ(r.fonts()[0]->baseName, "tahoma");
}

TEST_F(BitmapFontTest, FontsWithoutSizeOrGlyphsAreRefused) {
    Open(64, 64, 64, 64);
    WriteFont("tiny", BoxFont(0.5f));
    dir_.Write("fonts/empty12.fnt", "<font size='12'>\n");
    TextRenderer& r = GetTextRenderer();
    EXPECT_EQ(r.LoadFont("fonts/tiny.fnt"), nullptr);
    EXPECT_EQ(r.LoadFont("fonts/empty12.fnt"), nullptr);
    EXPECT_EQ(r.LoadFont("fonts/missing12.fnt"), nullptr);
    EXPECT_TRUE(r.fonts().empty());
}

TEST_F(BitmapFontTest, MeasuresInDrawingPixels) {
    Open(64, 64, 64, 64);
    WriteFont("box20", BoxFont(20));
    TextRenderer& r = GetTextRenderer();
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 1);
    ASSERT_TRUE(r.SelectFont("box", 10));
    float width = 0, height = 0;
    OldFont_MeasureText("AB", width, height, kAlignLeft);
    EXPECT_FLOAT_EQ(width, 9);
    EXPECT_FLOAT_EQ(height, 10);
    // A box of 8 drawing pixels is 16 font pixels: one glyph a line.
    width = 8;
    height = 0;
    OldFont_MeasureText("AB", width, height, kAlignLeft);
    EXPECT_FLOAT_EQ(width, 4.5f);
    EXPECT_FLOAT_EQ(height, 20);
}

// "AB" at (10, 20): each glyph an 8 x 10 box whose top is 10 above the baseline at 15,
// advance 9; the colour tints the white page.
TEST_F(BitmapFontTest, DrawsGlyphBoxesFromThePage) {
    Open(64, 64, 64, 64);
    WriteFont("box20", BoxFont(20));
    TextRenderer& r = GetTextRenderer();
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 1);
    ASSERT_TRUE(r.SelectFont("box20", 0));
    BeginFrame();
    OldFont_RenderText("AB", 0xFFFF0000, 10, 20, 0, 0, kAlignLeft | kAlignTop);
    EndFrame();
    const struct {
        int x, y;
        uint32_t colour;
    } probes[] = {{9, 30, 0},         {10, 30, 0xFF0000}, {17, 25, 0xFF0000}, {18, 30, 0}, {19, 30, 0xFF0000},
                  {26, 34, 0xFF0000}, {27, 30, 0},        {14, 24, 0},        {14, 35, 0}};
    for (const auto& p : probes) EXPECT_EQ(At(p.x, p.y), p.colour) << p.x << "," << p.y;
}

// The transform turns text the way sprites turn: 90 degrees takes +x to +y.
TEST_F(BitmapFontTest, TurnsLikeSprites) {
    Open(64, 64, 64, 64);
    WriteFont("box20", BoxFont(20));
    TextRenderer& r = GetTextRenderer();
    ASSERT_EQ(r.LoadFonts("fonts/*.fnt"), 1);
    ASSERT_TRUE(r.SelectFont("box20", 0));
    r.x = 32;
    r.y = 32;
    r.angle = 90;
    BeginFrame();
    // Baseline 15 and top offset 10: the box spans x 0..8, y 5..15 before turning.
    OldFont_RenderText("A", 0xFFFFFFFF, 0, 0, 0, 0, kAlignLeft | kAlignTop);
    EndFrame();
    EXPECT_EQ(At(32 - 10, 32 + 4), 0xFFFFFFu);
    EXPECT_EQ(At(32 + 10, 32 - 4), 0u);
}

}  // namespace
