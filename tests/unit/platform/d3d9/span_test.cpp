// The fast sprite spans against the per-pixel definition in pixel_color.h: every pixel of
// a row equals the scalar bilinear sample, modulated and blended, at the fixed-point
// coordinates the triangle was given. Rows run across the texture's edges and beyond, so
// the spans' split into edge and interior pixels is covered on both sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/d3d9/pixel_color.h"
#include "platform/d3d9/triangle.h"

namespace {

constexpr int kTargetWidth = 160, kRows = 48;

struct SpanCase {
    const char* name;
    int texWidth, texHeight;
    uint8_t address;
    bool blend;
    uint32_t colour;
    float angle, scale;  // texels per pixel
    uint32_t alphaOr;    // a texture without alpha reads as opaque
};

std::vector<uint32_t> RandomTexels(int n, std::mt19937& random) {
    std::vector<uint32_t> texels(static_cast<size_t>(n));
    for (uint32_t& t : texels) t = random();
    // Some fully transparent and fully opaque texels: the blend's special cases.
    for (size_t i = 0; i < texels.size(); i += 5) texels[i] &= 0x00FFFFFF;
    for (size_t i = 2; i < texels.size(); i += 7) texels[i] |= 0xFF000000;
    return texels;
}

// Source-alpha blending or none, from a texture with the given sampler.
DrawState SpriteState(bool blend, const SamplerView& sampler) {
    DrawState st;
    st.textured = true;
    st.blend = blend;
    st.srcBlend = D3DBLEND_SRCALPHA;
    st.dstBlend = D3DBLEND_INVSRCALPHA;
    st.sampler = sampler;
    return st;
}

// A 32-bit target over the pixels, viewport and scissor all of it.
RenderTargetView TargetView(std::vector<uint32_t>& pixels) {
    RenderTargetView view;
    view.bits = reinterpret_cast<uint8_t*>(pixels.data());
    view.pitch = kTargetWidth * 4;
    view.format = D3DFMT_X8R8G8B8;
    view.scissor = {0, 0, kTargetWidth, kRows};
    return view;
}

// The reference for one pixel, from the triangle's fixed-point planes.
uint32_t ReferencePixel(const Triangle& t, const DrawState& st, int x, int y, uint32_t dst) {
    constexpr uint64_t kRound = 1u << 23;
    const int su = static_cast<int>(static_cast<uint32_t>((t.fixedS.At(x, y) + kRound) >> 24));
    const int sv = static_cast<int>(static_cast<uint32_t>((t.fixedT.At(x, y) + kRound) >> 24));
    const uint32_t src = Modulate(SampleBilinear(st.sampler, su, sv), t.flat);
    return (st.blend ? BlendSrcAlpha(src, dst) : src) | 0xFF000000u;
}

// Draws the pixels xl..xr of row y alone.
void DrawRow(const Triangle& t, const DrawState& st, const RenderTargetView& view, int y, int xl, int xr) {
    RowSpans rows;
    rows.y0 = y;
    rows.count = 1;
    rows.xl[0] = xl;
    rows.xr[0] = xr;
    t.span(SpanContext{t, st, view}, rows);
}

// Row y's pixels in the rotated-sprite cases: whole rows, empty ones, and rows of every
// length from 1 to 18 (and more) at varied starts.
void CaseRow(int y, int& xl, int& xr) {
    if (y % 3 == 0) {
        xl = 0;
        xr = kTargetWidth - 1;
    } else if (y % 7 == 5) {
        xl = 1;
        xr = 0;
    } else {
        xl = (y * 7) % 40 + 60;
        xr = xl + (y * 7) % 23;
    }
}

// Row y (below 40) y + 1 pixels long, at starts on the texture, off it and across its
// edges: every way a row splits into whole groups and a partial last one.
void LengthRow(int y, int& xl, int& xr) {
    xl = (y * 13) % (kTargetWidth - 40);
    xr = xl + y;
}

using RowFunction = void (*)(int y, int& xl, int& xr);

// Each case with the 128-bit spans and, where the processor has them, the 256- and 512-bit
// ones.
class FastSpanTest : public ::testing::TestWithParam<std::tuple<SpanCase, int>> {
protected:
    void TearDown() override { UseSpanRegisters(512); }

