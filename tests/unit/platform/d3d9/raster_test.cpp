// Golden pixels of the software device: expected values are computed here from the
// Direct3D 9 rules, not read from the implementation.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "device_fixture.h"

namespace {

int Ch(uint32_t argb, int k) { return static_cast<int>((argb >> (8 * k)) & 0xFF); }

void ExpectNear(uint32_t actual, uint32_t expected, int tolerance, const char* what) {
    for (int k = 0; k < 4; ++k)
        EXPECT_LE(std::abs(Ch(actual, k) - Ch(expected, k)), tolerance)
            << what << std::hex << ": got 0x" << actual << ", want 0x" << expected;
}

double FactorValue(D3DBLEND f, int k, uint32_t src, uint32_t dst) {
    const double sc = Ch(src, k), dc = Ch(dst, k), sa = Ch(src, 3), da = Ch(dst, 3);
    switch (f) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_ONE: return 1;
        case D3DBLEND_SRCCOLOR: return sc / 255;
        case D3DBLEND_INVSRCCOLOR: return 1 - sc / 255;
        case D3DBLEND_SRCALPHA: return sa / 255;
        case D3DBLEND_INVSRCALPHA: return 1 - sa / 255;
        case D3DBLEND_DESTALPHA: return da / 255;
        case D3DBLEND_INVDESTALPHA: return 1 - da / 255;
        case D3DBLEND_DESTCOLOR: return dc / 255;
        case D3DBLEND_INVDESTCOLOR: return 1 - dc / 255;
    }
    return 1;
}

uint32_t ExpectedBlend(uint32_t src, uint32_t dst, D3DBLEND sf, D3DBLEND df, D3DBLENDOP op) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        const double s = Ch(src, k) * FactorValue(sf, k, src, dst), d = Ch(dst, k) * FactorValue(df, k, src, dst);
        double v = 0;
        switch (op) {
            case D3DBLENDOP_ADD: v = s + d; break;
            case D3DBLENDOP_SUBTRACT: v = s - d; break;
            case D3DBLENDOP_REVSUBTRACT: v = d - s; break;
            case D3DBLENDOP_MIN: v = std::min(Ch(src, k), Ch(dst, k)); break;
            case D3DBLENDOP_MAX: v = std::max(Ch(src, k), Ch(dst, k)); break;
        }
        out |= static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))) << (8 * k);
    }
    return out;
}

// Opaque texels of random colour: any change in where or how they are sampled shows.
std::vector<uint32_t> NoiseTexels(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint32_t> texels(count);
    for (uint32_t& t : texels) t = random() | 0xFF000000u;
    return texels;
}

struct BlendCase {
    D3DBLEND src, dst;
    D3DBLENDOP op;
};

class BlendTest : public DeviceTest, public ::testing::WithParamInterface<BlendCase> {};

TEST_P(BlendTest, MatchesTheBlendEquation) {
    const BlendCase c = GetParam();
    const uint32_t src = 0x80C04020, dst = 0x60306090;
    ClearTo(dst);
    State(D3DRS_ALPHABLENDENABLE, TRUE);
    State(D3DRS_SRCBLEND, c.src);
    State(D3DRS_DESTBLEND, c.dst);
    State(D3DRS_BLENDOP, c.op);
    Quad(8, 8, 40, 40, src);
    ExpectNear(Pixel(20, 20), ExpectedBlend(src, dst, c.src, c.dst, c.op), 1, "blended");
    EXPECT_EQ(Pixel(50, 50), dst) << "outside the quad";
}

