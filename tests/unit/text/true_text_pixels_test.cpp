// TrueText blocks of a real face (DejaVu Sans) drawn on the software device and read
// back: layers in order with an outline, and kerning that every line and layer starts
// afresh, whether glyphs come from the font or from the glyph cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "graphics/surface.h"
#include "text/true_text_layout.h"
#include "text/true_text_render.h"
#include "text_device_fixture.h"

namespace {

class TrueTextPixelsTest : public TextDeviceTest {
protected:
    void StartWith(int width, int height, const std::string& name, const std::string& definition) {
        Start(width, height, true);
        InstallDejaVu("dejavu.ttf");
        dir_.Write("fonts/" + name + ".fn2", "font = \"fonts/dejavu.ttf\"\n" + definition);
        TrueText_Init();
        ASSERT_TRUE(TrueText_Running());
    }
    // One frame with the text laid out and drawn in white at (x, y), left and top.
    void Draw(const char* text, const char* font, float size, float x, float y) {
        BeginFrame();
        TrueText_Render(text, true, font, size, x, y, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
        TrueText_Render(text, false, font, size, x, y, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
        EndFrame();
    }
    // The first and one past the last column with ink in rows [top, bottom); {0, 0} if none.
    std::pair<int, int> InkColumns(int top, int bottom) const {
        int left = width_, right = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != 0) {
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                }
        return right == 0 ? std::pair{0, 0} : std::pair{left, right};
    }
};

int Red(uint32_t c) { return static_cast<int>(c >> 16 & 0xFF); }
int Green(uint32_t c) { return static_cast<int>(c >> 8 & 0xFF); }

// Every pixel of a drawn block is the cache texel it stands for, upright or turned by the
// packer (white text: each channel equals the texel's alpha). A block sampled half a texel
// off would smear each stem over two columns.
struct CachedBlockCase {
    const char* text;
    bool rotated;
    friend std::ostream& operator<<(std::ostream& out, const CachedBlockCase& c) { return out << c.text; }
};

class CachedBlockPixelsTest : public TrueTextPixelsTest, public testing::WithParamInterface<CachedBlockCase> {};

TEST_P(CachedBlockPixelsTest, ScreenPixelsAreTheCacheTexels) {
    StartWith(640, 480, "plain", "");
    Draw(GetParam().text, "plain", 24, 37, 41);
    TrueText_Block block;
    TrueText_Layout("plain", GetParam().text, block, false, 24, 0, 0, 9);
    ASSERT_GT(block.blockWidth, 0);
    ASSERT_EQ(block.rotated, GetParam().rotated) << "the case meant to cover this placement";
    const int n = TrueText_CacheSize();
    // The region's corner, inside its one-texel frame.
    const int left = static_cast<int>(std::lround(block.u0 * static_cast<float>(n)));
    const int top = static_cast<int>(std::lround(block.v0 * static_cast<float>(n)));
    const int w = static_cast<int>(block.blockWidth), h = static_cast<int>(block.blockHeight);
    IDirect3DTexture9* cache = TrueText_CacheTexture()->deviceTexture;
    int inked = 0, wrong = 0;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            // Turned a quarter anticlockwise: the block's columns run up the region's rows.
            const int tx = block.rotated ? left + j : left + i;
            const int ty = block.rotated ? top + w - 1 - i : top + j;
            const uint32_t alpha = TexturePixel(cache, tx, ty) >> 24;
            inked += alpha != 0;
            wrong += std::abs(static_cast<int>(At(37 + i, 41 + j) & 0xFF) - static_cast<int>(alpha)) > 1;
        }
    EXPECT_GT(inked, w * h / 10);
    EXPECT_EQ(wrong, 0) << "of " << w * h << " pixels";
    const Box ink = Ink();
    EXPECT_TRUE(ink.left >= 37 && ink.top >= 41 && ink.right <= 37 + w && ink.bottom <= 41 + h) << "nothing outside it";
}

INSTANTIATE_TEST_SUITE_P(TrueText, CachedBlockPixelsTest,
                         testing::Values(CachedBlockCase{"Toy", true}, CachedBlockCase{"I\nl", false}),
                         [](const testing::TestParamInfo<CachedBlockCase>& info) {
                             return info.param.rotated ? "Turned" : "Upright";
                         });

// A green letter over a red outline three pixels wide: walking across the middle of the
// "O", the outline is met first and last, the fill in between, and its hole stays dark.
TEST_F(TrueTextPixelsTest, AnOutlineLayerRingsTheFillDrawnOverIt) {
    StartWith(640, 480, "ringed", "layers = [\n  { color = \"#ff0000\" outline = 3 }\n  { color = \"#00ff00\" }\n]\n");
    Draw("O", "ringed", 64, 100, 100);
    const Box ink = Ink();
    ASSERT_FALSE(ink.Empty());
    const int row = (ink.top + ink.bottom) / 2;
    std::vector<uint32_t> lit;
    for (int x = ink.left; x < ink.right; ++x)
        if (At(x, row) != 0) lit.push_back(At(x, row));
    ASSERT_GT(lit.size(), 12u);
    EXPECT_GT(Red(lit.front()), Green(lit.front())) << "the outline outside the letter";
    EXPECT_GT(Red(lit.back()), Green(lit.back()));
    int fill = 0;
    for (const uint32_t c : lit) fill += Green(c) > 200 && Red(c) < 60;
    EXPECT_GT(fill, 6) << "the letter itself, drawn after its outline";
    EXPECT_EQ(At((ink.left + ink.right) / 2, row), 0u) << "the hole of the O";
    // The 3-pixel outline is centred on the letter's edge: it reaches past the plain letter
    // on every side, and the block holds it whole.
    TrueText_Destroy();
    dir_.Write("fonts/plain.fn2", "font = \"fonts/dejavu.ttf\"\n");
    TrueText_Init();
    Draw("O", "plain", 64, 100, 100);
    const Box plain = Ink();
    EXPECT_GE(ink.right - ink.left, plain.right - plain.left + 2);
    EXPECT_GE(ink.bottom - ink.top, plain.bottom - plain.top + 2);
}

// A layer colour with alpha 80 draws the same glyph as the opaque colour at half strength,
// pixel by pixel (over black: each red value scaled by 128 / 255).
TEST_F(TrueTextPixelsTest, ALayerColourAlphaScalesTheGlyphs) {
    StartWith(640, 480, "opaque", "layers = [\n  { color = \"#ff0000\" }\n]\n");
    dir_.Write("fonts/half.fn2", "font = \"fonts/dejavu.ttf\"\nlayers = [\n  { color = \"80ff0000\" }\n]\n");
    Draw("Il", "opaque", 40, 30, 30);
    const std::vector<uint32_t> opaque = pixels_;
    Draw("Il", "half", 40, 30, 30);
    int solid = 0, wrong = 0;
    for (std::size_t i = 0; i < opaque.size(); ++i) {
        const int full = Red(opaque[i]), half = Red(pixels_[i]);
        solid += full == 255;
        wrong += std::abs(half - full * 128 / 255) > 2 || (pixels_[i] & 0xFFFF) != 0;
    }
    EXPECT_GT(solid, 40) << "the stems";
    EXPECT_EQ(wrong, 0);
}

// The debug overlay's colours are device colours: its top rule yellow, the line's box orange
// over the block's red (never with blue, which would mean red and blue changed places).
TEST_F(TrueTextPixelsTest, TheDebugOverlayKeepsItsColours) {
    StartWith(640, 480, "plain", "");
    TrueText_SetDebugOverlay(true);
    Draw("I", "plain", 40, 30, 30);
    TrueText_SetDebugOverlay(false);
    EXPECT_EQ(At(30, 30), 0xFFFF00u) << "the line's top rule";
    const uint32_t box = At(30, 31);
    EXPECT_GT(Red(box), 0x80);
    EXPECT_GT(Green(box), 0x20);
    EXPECT_EQ(box & 0xFF, 0u);
}

// "AV" kerns: the V moves left by the pair's kerning. Two lines of it (a carriage return:
// no paragraph spacing) in two layers, the second 150 pixels lower, make four rows that
// must all match the kerned width, first with glyphs from the font, then with the same
// glyphs read back from the glyph cache (with one) in a fresh block.
class KerningPixelsTest : public TrueTextPixelsTest, public testing::WithParamInterface<bool> {};

TEST_P(KerningPixelsTest, RestartsAtEveryLineAndLayer) {
    const bool glyphCache = GetParam();
    StartWith(glyphCache ? 1366 : 640, 480, "twin", "layers = [\n  { }\n  { y = 150 }\n]\n");
    ASSERT_EQ(TrueText_GlyphAtlas() != nullptr, glyphCache);
    TrueText_Font& font = *TrueText_GetFont("twin", 48);
    const float kerning = font.Kerning('A', 'V');
    ASSERT_LT(kerning, -2.5f) << "enough to tell kerned from not";
    Surface glyph;
    const TrueText_Glyph a = font.RenderGlyph('A', &glyph, 0);
    const TrueText_Glyph v = font.RenderGlyph('V', &glyph, 0);
    // From the A's left edge to the V's right edge, glyph positions truncated; the
    // texture's filtering may add a faint column.
    const int kernedWidth = static_cast<int>(a.advance + kerning + static_cast<float>(v.left)) + v.width - a.left;
    const int line = static_cast<int>(font.resolved.lineHeight);
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) TrueText_ResetCache();
        Draw("AV\rAV", "twin", 48, 20, 20);
        const auto first = InkColumns(20, 20 + line);
        EXPECT_NEAR(first.second - first.first, kernedWidth, 1) << "pass " << pass;
        for (const int top : {20 + line, 170, 170 + line})
            EXPECT_EQ(InkColumns(top, top + line), first) << "pass " << pass << ", row at " << top;
    }
}