    // Draws rows 0..rowCount-1 as rowOf gives them, in as few calls as the span takes them,
    // and checks every pixel of the target.
    static void CheckRows(RowFunction rowOf, int rowCount) {
        const auto& [c, bits] = GetParam();
        if (UseSpanRegisters(bits) != bits) GTEST_SKIP() << "no " << bits << "-bit registers";
        std::mt19937 random(7);
        // Rows padded past the texture's width: the padding must never be read.
        const int pitch = c.texWidth + 3;
        const std::vector<uint32_t> texels = RandomTexels(pitch * c.texHeight, random);
        const DrawState st = SpriteState(c.blend, {texels.data(), pitch, c.texWidth, c.texHeight, c.alphaOr, c.address,
                                                   c.address, D3DTEXF_LINEAR, D3DTEXF_LINEAR});
        std::vector<uint32_t> target(static_cast<size_t>(kTargetWidth) * kRows);
        for (uint32_t& p : target) p = random() | 0xFF000000u;
        const std::vector<uint32_t> before = target;
        const RenderTargetView view = TargetView(target);

        // Rotated and scaled about the texture's centre placed at the row's middle.
        Triangle t{};
        const float cs = std::cos(c.angle) * c.scale, sn = std::sin(c.angle) * c.scale;
        t.ox = kTargetWidth / 2.0f;
        t.oy = kRows / 2.0f;
        t.s = {c.texWidth / 2.0f + 0.3f, cs, -sn};
        t.t = {c.texHeight / 2.0f + 0.1f, sn, cs};
        t.flat = c.colour;
        t.flatColour = true;
        t.linear = true;
        ChooseSpan(t, false, st, view);
        ASSERT_NE(t.span, nullptr);

        for (int y0 = 0; y0 < rowCount; y0 += RowSpans::kMost) {
            RowSpans rows;
            rows.y0 = y0;
            rows.count = std::min(RowSpans::kMost, rowCount - y0);
            for (int i = 0; i < rows.count; ++i) rowOf(y0 + i, rows.xl[i], rows.xr[i]);
            t.span(SpanContext{t, st, view}, rows);
        }
        for (int y = 0; y < kRows; ++y) {
            int xl = 1, xr = 0;
            if (y < rowCount) rowOf(y, xl, xr);
            for (int x = 0; x < kTargetWidth; ++x) {
                const uint32_t old = before[static_cast<size_t>(y) * kTargetWidth + x];
                const uint32_t want = x >= xl && x <= xr ? ReferencePixel(t, st, x, y, old) : old;
                ASSERT_EQ(target[static_cast<size_t>(y) * kTargetWidth + x], want)
                    << std::hex << "pixel " << std::dec << x << "," << y;
            }
        }
    }
};

TEST_P(FastSpanTest, EveryPixelMatchesTheScalarDefinition) { CheckRows(CaseRow, kRows); }

TEST_P(FastSpanTest, RowsOfEveryLengthMatchTheScalarDefinition) { CheckRows(LengthRow, 40); }

std::string CaseName(const ::testing::TestParamInfo<std::tuple<SpanCase, int>>& info) {
    return std::string(std::get<0>(info.param).name) + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(
    RotatedSprites, FastSpanTest,
    ::testing::Combine(::testing::Values(SpanCase{"ClampBlendWhite", 32, 32, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 0.7f, 0.37f, 0},
                      SpanCase{"ClampBlendTinted", 32, 32, D3DTADDRESS_CLAMP, true, 0xC080FF40, -2.1f, 0.45f, 0xFF000000},
                      SpanCase{"ClampOpaqueWhite", 32, 16, D3DTADDRESS_CLAMP, false, 0xFFFFFFFF, 1.3f, 0.6f, 0},
                      SpanCase{"ClampOpaqueTinted", 32, 32, D3DTADDRESS_CLAMP, false, 0x7F3366CC, 0.2f, 0.3f, 0},
                      SpanCase{"WrapPowerOfTwo", 16, 8, D3DTADDRESS_WRAP, true, 0xFFFFFFFF, 2.5f, 0.9f, 0xFF000000},
                      SpanCase{"WrapOddSizes", 13, 7, D3DTADDRESS_WRAP, true, 0xFFFFFFFF, -0.4f, 0.8f, 0},
                      SpanCase{"Magnified", 4, 4, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 0.9f, 0.05f, 0},
                      SpanCase{"Minified", 64, 64, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 3.0f, 2.5f, 0},
                      SpanCase{"UnrotatedHalfTexel", 32, 32, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 0.0f, 0.5f, 0},
                      SpanCase{"ClampOneColumn", 1, 8, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 0.6f, 0.3f, 0},
                      SpanCase{"ClampTwoByTwo", 2, 2, D3DTADDRESS_CLAMP, true, 0xC0FFFFFF, -1.1f, 0.08f, 0},
                      SpanCase{"ClampFarOutside", 32, 8, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 0.3f, 900.0f, 0},
                      SpanCase{"ClampOddSizes", 13, 7, D3DTADDRESS_CLAMP, true, 0xFFFFFFFF, 2.2f, 0.4f, 0}),
                       ::testing::Values(128, 256, 512)),
    CaseName);

}  // namespace

// Vertex colours to channel bytes: clamped to 0..255 with NaN as 0, halves to even.
TEST(PackColourTest, ClampsAndRoundsEveryChannel) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float value;
        uint32_t byte;
    } cases[] = {{0, 0},        {0.5f, 0},   {1.5f, 2},      {2.5f, 2},   {127.49f, 127}, {254.5f, 254},
                 {254.51f, 255}, {255, 255}, {300, 255},     {inf, 255},  {-0.4f, 0},     {-7, 0},
                 {-inf, 0},     {nan, 0}};
    for (const auto& c : cases) {
        // The value in each channel in turn, the others fixed.
        for (int k = 0; k < 4; ++k) {
            float colour[4] = {10, 20, 30, 40};
            colour[k] = c.value;
            uint32_t want = 0;
            for (int j = 0; j < 4; ++j) want |= (j == k ? c.byte : static_cast<uint32_t>(colour[j])) << (8 * j);
            EXPECT_EQ(PackColour(colour, 1.0f), want) << "value " << c.value << " in channel " << k;
        }
    }
    const float half[4] = {100, 200, 300, nan};
    EXPECT_EQ(PackColour(half, 0.5f), 0x00966432u);  // 50, 100, 150, NaN -> 0
}

