#include <gtest/gtest.h>

#include <cstring>

#include "core/config.h"
#include "gfx_script_fixture.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "script/api/lua_api_gfx.h"
#include "text/text_placement.h"

namespace {

DWORD State(D3DRENDERSTATETYPE state) {
    DWORD value = 0;
    D3D_Device()->GetRenderState(state, &value);
    return value;
}

struct BlendState {
    DWORD src, dst, enabled, op;
    bool operator==(const BlendState&) const = default;
};

BlendState CurrentBlend() {
    return {State(D3DRS_SRCBLEND), State(D3DRS_DESTBLEND), State(D3DRS_ALPHABLENDENABLE), State(D3DRS_BLENDOP)};
}

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kClear = 0x00000000u;

// The four corners of an 8 x 8 quad at the origin in the order quads are drawn, white.
const char* const kQuadCorners =
    "{x = 0, y = 0, u = 0, v = 0, alpha = 1, r = 1, g = 1, b = 1}, "
    "{x = 8, y = 0, u = 1, v = 0, alpha = 1, r = 1, g = 1, b = 1}, "
    "{x = 8, y = 8, u = 1, v = 1, alpha = 1, r = 1, g = 1, b = 1}, "
    "{x = 0, y = 8, u = 0, v = 1, alpha = 1, r = 1, g = 1, b = 1}";

TEST_F(GfxScriptTest, ColorTextLimitsEachChannel) {
    const struct {
        const char *call, *text;
    } cases[] = {
        {"gfx_color()", "ffffff"},
        {"gfx_color(1, 0, 0)", "ff0000"},
        {"gfx_color(2, -1, 0.5)", "ff007f"},
        {"gfx_color('0.5', 'not a number')", "7fffff"},
    };
    for (const auto& c : cases) EXPECT_EQ(Eval(c.call), c.text) << c.call;
}

TEST_F(GfxScriptTest, BlendingWordsChooseTheModeAndOnlyTrueFlagsMaskColours) {
    const struct {
        const char* arguments;
        int mode;
    } cases[] = {
        {"'ADDITIVE'", kBlendAdd}, {"'Max'", kBlendMax},  {"", kBlendAlpha},
        {"'none'", kBlendNone},    {"'SUM'", kBlendSum}, {"'multiply'", kBlendAlpha},
    };
    for (const auto& c : cases) {
        SetBlendMode(c.mode == kBlendAdd ? kBlendNone : kBlendAdd);
        ASSERT_EQ(Run(std::string("gfx_blending(") + c.arguments + ")"), "");
        const BlendState chosen = CurrentBlend();
        SetBlendMode(c.mode);
        EXPECT_EQ(chosen, CurrentBlend()) << c.arguments;
    }
    ASSERT_EQ(Run("gfx_blending('alpha', true, false, true, false)"), "");
    EXPECT_EQ(State(D3DRS_COLORWRITEENABLE), 5u);
    ASSERT_EQ(Run("gfx_blending('alpha', false, false, false, false) gfx_blending('alpha', 1, 1, 1, 1)"), "");
    EXPECT_EQ(State(D3DRS_COLORWRITEENABLE), 5u) << "all false, or numbers, leave the mask";
}

TEST_F(GfxScriptTest, BlendFactorsByNumberOrWord) {
    ASSERT_EQ(Run("gfx_blending_src_dest('ONE', 'ONE') gfx_blending_src_dest(4, 'INVSRCALPHA')"), "");
    EXPECT_EQ(State(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(State(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    ASSERT_EQ(Run("gfx_blending_src_dest(12, nil) gfx_blending_src_dest(-1, 'bogus')"), "");
    EXPECT_EQ(State(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA)) << "out of range: unchanged";
    EXPECT_EQ(State(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    ASSERT_EQ(Run("gfx_blending_src_dest(0, 9.4)"), "");
    EXPECT_EQ(State(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ZERO));
    EXPECT_EQ(State(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVDESTCOLOR));
}

TEST_F(GfxScriptTest, AlphaTestAndCullWords) {
    ASSERT_EQ(Run("gfx_alpha_test('GREATER', 127.5) gfx_cull('BACK')"), "");
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), 1u);
    EXPECT_EQ(State(D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_GREATER));
    EXPECT_EQ(State(D3DRS_ALPHAREF), 128u) << "rounded, halves to even";
    EXPECT_EQ(State(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    ASSERT_EQ(Run("gfx_alpha_test('ALWAYS') gfx_cull('sideways')"), "");
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), 0u);
    EXPECT_EQ(State(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
}

TEST_F(GfxScriptTest, ResolutionAndModeReadLeniently) {
    g_renderer.aspectCorrection = true;
    ASSERT_EQ(Run("gfx_resolution(800.5, 600.5, false)"), "");
    EXPECT_EQ(g_renderer.virtualWidth, 800);
    EXPECT_EQ(g_renderer.virtualHeight, 600);
    EXPECT_FALSE(g_renderer.aspectCorrection);
    ASSERT_EQ(Run("gfx_resolution('wide', nil, 1)"), "");
    EXPECT_EQ(g_renderer.virtualWidth, 0);
    EXPECT_FALSE(g_renderer.aspectCorrection) << "only a boolean changes the correction";
    g_renderer.aspectCorrection = true;
    EXPECT_EQ(Eval("gfx_aspect_ratio_correction()"), "false");
    g_renderer.workWidth = 48;
    g_renderer.workHeight = 40;
    EXPECT_EQ(Eval("gfx_current_mode()"), "48 40 false 64 64");
}

TEST_F(GfxScriptTest, SpritesDrawIntoATargetAndATextScaleDrawsNothing) {
    WriteImage("red.png", 8, 8, 0xFF0000);
    ASSERT_EQ(Run("red = gfx_load_bitmap('red.png') target = gfx_create_bitmap(32, 32, true)"), "");
    DrawInto("target", "gfx_render_sprite(red, 'main', 16, 16, 1, 0, 'wide')");
    EXPECT_EQ(Pixel("target", 16, 16), kClear) << "a scale x that is not a number reads 0";
    DrawInto("target", "gfx_render_sprite(red, 'main', 16, 16)");
    EXPECT_EQ(Pixel("target", 16, 16), kRed);
    EXPECT_EQ(Pixel("target", 12, 12), kRed);
    EXPECT_EQ(Pixel("target", 20, 20), kClear);
    WriteImage("white.png", 8, 8, 0xFFFFFF);
    DrawInto("target", "gfx_render_sprite(gfx_load_bitmap('white.png'), 'main', 16, 16, 1, 0, 2, 2, '00ff00')");
    EXPECT_EQ(Pixel("target", 9, 9), kGreen) << "scaled about the pivot, tinted";
    EXPECT_EQ(Pixel("target", 23, 23), kGreen);
}

TEST_F(GfxScriptTest, BoxesArePlacedByTheirPivot) {
    ASSERT_EQ(Run("target = gfx_create_bitmap(32, 32, true)"), "");
    DrawInto("target", "gfx_render_box(10, 10, 4, 4, 1, 0, '00ff00', 2, 2)");
    EXPECT_EQ(Pixel("target", 8, 8), kGreen);
    EXPECT_EQ(Pixel("target", 11, 11), kGreen);
    EXPECT_EQ(Pixel("target", 12, 12), kClear);
    EXPECT_EQ(Pixel("target", 7, 7), kClear);
}

TEST_F(GfxScriptTest, VertexTablesNeedFourCorners) {
    WriteImage("red.png", 8, 8, 0xFF0000);
    ASSERT_EQ(Run("red = gfx_load_bitmap('red.png') target = gfx_create_bitmap(32, 32, true)"), "");
    const std::string corners = kQuadCorners;
    const std::string three = corners.substr(0, corners.rfind(", {"));
    DrawInto("target", "gfx_render_sprite_by_vertex_table(red, {" + three + "})");
    DrawInto("target", "gfx_render_sprite_by_vertex_table(red, 'not a table')");
    EXPECT_EQ(Pixel("target", 4, 4), kClear);
    // Entries that are not tables are passed over.
    DrawInto("target", "gfx_render_sprite_by_vertex_table(red, {1, 'x', " + corners + ", {x = 30, y = 30}})");
    EXPECT_EQ(Pixel("target", 4, 4), kRed);
    EXPECT_EQ(Pixel("target", 9, 9), kClear);
}

TEST_F(GfxScriptTest, ReleasedStaleAndForeignHandlesReadAsNull) {
    WriteImage("red.png", 8, 8, 0xFF0000);
    ASSERT_EQ(Run("red = gfx_load_bitmap('red.png') again = gfx_load_bitmap('red.png') gfx_release_bitmap(red)"), "");
    EXPECT_EQ(Eval("gfx_sprite_params(red, 'main')"), "8 8 4 4") << "the second reference keeps the handle";
    ASSERT_EQ(Run("gfx_release_bitmap(again)"), "");
    const Texture* texture = TextureNamed("red.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->refCount, 0);
    EXPECT_EQ(Eval("gfx_sprite_params(red, 'main')"), "");

    g_config.create_log = true;
    testing::internal::CaptureStderr();
    ASSERT_EQ(Run("gfx_release_bitmap(red)"), "");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("gfx_release_bitmap(NULL)"), std::string::npos);
    g_config.create_log = false;
    EXPECT_EQ(texture->refCount, 0) << "a released handle takes no second reference away";

    ReleaseUnusedTextures();  // the end of the frame: the texture is gone
    EXPECT_EQ(TextureNamed("red.png"), nullptr);
    int somethingElse = 0;
    lua_pushlightuserdata(L, &somethingElse);
    lua_setglobal(L, "foreign");
    for (const char* handle : {"red", "foreign", "newproxy()", "nil"}) {
        const std::string h = handle;
        EXPECT_EQ(Eval("gfx_sprite_params(" + h + ", 'main')"), "") << handle;
        EXPECT_EQ(Eval("gfx_render_target(" + h + ")"), "") << handle;
        g_config.dev_mode = false;
        EXPECT_EQ(Run("gfx_render_sprite(" + h + ", 'main', 1, 1)"), "") << handle;
        g_config.dev_mode = true;
        EXPECT_NE(Run("gfx_render_sprite(" + h + ", 'main', 1, 1)").find("gfx_render_sprite: error, bitmap is nil"),
                  std::string::npos)
            << handle;
    }
    g_config.dev_mode = false;
}

TEST_F(GfxScriptTest, AFreedBitmapsHandleNeverReachesTheNextOne) {
    WriteImage("red.png", 8, 8, 0xFF0000);
    // Freed at the garbage collection, so the next texture takes its memory (as it does here).
    ASSERT_EQ(Run("old = gfx_load_bitmap('red.png') gfx_release_bitmap(old) gfx_garbage_collect() "
                  "new = gfx_load_bitmap('red.png')"),
              "");
    EXPECT_EQ(Eval("old == new"), "false");
    EXPECT_EQ(Eval("gfx_sprite_params(old, 'main')"), "");
    EXPECT_EQ(Run("gfx_release_bitmap(old)"), "");
    const Texture* texture = TextureNamed("red.png");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->refCount, 1) << "the stale release took nothing from the new bitmap";
    EXPECT_EQ(Eval("gfx_sprite_params(new, 'main')"), "8 8 4 4");
    EXPECT_EQ(Eval("new == gfx_load_bitmap('red.png')"), "true") << "references of one live bitmap share a handle";
}

TEST_F(GfxScriptTest, BitmapsLoadedCreatedAndChecked) {
    WriteImage("red.png", 8, 8, 0xFF0000);
    for (const char* call : {"gfx_load_bitmap()", "gfx_load_bitmap({})", "gfx_load_bitmap('')"})
        EXPECT_NE(Run(call).find("File name must not be empty"), std::string::npos) << call;
    for (const char* size : {"0, 5", "-5, 8", "1e9, 8", "8, 3e10", "0/0, 8"})
        EXPECT_EQ(Eval(std::string("gfx_create_bitmap(") + size + ")"), "nil") << size;
    EXPECT_EQ(Eval("gfx_sprite_params(gfx_create_bitmap(16.9, 8), 'main')"), "16 8 8 4");
    EXPECT_EQ(Eval("gfx_sprite_params(gfx_create_bitmap(16, 8), 'other')"), "");
    EXPECT_EQ(Eval("gfx_is_bitmap_valid('red.png'), gfx_is_bitmap_valid('missing.png'), gfx_is_bitmap_valid()"),
              "true false false");
}

TEST_F(GfxScriptTest, CropAppliesToOneLookupAndNeverStartsOutsideTheSprite) {
    WriteImage("red.png", 8, 8, 0xFF0000);
    ASSERT_EQ(Run("red = gfx_load_bitmap('red.png')"), "");
    for (const char* fifth : {"false", "true"})
        EXPECT_NE(Run(std::string("gfx_crop_sprite(1, 2, 3, 4, ") + fifth + ")").find(
                      "Permanent crop is no longer supported!"),
                  std::string::npos)
            << fifth;
    EXPECT_EQ(Eval("gfx_crop_sprite(2, -5, 0, 0, nil), gfx_sprite_params(red, 'main')"), "nil 6 8 4 4");
    EXPECT_EQ(Eval("gfx_sprite_params(red, 'main')"), "8 8 4 4");
    EXPECT_EQ(Eval("gfx_crop_sprite(), gfx_sprite_params(red, 'main')"), "nil 8 8 4 4");
    EXPECT_EQ(Eval("gfx_crop_sprite(-3, 0, 4, 4), gfx_sprite_params(red, 'main')"), "nil 4 4 4 4");
}

TEST_F(GfxScriptTest, BatchSlotIsClampedAtBothEnds) {
    for (const char* slot : {"-3", "7", "nil"}) {
        ASSERT_EQ(Run(std::string("gfx_batch_layer(") + slot + ") gfx_render_box(1, 1, 2, 2)"), "");
        EXPECT_EQ(PendingBatchVertices(0), 4) << slot;
        FlushBatch(kAllBatchSlots);
    }
}

// Reads the width and height of a saved BMP file.
std::pair<int32_t, int32_t> BmpSize(const std::string& bytes) {
    int32_t width = 0, height = 0;
    if (bytes.size() < 26) return {0, 0};
    std::memcpy(&width, bytes.data() + 18, 4);
    std::memcpy(&height, bytes.data() + 22, 4);
    return {width, height};
}

TEST_F(GfxScriptTest, ScreenshotRectanglesOnlyWhenComplete) {
    EndScene();
    const struct {
        const char* arguments;
        int width, height;
    } cases[] = {
        {"'whole.bmp'", 64, 64},
        {"'sized.bmp', 16, 8", 16, 8},
        {"'part.bmp', 0, 0, 10, 20, 30, 25", 20, 5},
        {"'left_missing.bmp', 0, 0, -1, 20, 30, 25", 64, 64},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Run(std::string("gfx_screenshot(") + c.arguments + ")"), "");
        const std::string name = std::string(c.arguments).substr(1, std::string(c.arguments).find('\'', 1) - 1);
        EXPECT_EQ(BmpSize(dir_.Read(name)), std::make_pair(c.width, c.height)) << c.arguments;
    }
}

TEST(BitmapFontNames, SizesFollowTheFactor) {
    const struct {
        const char* name;
        float factor;
        const char* scaled;
    } cases[] = {
        {"arial12", 1.5f, "arial18"}, {"big600", 2.0f, "big900"},      {"plain", 2.0f, "plain"},
        {"a12bold", 1.0f, "a12"},     {"x99999999999999", 1.0f, "x900"}, {"neg10", -1.0f, "neg0"},
        {"7", 0.5f, "4"},
    };
    for (const auto& c : cases) EXPECT_EQ(ScaleBitmapFontName(c.name, c.factor), c.scaled) << c.name;
}

TEST_F(GfxScriptTest, FontScaleIgnoresValuesThatCannotDivide) {
    EXPECT_EQ(GlobalFontScale(), 1.0f);
    ASSERT_EQ(Run("gfx_global_font_scaling(2)"), "");
    EXPECT_EQ(GlobalFontScale(), 2.0f);
    ASSERT_EQ(Run("gfx_global_font_scaling(0) gfx_global_font_scaling(-1) gfx_global_font_scaling('big') "
                  "gfx_global_font_scaling(0/0) gfx_use_non_retina_fonts(nil)"),
              "");
    EXPECT_EQ(GlobalFontScale(), 2.0f);
    ASSERT_EQ(Run("gfx_use_non_retina_fonts(1)"), "");
    EXPECT_EQ(GlobalFontScale(), 0.5f);
    ASSERT_EQ(Run("gfx_enable_dithering_16_bit(true)"), "");
    EXPECT_EQ(Eval("gfx_is_dithering_16_bit_enabled()"), "true");
    ASSERT_EQ(Run("gfx_enable_dithering_16_bit(0) gfx_enable_dithering_16_bit(false)"), "");
    EXPECT_EQ(Eval("gfx_is_dithering_16_bit_enabled()"), "false");
}

}  // namespace
