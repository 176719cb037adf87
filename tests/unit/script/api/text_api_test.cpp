// The text functions that need no font file: debug-font text, the TrueText cache reset,
// and the developer overlay's statistics drawn after the script's render.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/config.h"
#include "core/input.h"
#include "gfx_script_fixture.h"
#include "text/debug_font.h"
#include "text/debug_font_data.h"
#include "text/true_text.h"

namespace {

class TextApiTest : public GfxScriptTest {
protected:
    void SetUp() override {
        GfxScriptTest::SetUp();
        ASSERT_EQ(Run("canvas = gfx_create_bitmap(64, 64, true)"), "");
    }
    void TearDown() override {
        TrueText_Destroy();
        DebugFont_Release();
        GfxScriptTest::TearDown();
        InitConfigDefaults();
    }
    // Pixels of the canvas whose colour is not transparent black, in a rectangle.
    int Ink(int left, int top, int right, int bottom) {
        int ink = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) ink += Pixel("canvas", x, y) != 0;
        return ink;
    }
    static void FlipOverlay() {
        KeyTables keys;
        keys.pressed[0x71] = kKeyPressed;  // F2
        ApplyDeveloperHotKeys(keys);
    }
};

TEST_F(TextApiTest, SimpleTextDrawsTheCellPixelForPixel) {
    // On opaque black each pixel's grey is the glyph's coverage: every pixel samples
    // exactly its own texel, top row first, from 4 above the given y.
    DrawInto("canvas", "gfx_render_box(0, 0, 64, 64, 1, 0, '000000', 1) gfx_render_simple_text(2, 8, 'H')");
    int ink = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            const int coverage = kDebugFontImage[(16 * ('H' / 16) + 15 - y) * 256 + 16 * ('H' % 16) + x];
            const int grey = static_cast<int>(Pixel("canvas", 2 + x, 4 + y) & 0xFFu);
            EXPECT_NEAR(grey, coverage, 2) << x << ", " << y;
            ink += coverage > 0;
        }
    EXPECT_GT(ink, 10);
    for (int y = 0; y < 64; y += 3)
        for (int x = 10; x < 64; x += 3) ASSERT_EQ(Pixel("canvas", x, y), 0xFF000000u) << x << ", " << y;
}

TEST_F(TextApiTest, SimpleTextTakesNumbersAndSkipsWhatCannotBeDrawn) {
    DrawInto("canvas", "gfx_render_simple_text(2, 8, 42) gfx_render_simple_text(2, 8) "
                       "gfx_render_simple_text(0/0, 8, 'H') gfx_render_simple_text(2, 1/0, 'H') "
                       "gfx_render_simple_text(nil, nil, {}) gfx_render_simple_text('x', 'y', 'H')");
    EXPECT_GT(Ink(2, 4, 14, 20), 10) << "42, drawn as text";
    EXPECT_GT(Ink(0, 0, 8, 16), 0) << "a position that is no number reads 0";
}

TEST_F(TextApiTest, ResettingTheTrueTextCacheIsSafeWhetherItRunsOrNot) {
    g_config.create_log = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run("gfx_reset_true_text_cache() gfx_reset_true_text_cache(1, 'x')"), "");
    EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::Not(testing::HasSubstr("TrueText")));
    g_config.true_text = true;
    TrueText_Init();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run("gfx_reset_true_text_cache()"), "");
    EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::HasSubstr("TrueText reset cache"));
}

TEST_F(TextApiTest, TheOverlayDrawsTheRateAndInDevModeTheCounts) {
    // The script leaves the canvas as the target, so the overlay lands on it.
    ASSERT_EQ(Run("function render() gfx_render_target(canvas) end"), "");
    const bool wasShown = GetDeveloperOverlay().shown;
    if (!wasShown) FlipOverlay();
    for (const bool devMode : {false, true}) {
        g_config.dev_mode = devMode;
        DrawInto("canvas", "gfx_render_box(0, 0, 64, 64, 1, 0, '000000', 0)");
        RenderScriptFrame();
        ASSERT_EQ(Run("gfx_render_target(nil)"), "");
        EXPECT_GT(Ink(5, 1, 64, 16), 10) << "frames per second, dev_mode " << devMode;
        EXPECT_EQ(Ink(5, 16, 64, 46) > 20, devMode) << "the counts";
    }
    if (!wasShown) FlipOverlay();
}

}  // namespace