// Unscaled, unrotated sprites sample one texel a pixel along a texel row: rows inside the
// texture, rows running off either side of it and rows of every short length, against the
// per-pixel definition (a clear texel leaves its pixel as it was).
TEST(PointSpanTest, OneTexelAPixelMatchesTheScalarDefinition) {
    std::mt19937 random(11);
    constexpr int kTexWidth = 16, kTexHeight = 8, kPitch = 19;
    const std::vector<uint32_t> texels = RandomTexels(kPitch * kTexHeight, random);
    const struct {
        bool blend;
        uint32_t colour, alphaOr;
        uint8_t address;
    } cases[] = {{true, 0xFFFFFFFF, 0, D3DTADDRESS_CLAMP},
                 {true, 0x80FF8040, 0, D3DTADDRESS_CLAMP},
                 {false, 0xFFFFFFFF, 0, D3DTADDRESS_WRAP},
                 {false, 0xC0336699, 0xFF000000, D3DTADDRESS_CLAMP},
                 {true, 0xFFFFFFFF, 0xFF000000, D3DTADDRESS_WRAP}};
    for (const int bits : {128, 256}) {
        if (UseSpanRegisters(bits) != bits) continue;
        for (const auto& c : cases) {
            const DrawState st = SpriteState(c.blend, {texels.data(), kPitch, kTexWidth, kTexHeight, c.alphaOr,
                                                       c.address, c.address, D3DTEXF_POINT, D3DTEXF_POINT});
            std::vector<uint32_t> target(static_cast<size_t>(kTargetWidth) * kRows);
            // Any byte in the unused alpha: a skipped pixel keeps it.
            for (uint32_t& p : target) p = random();
            const std::vector<uint32_t> before = target;
            const RenderTargetView view = TargetView(target);
            // Texel (x - 40, y - 6) at pixel (x, y), centre on centre.
            Triangle t{};
            t.s = {0.5f, 1, 0};
            t.t = {0.5f, 0, 1};
            t.ox = 40.5f;
            t.oy = 6.5f;
            t.flat = c.colour;
            t.flatColour = true;
            t.linear = false;
            ChooseSpan(t, false, st, view);
            for (int y = 0; y < kRows; ++y) {
                // Inside the texture's columns, across its left or right edge, and short.
                const int xl = 30 + (y * 5) % 24, xr = y % 4 == 0 ? xl + y % 5 : xl + 6 + (y * 3) % 17;
                DrawRow(t, st, view, y, xl, xr);
                for (int x = 0; x < kTargetWidth; ++x) {
                    const uint32_t old = before[static_cast<size_t>(y) * kTargetWidth + x];
                    uint32_t want = old;
                    if (x >= xl && x <= xr) {
                        const uint32_t texel = FetchTexel(st.sampler, x - 40, y - 6);
                        const uint32_t src = Modulate(texel, c.colour);
                        if (!c.blend || (texel >> 24) != 0) want = (c.blend ? BlendSrcAlpha(src, old) : src) | 0xFF000000u;
                    }
                    ASSERT_EQ(target[static_cast<size_t>(y) * kTargetWidth + x], want)
                        << "pixel " << x << "," << y << ", " << bits << "-bit registers";
                }
            }
        }
    }
    UseSpanRegisters(512);
}
