// Glyphs of a real face (DejaVu Sans): metrics, kerning and outlines.
#include <gtest/gtest.h>

#include "graphics/surface.h"
#include "text/font_freetype.h"
#include "text_device_fixture.h"

namespace {

class FreeTypeFontTest : public TextDeviceTest {
protected:
    void SetUp() override {
        TextDeviceTest::SetUp();
        Start(640, 480, true);
        InstallDejaVu("dejavu.ttf");
        TrueText_Init();
    }
    TrueText_Font& Font(float size) {
        TrueText_Font* font = TrueText_GetFont("dejavu", size);
        EXPECT_NE(font, nullptr);
        return *font;
    }
    static int InkPixels(const Surface& surface) {
        int ink = 0;
        for (std::size_t i = 0; i < surface.PixelCount(); ++i) ink += (surface.pixels[i] >> 24) != 0;
        return ink;
    }
};

TEST_F(FreeTypeFontTest, MetricsAndAdvances) {
    TrueText_Font& font = Font(32);
    EXPECT_LT(font.resolved.descender, 0.0f);
    EXPECT_GT(font.resolved.lineHeight, 32.0f);
    Surface out;
    const TrueText_Glyph a = font.RenderGlyph('A', &out, 0.0f);
    EXPECT_EQ(font.GetAdvance('A').advance, a.advance);
    EXPECT_GT(a.advance, 15.0f);
    EXPECT_EQ(out.width, a.width);
    EXPECT_EQ(out.height, a.height);
    EXPECT_GT(InkPixels(out), 50);
    EXPECT_GT(a.top, 0) << "below the top of the line";
}

TEST_F(FreeTypeFontTest, AThenVKernsNegativeUntilTheMetricsAreUpdated) {
    TrueText_Font& font = Font(32);
    Surface out;
    EXPECT_EQ(font.RenderGlyph('A', &out, 0.0f).kerning, 0.0f);
    EXPECT_LT(font.RenderGlyph('V', &out, 0.0f).kerning, 0.0f);
    font.UpdateMetrics();
    EXPECT_EQ(font.RenderGlyph('V', &out, 0.0f).kerning, 0.0f);
    // Asked for by pair, nothing carries over.
    EXPECT_LT(font.Kerning('A', 'V'), 0.0f);
    EXPECT_EQ(font.Kerning('A', 'V'), font.Kerning('A', 'V'));
    EXPECT_EQ(font.Kerning('A', 0xE123), 0.0f) << "a missing glyph";
    EXPECT_EQ(TrueText_DebugFont{}.Kerning('A', 'V'), 0.0f);
}

TEST_F(FreeTypeFontTest, AnOutlineGrowsTheSurfaceAndMovesTheGlyph) {
    TrueText_Font& font = Font(32);
    Surface plain, outlined;
    const TrueText_Glyph filled = font.RenderGlyph('O', &plain, 0.0f);
    font.UpdateMetrics();
    const TrueText_Glyph stroked = font.RenderGlyph('O', &outlined, 1.5f);
    EXPECT_EQ(stroked.left, filled.left - 2);
    EXPECT_EQ(stroked.top, filled.top - 2);
    EXPECT_EQ(outlined.width, plain.width + 4);
    EXPECT_EQ(outlined.height, plain.height + 4);
    EXPECT_GT(InkPixels(outlined), 40);
    // The ring: the middle of the O stays clear.
    EXPECT_EQ(outlined.Row(outlined.height / 2)[outlined.width / 2] >> 24, 0u);
}

TEST_F(FreeTypeFontTest, ASpaceWithAnOutlineIsAnEmptyGrownSurface) {
    TrueText_Font& font = Font(32);
    Surface out;
    const TrueText_Glyph space = font.RenderGlyph(' ', &out, 1.5f);
    EXPECT_EQ(space.width, 0);
    EXPECT_GT(space.advance, 5.0f);
    EXPECT_EQ(out.width, 4);
    EXPECT_EQ(InkPixels(out), 0);
}

TEST_F(FreeTypeFontTest, ACharacterTheFaceLacksGivesItsMissingGlyph) {
    TrueText_Font& font = Font(20);
    Surface out;
    const TrueText_Glyph missing = font.RenderGlyph(0xE123, &out, 0.0f);
    EXPECT_GT(missing.advance, 0.0f);
    EXPECT_EQ(out.width, missing.width);
}

}  // namespace
