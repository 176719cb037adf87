// The built-in debug font: its table and image, its glyphs, and drawing on the device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "graphics/surface.h"
#include "text/debug_font.h"
#include "text/debug_font_data.h"
#include "text_device_fixture.h"

namespace {

int Coverage(int code, int x, int rowFromTop) {
    const int cellX = 16 * (code % 16), cellY = 16 * (code / 16);
    return kDebugFontImage[(cellY + 15 - rowFromTop) * 256 + cellX + x];
}

TEST(DebugFontTableTest, FixedWidths) {
    const std::pair<int, int> fixed[] = {{9, 12}, {32, 3}, {'A', 7}, {'M', 9}, {'W', 9}, {'i', 2},
                                         {'l', 2}, {'m', 8}, {'H', 8}};
    for (const auto& [code, width] : fixed) EXPECT_EQ(kDebugFontWidths[code], width) << code;
    for (int digit = '0'; digit <= '9'; ++digit) EXPECT_EQ(kDebugFontWidths[digit], 6) << digit;
    for (int code = 0; code < 32; ++code)
        if (code != 9) {
            EXPECT_EQ(kDebugFontWidths[code], 0) << code;
        }
    for (int code = 127; code <= 160; ++code) EXPECT_EQ(kDebugFontWidths[code], 0) << code;
    for (int code = 161; code < 256; ++code) EXPECT_GT(kDebugFontWidths[code], 0) << code;
    EXPECT_EQ(DebugFont_TextWidth("Hi", 2), 10);
    EXPECT_EQ(DebugFont_TextWidth("Hi", 1), 8);
}

TEST(DebugFontTableTest, EveryGlyphsInkLiesInsideItsWidth) {
    for (int code = 0; code < 256; ++code) {
        int ink = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                if (Coverage(code, x, y) == 0) continue;
                EXPECT_LT(x, kDebugFontWidths[code]) << "code " << code;
                ++ink;
            }
        const bool printable = (code > 32 && code < 127) || code > 160;
        if (printable && code != 173) {
            EXPECT_GT(ink, 0) << "code " << code;
        }
    }
}

TEST(DebugFontGlyphTest, GlyphsComeFromTheImageTopRowFirst) {
    TrueText_DebugFont font;
    font.UpdateMetrics();
    EXPECT_EQ(font.resolved.lineHeight, 16.0f);
    EXPECT_EQ(font.resolved.descender, 0.0f);
    Surface out;
    const TrueText_Glyph h = font.RenderGlyph('H', &out, 3.0f);
    EXPECT_EQ(h.width, 8);
    EXPECT_EQ(h.height, 16);
    EXPECT_EQ(h.advance, 8.0f);
    ASSERT_EQ(out.width, 8);
    ASSERT_EQ(out.height, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(out.Row(y)[x], 0x00FFFFFFu | uint32_t(Coverage('H', x, y)) << 24);
    const TrueText_Glyph none = font.RenderGlyph(300, &out, 0.0f);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.advance, 0.0f);
    EXPECT_EQ(font.GetAdvance('\t').advance, 12.0f);
    EXPECT_EQ(font.GetAdvance(300).advance, 0.0f);
    EXPECT_EQ(font.GetAdvance(300).height, 16.0f);
}

using DebugFontDrawTest = TextDeviceTest;

TEST_F(DebugFontDrawTest, DrawsInsideEachCharactersBox) {
    Start(320, 200, false);
    BeginFrame();
    DebugFont_DrawText(10, 20, "H", 0xFFFFFFFFu);
    EndFrame();
    const Box box = Ink();
    ASSERT_FALSE(box.Empty());
    EXPECT_GE(box.left, 10);
    EXPECT_LE(box.right, 18);
    EXPECT_GE(box.top, 16);
    EXPECT_LE(box.bottom, 32);
    EXPECT_GE(box.bottom - box.top, 6) << "a capital is drawn whole";
}

TEST_F(DebugFontDrawTest, UpperHalfCodesUseTheirOwnCells) {
    Start(320, 200, false);
    BeginFrame();
    DebugFont_DrawText(10, 20, "\xA0", 0xFFFFFFFFu);  // no width: nothing
    DebugFont_DrawText(40, 20, "\xC9", 0xFF00FF00u);  // E with acute, in green
    EndFrame();
    const Box box = Ink();
    ASSERT_FALSE(box.Empty());
    EXPECT_GE(box.left, 40);
    EXPECT_LE(box.right, 40 + kDebugFontWidths[0xC9]);
    EXPECT_EQ(At(box.left, box.top) & 0xFF00FFu, 0u) << "only green";
}

TEST_F(DebugFontDrawTest, LongTextsDrawInChunks) {
    Start(320, 200, false);
    BeginFrame();
    // Zero-width characters push the capital into the second chunk.
    DebugFont_DrawText(100, 50, std::string(kDebugFontQuads + 50, '\x01') + "H", 0xFFFFFFFFu);
    EndFrame();
    const Box box = Ink();
    ASSERT_FALSE(box.Empty()) << Log();
    EXPECT_GE(box.left, 100);
    EXPECT_LE(box.right, 108);
}

TEST_F(DebugFontDrawTest, TheTextureBelongsToTheFontAndIsRebuiltAfterARelease) {
    Start(320, 200, false);
    BeginFrame();
    DebugFont_DrawText(10, 20, "H", 0xFFFFFFFFu);
    EndFrame();
    ASSERT_NE(DebugFont_Texture(), nullptr);
    // A device re-creation: the font lets go first, the device textures come back blank.
    DebugFont_Release();
    ReleaseDeviceTextures();
    ReloadDeviceTextures();
    BeginFrame();
    DebugFont_DrawText(10, 20, "H", 0xFFFFFFFFu);
    EndFrame();
    EXPECT_FALSE(Ink().Empty());
    DebugFont_Release();
    for (const TexturePtr& texture : AllTextures()) EXPECT_EQ(texture->refCount, 0);
}

}  // namespace