std::vector<BlendCase> AllBlendCases() {
    std::vector<BlendCase> cases;
    for (DWORD f = D3DBLEND_ZERO; f <= D3DBLEND_INVDESTCOLOR; ++f) {
        cases.push_back({static_cast<D3DBLEND>(f), D3DBLEND_ONE, D3DBLENDOP_ADD});
        cases.push_back({D3DBLEND_ONE, static_cast<D3DBLEND>(f), D3DBLENDOP_ADD});
    }
    for (DWORD op = D3DBLENDOP_ADD; op <= D3DBLENDOP_MAX; ++op)
        cases.push_back({D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, static_cast<D3DBLENDOP>(op)});
    cases.push_back({D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT});
    cases.push_back({D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DBLENDOP_REVSUBTRACT});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(FactorsAndOps, BlendTest, ::testing::ValuesIn(AllBlendCases()));

TEST_F(DeviceTest, SourceAlphaBlendingOfATextureMatchesTheEquation) {
    // The textured path has its own blending loop; it must agree with the equation too.
    const uint32_t dst = 0xFF102030;
    const std::vector<uint32_t> texels = {0x00FFFFFF, 0x40FF0000, 0x8000FF00, 0xFF0000FF};
    auto texture = MakeTexture(4, 1, texels);
    ClearTo(dst);
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    State(D3DRS_ALPHABLENDENABLE, TRUE);
    State(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    State(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    Quad(0, 0, 4, 1, 0xFFFFFFFF, 0.5f / 4, 0.5f, 1 + 0.5f / 4, 1.5f);
    for (int x = 0; x < 4; ++x)
        ExpectNear(Pixel(x, 0), ExpectedBlend(texels[x], dst, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD), 1,
                   "texel over background");
}

TEST_F(DeviceTest, ColourWriteMaskKeepsMaskedChannels) {
    ClearTo(0x11223344);
    State(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA);
    Quad(0, 0, 64, 64, 0xAABBCCDD);
    EXPECT_EQ(Pixel(5, 5), 0xAABB3344u);
}

TEST_F(DeviceTest, AlphaTestComparesAtTheReferenceBoundary) {
    struct Case {
        D3DCMPFUNC func;
        bool below, equal, above;
    };
    const Case cases[] = {
        {D3DCMP_NEVER, false, false, false},  {D3DCMP_LESS, true, false, false},
        {D3DCMP_EQUAL, false, true, false},   {D3DCMP_LESSEQUAL, true, true, false},
        {D3DCMP_GREATER, false, false, true}, {D3DCMP_NOTEQUAL, true, false, true},
        {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true},
    };
    const DWORD ref = 0x80;
    State(D3DRS_ALPHATESTENABLE, TRUE);
    State(D3DRS_ALPHAREF, ref);
    for (const Case& c : cases) {
        ClearTo(0);
        State(D3DRS_ALPHAFUNC, c.func);
        Quad(0, 0, 8, 8, (ref - 1) << 24 | 0xFF0000);
        Quad(8, 0, 16, 8, ref << 24 | 0xFF0000);
        Quad(16, 0, 24, 8, (ref + 1) << 24 | 0xFF0000);
        EXPECT_EQ(Pixel(4, 4) != 0, c.below) << "func " << c.func;
        EXPECT_EQ(Pixel(12, 4) != 0, c.equal) << "func " << c.func;
        EXPECT_EQ(Pixel(20, 4) != 0, c.above) << "func " << c.func;
    }
}

TEST_F(DeviceTest, CullModesRemoveTrianglesByScreenWinding) {
    struct Case {
        D3DCULL cull;
        bool clockwiseDrawn, counterClockwiseDrawn;
    };
    const Case cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
    for (const Case& c : cases) {
        ClearTo(0);
        State(D3DRS_CULLMODE, c.cull);
        // Left-top, right-top, left-bottom runs clockwise on a y-down screen.
        ASSERT_EQ(Draw({At(0, 0, 0xFFFF0000), At(30, 0, 0xFFFF0000), At(0, 30, 0xFFFF0000)}, {0, 1, 2}), D3D_OK);
        ASSERT_EQ(Draw({At(32, 0, 0xFF00FF00), At(32, 30, 0xFF00FF00), At(62, 0, 0xFF00FF00)}, {0, 1, 2}), D3D_OK);
        EXPECT_EQ(Pixel(5, 5) != 0, c.clockwiseDrawn) << "cull " << c.cull;
        EXPECT_EQ(Pixel(37, 5) != 0, c.counterClockwiseDrawn) << "cull " << c.cull;
    }
}

TEST_F(DeviceTest, TopLeftRuleDrawsSharedEdgesOnce) {
    // Additive blending shows any pixel drawn twice or missed between the two halves.
    ClearTo(0);
    State(D3DRS_ALPHABLENDENABLE, TRUE);
    State(D3DRS_SRCBLEND, D3DBLEND_ONE);
    State(D3DRS_DESTBLEND, D3DBLEND_ONE);
    Quad(4, 4, 20, 12, 0x00000040);
    ASSERT_EQ(Draw({At(30, 2, 0x40), At(60, 40, 0x40), At(25, 50, 0x40), At(58, 3, 0x40)}, {0, 1, 2, 0, 3, 1}), D3D_OK);
    const std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint32_t p = pixels[y * 64 + x];
            EXPECT_TRUE(p == 0 || p == 0x40) << x << "," << y;
            if (x < 24) {
                EXPECT_EQ(p != 0, x >= 4 && x < 20 && y >= 4 && y < 12) << x << "," << y;
            }
        }
}

// Whether the centre of pixel (x, y) lies inside triangle a, b, c (corners in 1/256 pixels),
// shared edges going to the triangle they bound on the top or the left.
bool CoversCentre(const int64_t (&X)[3], const int64_t (&Y)[3], int x, int y) {
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0) return false;
    const int order[3] = {0, area > 0 ? 1 : 2, area > 0 ? 2 : 1};
    for (int e = 0; e < 3; ++e) {
        const int i = order[e], j = order[(e + 1) % 3];
        const int64_t dx = X[j] - X[i], dy = Y[j] - Y[i];
        const int64_t side = dx * (256 * int64_t{y} - Y[i]) - dy * (256 * int64_t{x} - X[i]);
        const bool topLeft = dy < 0 || (dy == 0 && dx > 0);
        if (side < 0 || (side == 0 && !topLeft)) return false;
    }
    return true;
}

TEST_F(DeviceTest, TrianglesAndQuadsCoverExactlyThePixelCentresInsideThem) {
    // Corners on the sub-pixel grid, often on pixel rows and centres, where the edges that
    // meet at a corner hand the row over; the shapes cross the rasteriser's 16-row bands.
    std::mt19937 random(11);
    const auto coordinate = [&random] {
        const int64_t pixel = std::uniform_int_distribution<int64_t>(-8, 71)(random);
        const int64_t fraction = std::uniform_int_distribution<int64_t>(0, 255)(random);
        return 256 * pixel + (random() % 3 == 0 ? 0 : fraction);
    };
    for (int shape = 0; shape < 600; ++shape) {
        const bool quad = shape % 2 == 1;
        int64_t X[4], Y[4];
        for (int k = 0; k < 3; ++k) X[k] = coordinate(), Y[k] = coordinate();
        // A parallelogram: convex, and of one colour it is drawn as one polygon.
        X[3] = X[0] + X[2] - X[1];
        Y[3] = Y[0] + Y[2] - Y[1];
        const int corners = quad ? 4 : 3;
        std::vector<Vertex> v;
        for (int k = 0; k < corners; ++k) v.push_back(At(X[k] / 256.0f, Y[k] / 256.0f, 0xFFFFFFFF));
        ClearTo(0);
        ASSERT_EQ(Draw(v, quad ? std::vector<uint16_t>{0, 1, 2, 0, 2, 3} : std::vector<uint16_t>{0, 1, 2}), D3D_OK);
        const std::vector<uint32_t> pixels = Pixels();
        const int64_t first[3] = {X[0], X[1], X[2]}, firstY[3] = {Y[0], Y[1], Y[2]};
        const int64_t second[3] = {X[0], X[2], X[3]}, secondY[3] = {Y[0], Y[2], Y[3]};
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const bool inside =
                    CoversCentre(first, firstY, x, y) || (quad && CoversCentre(second, secondY, x, y));
                ASSERT_EQ(pixels[y * 64 + x] != 0, inside) << "shape " << shape << " at " << x << "," << y;
            }
    }
}