// "AVA": both pairs kern, and each moves the pen as well as its glyph, so the last A stands
// after both kernings (not after the last one only, which left a gap after the first pair)
// and the measured width follows.
TEST_F(TrueTextPixelsTest, KernedPairsMoveThePen) {
    StartWith(640, 480, "plain", "");
    TrueText_Font& font = *TrueText_GetFont("plain", 48);
    const float av = font.Kerning('A', 'V'), va = font.Kerning('V', 'A');
    ASSERT_LT(av, -2.5f);
    ASSERT_LT(va, -2.5f);
    Surface glyph;
    const TrueText_Glyph a = font.RenderGlyph('A', &glyph, 0);
    const TrueText_Glyph v = font.RenderGlyph('V', &glyph, 0);
    const float lastPen = a.advance + av + v.advance + va;
    float width = 0, height = 0;
    TrueText_TextSize("AVA", width, height, "plain", 48, 0, 0, 9);
    EXPECT_EQ(width, std::ceil(lastPen + a.advance));
    // Wrapped into a box that holds "AVA" but not "AVA AVA": both lines measure the same.
    float wrapped = 0;
    TrueText_TextSize("AVA AVA", wrapped, height, "plain", 48, width + 10, 0, 9);
    EXPECT_EQ(wrapped, width);
    Draw("AVA", "plain", 48, 20, 20);
    const int line = static_cast<int>(font.resolved.lineHeight);
    const auto ink = InkColumns(20, 20 + line);
    EXPECT_EQ(ink.first, 20 + a.left) << "the block's frame is not drawn";
    EXPECT_NEAR(ink.second, 20 + static_cast<int>(lastPen + static_cast<float>(a.left)) + a.width, 1);
}

INSTANTIATE_TEST_SUITE_P(TrueText, KerningPixelsTest, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return info.param ? "WithGlyphCache" : "WithoutGlyphCache";
});

}  // namespace