TEST_F(DeviceTest, UntexturedDrawingModulatesWhite) {
    Quad(0, 0, 64, 64, 0x80402010);
    EXPECT_EQ(Pixel(10, 10), 0x80402010u);
}

TEST_F(DeviceTest, SpriteMappedOneToOneReproducesItsTexelsExactly) {
    const std::vector<uint32_t> texels = NoiseTexels(32 * 32, 7);
    auto texture = MakeTexture(32, 32, texels);
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        Sampler(D3DSAMP_MAGFILTER, filter);
        Sampler(D3DSAMP_MINFILTER, filter);
        State(D3DRS_ALPHABLENDENABLE, TRUE);
        State(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        State(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        const float h = 0.5f / 32;  // the engine's half-texel offset
        Quad(10, 20, 42, 52, 0xFFFFFFFF, h, h, 1 + h, 1 + h);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(Pixel(10 + x, 20 + y), texels[y * 32 + x]) << "filter " << filter << " at " << x << "," << y;
    }
}

TEST_F(DeviceTest, QuadRotatedAQuarterTurnMovesTexelsWithIt) {
    std::vector<uint32_t> texels(8 * 8);
    for (int i = 0; i < 64; ++i) texels[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x030507);
    auto texture = MakeTexture(8, 8, texels);
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    // Rotated 90 degrees clockwise about (20, 20), as the engine computes corners.
    const float a = 90 * 0.017453292f, c = std::cos(a), s = std::sin(a);
    const float h = 0.5f / 8;
    std::vector<Vertex> v;
    const float corners[4][2] = {{-4, -4}, {4, -4}, {4, 4}, {-4, 4}};
    const float uv[4][2] = {{h, h}, {1 + h, h}, {1 + h, 1 + h}, {h, 1 + h}};
    for (int i = 0; i < 4; ++i)
        v.push_back(At(20 + corners[i][0] * c - corners[i][1] * s, 20 + corners[i][0] * s + corners[i][1] * c, 0xFFFFFFFF,
                       uv[i][0], uv[i][1]));
    ASSERT_EQ(Draw(v, {0, 1, 2, 0, 2, 3}), D3D_OK);
    // u runs down the screen and v to the left; the half-texel offset, now pointing
    // right, makes pixel x sample row 24 - x (row 8 wraps to 0).
    for (int y = 16; y < 24; ++y)
        for (int x = 16; x < 24; ++x) ExpectNear(Pixel(x, y), texels[((24 - x) & 7) * 8 + (y - 16)], 1, "rotated texel");
    EXPECT_EQ(Pixel(15, 20), 0u);
    EXPECT_EQ(Pixel(24, 20), 0u);
}

TEST_F(DeviceTest, QuadRotatedByFortyFiveDegreesCoversThePixelCentresInsideIt) {
    // A 20 x 20 square turned into a diamond: a pixel is drawn exactly when its centre lies
    // inside (no centre lies on the edges).
    const float a = 45 * 0.017453292f, c = std::cos(a), s = std::sin(a);
    const float corners[4][2] = {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}};
    std::vector<Vertex> v;
    for (const auto& k : corners) v.push_back(At(32 + k[0] * c - k[1] * s, 32 + k[0] * s + k[1] * c, 0xFFFFFFFF));
    ASSERT_EQ(Draw(v, {0, 1, 2, 0, 2, 3}), D3D_OK);
    const std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = std::abs(x - 32) + std::abs(y - 32) < 10 * std::sqrt(2.0);
            EXPECT_EQ(pixels[y * 64 + x] != 0, inside) << x << "," << y;
        }
}

TEST_F(DeviceTest, WindingAndTriangleSplitDoNotChangeATexturedQuad) {
    // The same rotated, filtered quad as two clockwise triangles, the counter-clockwise
    // quad, and two triangles that do not share the batcher's split.
    std::vector<uint32_t> texels(8 * 8);
    for (int i = 0; i < 64; ++i) texels[i] = 0xFF000000u | static_cast<uint32_t>((i * 37) % 256) << 16 | (i * 4) << 8;
    auto texture = MakeTexture(8, 8, texels);
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    const float corners[4][2] = {{-20, -14}, {20, -14}, {20, 14}, {-20, 14}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    std::vector<Vertex> v;
    for (int i = 0; i < 4; ++i)
        v.push_back(At(32 + corners[i][0] * c - corners[i][1] * s, 32 + corners[i][0] * s + corners[i][1] * c,
                       0xFFFFFFFF, uv[i][0], uv[i][1]));
    const std::vector<std::vector<uint16_t>> orders = {{0, 1, 2, 0, 2, 3}, {0, 3, 2, 0, 2, 1}, {1, 2, 3, 1, 3, 0}};
    std::vector<std::vector<uint32_t>> images;
    for (const auto& order : orders) {
        ClearTo(0);
        ASSERT_EQ(Draw(v, order), D3D_OK);
        images.push_back(Pixels());
    }
    for (size_t k = 1; k < images.size(); ++k)
        for (size_t i = 0; i < images[0].size(); ++i)
            ExpectNear(images[k][i], images[0][i], 1, "same quad");
}

struct Difference {
    int worst = 0, channels = 0;
};

Difference Compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    Difference d;
    for (size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < 4; ++k) {
            const int by = std::abs(Ch(a[i], k) - Ch(b[i], k));
            d.worst = std::max(d.worst, by);
            d.channels += by != 0;
        }
    return d;
}

TEST_F(DeviceTest, RotatedQuadDrawnWholeStaysCloserToItsTrianglesThanTheOtherDiagonalDoes) {
    // Corners rounded to sub-pixels leave a rotated quad a little off a parallelogram: drawn
    // as one polygon, one plane stands for its two triangles' planes. The same quad split
    // along its other diagonal is as right as the triangles drawn apart, and differs from
    // them: the one polygon may differ no more. Noise texels make any difference in the
    // filter weights show.
    const std::vector<uint32_t> texels = NoiseTexels(32 * 32, 11);
    auto texture = MakeTexture(32, 32, texels);
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    Sampler(D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const auto draw = [&](const std::vector<Vertex>& v, const std::vector<std::vector<uint16_t>>& draws) {
        ClearTo(0);
        for (const auto& indices : draws) EXPECT_EQ(Draw(v, indices), D3D_OK);
        return Pixels();
    };
    Difference whole, otherDiagonal;
    for (const float half : {7.3f, 16.0f, 27.5f})
        for (int step = 0; step < 24; ++step) {
            const float a = 0.05f + step * 0.27f, c = std::cos(a), s = std::sin(a);
            const float cx = 32 + step * 0.137f, cy = 32 - step * 0.071f;
            const float corners[4][2] = {{-half, -half}, {half, -half}, {half, half}, {-half, half}};
            std::vector<Vertex> v;
            for (int i = 0; i < 4; ++i)
                v.push_back(At(cx + corners[i][0] * c - corners[i][1] * s, cy + corners[i][0] * s + corners[i][1] * c,
                               0xFFFFFFFF, uv[i][0], uv[i][1]));
            const std::vector<uint32_t> apart = draw(v, {{0, 1, 2}, {0, 2, 3}});
            const Difference w = Compare(draw(v, {{0, 1, 2, 0, 2, 3}}), apart);
            const Difference o = Compare(draw(v, {{1, 2, 3}, {1, 3, 0}}), apart);
            whole = {std::max(whole.worst, w.worst), whole.channels + w.channels};
            otherDiagonal = {std::max(otherDiagonal.worst, o.worst), otherDiagonal.channels + o.channels};
        }
    EXPECT_LE(whole.worst, otherDiagonal.worst);
    EXPECT_LE(whole.channels, otherDiagonal.channels);
    EXPECT_LE(whole.worst, 2);
}

class AddressTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        texture_ = MakeTexture(2, 1, {0xFFFF0000, 0xFF0000FF});
        ASSERT_EQ(dev_->SetTexture(0, texture_.Get()), D3D_OK);
    }
    ComPtr<IDirect3DTexture9> texture_;
};

TEST_F(AddressTest, WrapRepeatsAndClampHoldsTheEdgeTexel) {
    // Eight pixels across u 0..2 of a red|blue texture, point sampled.
    Sampler(D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    Quad(0, 0, 8, 1, 0xFFFFFFFF, 0, 0, 2, 1);
    Sampler(D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Quad(0, 1, 8, 2, 0xFFFFFFFF, 0, 0, 2, 1);
    const uint32_t r = 0xFFFF0000, b = 0xFF0000FF;
    const uint32_t wrap[8] = {r, r, b, b, r, r, b, b}, clamp[8] = {r, r, b, b, b, b, b, b};
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(Pixel(x, 0), wrap[x]) << x;
        EXPECT_EQ(Pixel(x, 1), clamp[x]) << x;
    }
}

TEST_F(AddressTest, BilinearFilteringAtTheEdgeMixesTheOppositeTexelOnlyWhenWrapping) {
    // Eight pixels over the two texels, without the half-texel offset: pixel x samples
    // s = x / 4 texels, so pixel 1 takes a quarter of the texel left of texel 0.
    Sampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    Sampler(D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    Sampler(D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    Quad(0, 0, 8, 1, 0xFFFFFFFF, 0, 0, 1, 1);
    Sampler(D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Quad(0, 1, 8, 2, 0xFFFFFFFF, 0, 0, 1, 1);
    const uint32_t red = 0xFFFF0000, blue = 0xFF0000FF, mostlyRed = 0xFFBF0040, mostlyBlue = 0xFF4000BF;
    ExpectNear(Pixel(1, 0), mostlyRed, 1, "wrapped left edge");
    ExpectNear(Pixel(7, 0), mostlyBlue, 1, "wrapped right edge");
    EXPECT_EQ(Pixel(1, 1), red);
    EXPECT_EQ(Pixel(7, 1), blue);
    EXPECT_EQ(Pixel(2, 1), red) << "a texel centre";
    for (int y : {0, 1}) ExpectNear(Pixel(3, y), mostlyRed, 1, "interior mix");
}

TEST_F(DeviceTest, TiltedQuadInterpolatesInPerspective) {
    // A quad tilted about the vertical axis: its left edge 100 units toward the eye, its
    // right edge 100 units away. Texture left half red, right half blue; colour black to white.
    Create(256, 64, D3DFMT_A8R8G8B8, false);
    auto texture = MakeTexture(2, 1, {0xFFFF0000, 0xFF0000FF});
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    const float cx = 128, halfWidth = 60;
    // On screen a point at x with depth z projects to cx + (x - cx) * 200 / (200 - z).
    const auto project = [&](float x, float z) { return cx + (x - cx) * 200 / (200 - z); };
    std::vector<Vertex> v = {At(cx - halfWidth, 10, 0xFFFFFFFF, 0, 0, 100), At(cx + halfWidth, 10, 0xFFFFFFFF, 1, 0, -100),
                             At(cx + halfWidth, 50, 0xFFFFFFFF, 1, 1, -100), At(cx - halfWidth, 50, 0xFFFFFFFF, 0, 1, 100)};
    ASSERT_EQ(Draw(v, {0, 1, 2, 0, 2, 3}), D3D_OK);
    // The texture's middle lies at the quad's middle in space, which projects to cx.
    const float left = project(cx - halfWidth, 100), right = project(cx + halfWidth, -100);
    ASSERT_GT(std::fabs((left + right) / 2 - cx), 20) << "the screen midpoint must differ from the true middle";
    EXPECT_EQ(Pixel(static_cast<int>(cx) - 2, 30), 0xFFFF0000u);
    EXPECT_EQ(Pixel(static_cast<int>(cx) + 2, 30), 0xFF0000FFu);

    ASSERT_EQ(dev_->SetTexture(0, nullptr), D3D_OK);
    ClearTo(0);
    for (int i : {0, 3}) v[i].colour = 0xFF000000;
    ASSERT_EQ(Draw(v, {0, 1, 2, 0, 2, 3}), D3D_OK);
    ExpectNear(Pixel(static_cast<int>(cx), 30), 0xFF808080, 3, "colour at the middle in space");
}

TEST_F(DeviceTest, NearPlaneClipsWhatLiesBehindTheEye) {
    // z >= 200 lies at or behind the eye: a triangle wholly there draws nothing. One that
    // crosses the near plane draws its front part, which from its front edge at y = 10
    // runs up and out of the view.
    ASSERT_EQ(Draw({At(0, 0, 0xFFFFFFFF, 0, 0, 250), At(60, 0, 0xFFFFFFFF, 0, 0, 250), At(0, 60, 0xFFFFFFFF, 0, 0, 300)},
                   {0, 1, 2}),
              D3D_OK);
    for (uint32_t p : Pixels()) ASSERT_EQ(p, 0u);
    ASSERT_EQ(Draw({At(10, 10, 0xFFFFFFFF, 0, 0, 0), At(50, 10, 0xFFFFFFFF, 0, 0, 0), At(30, 50, 0xFFFFFFFF, 0, 0, 400)},
                   {0, 1, 2}),
              D3D_OK);
    EXPECT_EQ(Pixel(30, 5), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(30, 11), 0u);
}

TEST_F(DeviceTest, HugeAndInvalidCoordinatesAreClippedOrDropped) {
    const float nan = std::nanf("");
    ASSERT_EQ(Draw({At(-1e7f, -1e7f, 0xFFFFFFFF), At(1e7f, -1e7f, 0xFFFFFFFF), At(0, 1e7f, 0xFFFFFFFF)}, {0, 1, 2}), D3D_OK);
    EXPECT_EQ(Pixel(32, 32), 0xFFFFFFFFu);
    ClearTo(0);
    ASSERT_EQ(Draw({At(nan, 0, 0xFFFFFFFF), At(60, 0, 0xFFFFFFFF), At(0, 60, 0xFFFFFFFF)}, {0, 1, 2}), D3D_OK);
    for (uint32_t p : Pixels()) ASSERT_EQ(p, 0u);
}

TEST_F(DeviceTest, AbsurdTextureCoordinatesStillSampleInsideTheTexture) {
    auto texture = MakeTexture(2, 2, {0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233});
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        Sampler(D3DSAMP_MAGFILTER, filter);
        Sampler(D3DSAMP_MINFILTER, filter);
        for (DWORD address : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP}) {
            Sampler(D3DSAMP_ADDRESSU, address);
            ClearTo(0);
            Quad(0, 0, 64, 64, 0xFFFFFFFF, -3e9f, 0, 3e9f, 1e30f);
            EXPECT_EQ(Pixel(40, 20), 0xFF112233u) << filter << " " << address;
        }
    }
}

class DepthTest : public DeviceTest {
protected:
    void SetUp() override {
        Create(64, 64, D3DFMT_A8R8G8B8, true);
        ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    }
    void Layer(float z, uint32_t colour) {
        ASSERT_EQ(Draw({At(0, 0, colour, 0, 0, z), At(64, 0, colour, 0, 0, z), At(64, 64, colour, 0, 0, z),
                        At(0, 64, colour, 0, 0, z)},
                       {0, 1, 2, 0, 2, 3}),
                  D3D_OK);
    }
};

TEST_F(DepthTest, NearerDrawingHidesFartherDrawing) {
    Layer(50, 0xFFFF0000);
    Layer(-50, 0xFF0000FF);
    EXPECT_EQ(Pixel(32, 32), 0xFFFF0000u);
    Layer(60, 0xFF00FF00);
    EXPECT_EQ(Pixel(32, 32), 0xFF00FF00u);
}

TEST_F(DepthTest, WithoutDepthWritesOrTestsLaterDrawingWins) {
    State(D3DRS_ZWRITEENABLE, FALSE);
    Layer(50, 0xFFFF0000);
    Layer(-50, 0xFF0000FF);
    EXPECT_EQ(Pixel(32, 32), 0xFF0000FFu);
    State(D3DRS_ZWRITEENABLE, TRUE);
    Layer(50, 0xFFFF0000);
    State(D3DRS_ZENABLE, D3DZB_FALSE);
    Layer(-50, 0xFF00FF00);
    EXPECT_EQ(Pixel(32, 32), 0xFF00FF00u);
}

TEST_F(DepthTest, DepthClearOutsideTheRangeIsRefused) {
    EXPECT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 10000000.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ViewportLimitsDrawingAndMapsIntoIt) {
    const D3DVIEWPORT9 viewport{16, 8, 32, 32, 0, 1};
    ASSERT_EQ(dev_->SetViewport(&viewport), D3D_OK);
    const D3DMATRIX projection = EngineProjection(32, 32);
    ASSERT_EQ(dev_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    // Pixel (0, 0) of the viewport's own coordinates is target pixel (16, 8).
    ASSERT_EQ(Draw({{-16 - 10, -16 - 10, 200, 0xFFFFFFFF, 0, 0}, {-16 + 1, -16 - 10, 200, 0xFFFFFFFF, 0, 0},
                    {-16 + 1, -16 + 1, 200, 0xFFFFFFFF, 0, 0}, {-16 - 10, -16 + 1, 200, 0xFFFFFFFF, 0, 0}},
                   {0, 1, 2, 0, 2, 3}),
              D3D_OK);
    const std::vector<uint32_t> pixels = Pixels();
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) EXPECT_EQ(pixels[y * 64 + x] != 0, x == 16 && y == 8) << x << "," << y;
}

}  // namespace
