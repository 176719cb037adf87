#include "graphics/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; }
uint32_t AlphaOf(uint32_t pixel) { return pixel >> 24; }

// A surface whose pixel i holds the value i + 1 (opaque), so positions can be traced.
Surface Numbered(int width, int height) {
    Surface s;
    s.Create(width, height, true);
    for (std::size_t i = 0; i < s.PixelCount(); ++i) s.pixels[i] = static_cast<uint32_t>(i + 1);
    return s;
}

std::vector<uint32_t> PixelsOf(const Surface& s) { return {s.pixels, s.pixels + s.PixelCount()}; }

TEST(Surface, CreateReusesSameSizeAndZeroFills) {
    Surface s = Numbered(3, 2);
    uint32_t* before = s.pixels;
    s.Create(3, 2, false);
    EXPECT_EQ(s.pixels, before);
    EXPECT_FALSE(s.hasAlpha);
    EXPECT_EQ(PixelsOf(s), std::vector<uint32_t>(6, 0));
    s.Clear();
    EXPECT_EQ(s.pixels, nullptr);
    EXPECT_EQ(s.width, 0);
    EXPECT_TRUE(s.ownsPixels);
}

TEST(Surface, AttachBufferMakesAGrowingView) {
    std::vector<uint32_t> shared(2);
    Surface s = Numbered(2, 2);
    AttachBuffer(s, 4, 4, shared);
    EXPECT_GE(shared.size(), 16u);
    EXPECT_EQ(s.pixels, shared.data());
    EXPECT_FALSE(s.ownsPixels);
    EXPECT_TRUE(s.hasAlpha);
    const uint32_t* grown = shared.data();
    AttachBuffer(s, 2, 2, shared);  // smaller: the buffer is kept
    EXPECT_EQ(shared.data(), grown);
}

TEST(Surface, NewSubSurfaceClampsTheRectangle) {
    const Surface s = Numbered(4, 4);
    struct Case {
        int left, top, right, bottom, width, height;
        uint32_t first;
    };
    for (const Case& c : {Case{-5, -5, 10, 10, 4, 4, 1}, Case{1, 2, 3, 4, 2, 2, 10}, Case{3, 3, 9, 9, 1, 1, 16}}) {
        SCOPED_TRACE(c.left);
        const auto sub = NewSubSurface(s, c.left, c.top, c.right, c.bottom);
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->width, c.width);
        EXPECT_EQ(sub->height, c.height);
        EXPECT_EQ(sub->pixels[0], c.first);
    }
    EXPECT_EQ(NewSubSurface(s, 4, 0, 8, 4), nullptr);
    EXPECT_EQ(NewSubSurface(s, 2, 2, 2, 3), nullptr);
}

TEST(Surface, NewPaddedCopyKeepsTopLeftAndZeroesTheRest) {
    const Surface s = Numbered(2, 2);
    const auto padded = NewPaddedCopy(s, 3, 3);
    EXPECT_EQ(PixelsOf(*padded), (std::vector<uint32_t>{1, 2, 0, 3, 4, 0, 0, 0, 0}));
    const auto cut = NewPaddedCopy(s, 1, 1);
    EXPECT_EQ(PixelsOf(*cut), (std::vector<uint32_t>{1}));
    const auto fromEmpty = NewPaddedCopy(Surface(), 2, 1);
    EXPECT_EQ(PixelsOf(*fromEmpty), (std::vector<uint32_t>{0, 0}));
}

TEST(Surface, RotationsTurnAQuarterEachWay) {
    // 1 2 3
    // 4 5 6
    Surface s = Numbered(3, 2);
    RotateClockwise(s);
    ASSERT_EQ(s.width, 2);
    ASSERT_EQ(s.height, 3);
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{4, 1, 5, 2, 6, 3}));
    RotateCounterClockwise(s);
    EXPECT_EQ(s.width, 3);
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
    RotateCounterClockwise(s);
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{3, 6, 2, 5, 1, 4}));
}

TEST(Surface, CopyAlphaFromTakesBlueOfTheCommonPart) {
    Surface image;
    image.Create(3, 1, false);
    image.pixels[0] = image.pixels[1] = image.pixels[2] = Rgba(9, 9, 9, 255);
    Surface alpha;
    alpha.Create(2, 2, false);
    alpha.pixels[0] = Rgba(1, 2, 30, 4);
    alpha.pixels[1] = Rgba(1, 2, 40, 4);
    CopyAlphaFrom(image, alpha);
    EXPECT_EQ(PixelsOf(image), (std::vector<uint32_t>{Rgba(9, 9, 9, 30), Rgba(9, 9, 9, 40), Rgba(9, 9, 9, 255)}));
}

TEST(Surface, BlendColorOver) {
    const uint32_t red = Rgba(200, 10, 20, 255);
    EXPECT_EQ(BlendColorOver(Rgba(10, 20, 30, 0), Rgba(40, 50, 60, 0)), 0u);  // no 0/0
    EXPECT_EQ(BlendColorOver(0, red), red);
    EXPECT_EQ(BlendColorOver(red, Rgba(1, 2, 3, 77)), red);
    EXPECT_EQ(BlendColorOver(Rgba(255, 255, 255, 128), Rgba(0, 0, 0, 255)), Rgba(128, 128, 128, 255));
    // Half over half: alpha 0.75; colour weighted 2:1 towards the source.
    const uint32_t mixed = BlendColorOver(Rgba(255, 0, 0, 128), Rgba(0, 0, 255, 128));
    EXPECT_NEAR(AlphaOf(mixed), 191, 1);
    EXPECT_NEAR(mixed & 0xFF, 170, 1);
    EXPECT_NEAR((mixed >> 16) & 0xFF, 84, 1);
}

TEST(Surface, ScaleAlphaClampsAndTruncates) {
    EXPECT_EQ(ScaleAlpha(Rgba(1, 2, 3, 255), 0.5f), Rgba(1, 2, 3, 127));
    EXPECT_EQ(ScaleAlpha(Rgba(1, 2, 3, 200), 4.0f), Rgba(1, 2, 3, 255));
    EXPECT_EQ(ScaleAlpha(Rgba(1, 2, 3, 200), -1.0f), Rgba(1, 2, 3, 0));
}

TEST(Surface, BlendAndBlitClipAtTheDestinationEdges) {
    Surface destination;
    destination.Create(3, 3, true);
    Surface source;
    source.Create(2, 2, true);
    FillRect(source, 0, 0, 2, 2, Rgba(255, 255, 255, 255));
    BlitSurfaceAt(source, destination, 2, -1);
    BlendSurfaceAt(source, destination, -1, 2, 0.5f);
    const uint32_t white = Rgba(255, 255, 255, 255), half = Rgba(255, 255, 255, 127);
    EXPECT_EQ(PixelsOf(destination), (std::vector<uint32_t>{0, 0, white, 0, 0, 0, half, 0, 0}));
}

TEST(Surface, FillRectClipsToTheSurface) {
    Surface s;
    s.Create(3, 2, true);
    FillRect(s, -1, 1, 3, 9, 7);
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{0, 0, 0, 7, 7, 0}));
}

TEST(Surface, GradientAndTintKeepAlpha) {
    Surface s;
    s.Create(1, 2, true);
    s.pixels[0] = Rgba(0, 0, 0, 10);
    s.pixels[1] = Rgba(0, 0, 0, 20);
    VerticalGradient(s, Rgba(0, 100, 200, 0), Rgba(100, 100, 0, 0));
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{Rgba(0, 100, 200, 10), Rgba(50, 100, 100, 20)}));
    TintSurface(s, Rgba(1, 2, 3, 99));
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{Rgba(1, 2, 3, 10), Rgba(1, 2, 3, 20)}));
    EXPECT_EQ(LerpColor(Rgba(0, 0, 0, 0), Rgba(200, 100, 50, 0), 0.5f), Rgba(100, 50, 25, 255));
}

TEST(Surface, DirectionalBlurSpreadsByTriangleWeights) {
    Surface s;
    s.Create(5, 1, true);
    s.pixels[2] = Rgba(255, 255, 255, 255);
    DirectionalBlur(s, 1, 0, 1, 1.0f);
    std::vector<uint32_t> alpha;
    for (uint32_t p : PixelsOf(s)) alpha.push_back(AlphaOf(p));
    EXPECT_EQ(alpha, (std::vector<uint32_t>{0, 63, 127, 63, 0}));

    Surface same = Numbered(3, 3);
    for (std::size_t i = 0; i < same.PixelCount(); ++i) same.pixels[i] |= 0xFF000000u;
    const std::vector<uint32_t> before = PixelsOf(same);
    DirectionalBlur(same, 0, 1, 0, 1.0f);
    EXPECT_EQ(PixelsOf(same), before);
}

TEST(Surface, NextPowerOfTwo) {
    int w = 100, h = 64;
    EXPECT_TRUE(NextPowerOfTwo(w, h));
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 64);
    w = 64;
    EXPECT_FALSE(NextPowerOfTwo(w, h));
    w = 1, h = 3;
    EXPECT_TRUE(NextPowerOfTwo(w, h));
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 4);
}

TEST(Surface, ExtendEdgesDuplicatesLastColumnAndRow) {
    // 3 x 3 image in a 4 x 4 padded buffer.
    std::vector<uint32_t> p = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0, 0, 0, 0};
    EXPECT_TRUE(ExtendEdges(3, p.data(), 4, 3, 4));
    EXPECT_EQ(p, (std::vector<uint32_t>{1, 2, 3, 3, 4, 5, 6, 6, 7, 8, 9, 9, 7, 8, 9, 9}));
    EXPECT_FALSE(ExtendEdges(4, p.data(), 4, 4, 4));
    std::vector<uint32_t> wide = {1, 2, 0, 0};  // 2 x 1 image padded to 2 x 2
    EXPECT_TRUE(ExtendEdges(2, wide.data(), 2, 1, 2));
    EXPECT_EQ(wide, (std::vector<uint32_t>{1, 2, 1, 2}));
}

TEST(Surface, ResampleBoxWeighsPartialPixels) {
    struct Case {
        std::vector<uint32_t> source, expected;
    };
    for (const Case& c : {Case{{0, 100, 200, 50}, {50, 125}}, Case{{30, 60, 90}, {40, 80}},
                          Case{{10, 20}, {10, 10, 20, 20}}}) {
        std::vector<uint32_t> out(c.expected.size());
        ResampleBox(c.source.data(), static_cast<int>(c.source.size()), 1, static_cast<int>(c.source.size()), out.data(),
                    static_cast<int>(out.size()), 1, static_cast<int>(out.size()));
        EXPECT_EQ(out, c.expected);
    }
}

TEST(Surface, CopyResizedAndCopyPixelRows) {
    const Surface source = Numbered(2, 2);
    Surface same;
    same.Create(2, 2, false);
    CopyResized(source, same);
    EXPECT_EQ(PixelsOf(same), PixelsOf(source));
    EXPECT_TRUE(same.hasAlpha);

    // Two rows of 3-byte pixels with a padded source row of 8 bytes.
    const uint8_t rows[] = {1, 2, 3, 4, 5, 6, 99, 99, 7, 8, 9, 10, 11, 12, 99, 99};
    Surface s;
    s.Create(2, 2, true);
    CopyPixelRows(s, rows, 3, 8);
    SetOpaque(s);
    EXPECT_EQ(PixelsOf(s), (std::vector<uint32_t>{Rgba(1, 2, 3, 255), Rgba(4, 5, 6, 255), Rgba(7, 8, 9, 255),
                                                 Rgba(10, 11, 12, 255)}));
}

struct KindCase {
    int kind;
    std::vector<uint8_t> bytes;
};

TEST(Surface, ConvertSurfacePixelsKinds) {
    Surface s;
    s.Create(1, 1, true);
    s.pixels[0] = Rgba(0x12, 0x34, 0x56, 0x78);
    SetDithering16Bit(false);
    const uint16_t rgb565 = (0x12 >> 3) << 11 | (0x34 >> 2) << 5 | 0x56 >> 3;
    const std::vector<KindCase> cases = {
        {1, {0x12, 0x34, 0x56}},
        {2, {static_cast<uint8_t>(rgb565), static_cast<uint8_t>(rgb565 >> 8)}},
        {8, {static_cast<uint8_t>(rgb565), static_cast<uint8_t>(rgb565 >> 8)}},
        {4, {0x57, 0x13}},  // 0x1357
        {9, {0x35, 0x71}},  // 0x7135
        {6, {0x56, 0x34, 0x12, 0x78}},
        {7, {0x56, 0x34, 0x12, 0x78}},
        {5, {}},
        {0, {}},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(ConvertSurfacePixels(c.kind, s), c.bytes);
    }
    uint8_t out[4];
    EXPECT_FALSE(ConvertSurfacePixels(out, 5, s));
}

TEST(Surface, ConvertSurfacePixelsHonoursThePitch) {
    Surface s;
    s.Create(1, 2, true);
    s.pixels[0] = Rgba(1, 2, 3, 4);
    s.pixels[1] = Rgba(5, 6, 7, 8);
    std::vector<uint8_t> rows(16, 0xEE);
    ASSERT_TRUE(ConvertSurfacePixels(rows.data(), 6, s, 8));
    EXPECT_EQ(rows, (std::vector<uint8_t>{3, 2, 1, 4, 0xEE, 0xEE, 0xEE, 0xEE, 7, 6, 5, 8, 0xEE, 0xEE, 0xEE, 0xEE}));
}

class Dithering : public ::testing::Test {
protected:
    void SetUp() override { SetDithering16Bit(true); }
    void TearDown() override { SetDithering16Bit(false); }
};

std::vector<uint16_t> Words(const std::vector<uint8_t>& bytes) {
    std::vector<uint16_t> words(bytes.size() / 2);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    return words;
}

TEST_F(Dithering, WhiteGoesToTheLevelBelowTheTop) {
    Surface white;
    white.Create(3, 2, true);
    FillRect(white, 0, 0, 3, 2, 0xFFFFFFFFu);
    EXPECT_EQ(Words(ConvertSurfacePixels(4, white)), std::vector<uint16_t>(6, 0xEEEE));
    EXPECT_EQ(Words(ConvertSurfacePixels(9, white)), std::vector<uint16_t>(6, 0xEEEE));
    // 5 bits: level 247 keeps 30; 6 bits: level 251 keeps 62.
    EXPECT_EQ(Words(ConvertSurfacePixels(2, white)), std::vector<uint16_t>(6, 30 << 11 | 62 << 5 | 30));
    EXPECT_EQ(white.pixels[0], 0xFFFFFFFFu);  // the surface itself is untouched
}

TEST_F(Dithering, ErrorMovesRightAndDown) {
    // Red values 31 24 / 28 28: the first pixel's error (16) lifts its right and lower
    // neighbours over the next level; the last one gets nothing.
    Surface s;
    s.Create(2, 2, true);
    const uint32_t reds[] = {31, 24, 28, 28};
    for (int i = 0; i < 4; ++i) s.pixels[i] = Rgba(reds[i], 0, 0, 0);
    std::vector<uint16_t> redNibbles;
    for (uint16_t w : Words(ConvertSurfacePixels(4, s))) redNibbles.push_back(w >> 12);
    EXPECT_EQ(redNibbles, (std::vector<uint16_t>{0, 1, 1, 0}));
    SetDithering16Bit(false);
    redNibbles.clear();
    for (uint16_t w : Words(ConvertSurfacePixels(4, s))) redNibbles.push_back(w >> 12);
    EXPECT_EQ(redNibbles, (std::vector<uint16_t>{1, 1, 1, 1}));
}

TEST(Surface, DrawLineAAWeighsEndsByTheirFraction) {
    Surface s;
    s.Create(8, 4, true);
    DrawLineAA(1, 2, 5, 2, s);
    std::vector<uint32_t> row2, row3;
    for (int x = 0; x < 8; ++x) row2.push_back(AlphaOf(s.Row(2)[x])), row3.push_back(AlphaOf(s.Row(3)[x]));
    EXPECT_EQ(row2, (std::vector<uint32_t>{0, 127, 255, 255, 255, 127, 0, 0}));
    EXPECT_EQ(row3, std::vector<uint32_t>(8, 0));
    EXPECT_EQ(s.Row(2)[3], 0xFFFFFFFFu);
}

TEST(Surface, DrawLineAAIgnoresWhatLiesOutside) {
    Surface s;
    s.Create(4, 4, true);
    DrawLineAA(-1.0e5f, 1.5f, 1.0e5f, 1.5f, s);  // long, but only four columns are walked
    DrawLineAA(NAN, 0, 3, 3, s);
    EXPECT_GT(AlphaOf(s.Row(1)[2]), 0u);
    EXPECT_EQ(AlphaOf(s.Row(3)[3]), 0u);
}

TEST(Surface, TwoPointPolylineOfWidthOneDrawsTheSegmentTwice) {
    Surface twice, once, polyline;
    for (Surface* s : {&twice, &once, &polyline}) s->Create(10, 10, true);
    DrawLineAA(1.3f, 1.7f, 8.2f, 6.1f, twice);
    DrawLineAA(8.2f, 6.1f, 1.3f, 1.7f, twice);
    DrawLineAA(1.3f, 1.7f, 8.2f, 6.1f, once);
    const SurfacePoint points[] = {{1.3f, 1.7f}, {8.2f, 6.1f}, {1.3f, 1.7f}};
    StrokePolyline(points, 3, 1.0f, polyline);  // the trailing copy of the first point is dropped
    EXPECT_EQ(PixelsOf(polyline), PixelsOf(twice));
    EXPECT_NE(PixelsOf(polyline), PixelsOf(once));
}

// A square outline sampled every `step` pixels, clockwise from the top-left corner.
std::vector<SurfacePoint> SampledSquare(float left, float top, float side, float step) {
    std::vector<SurfacePoint> points;
    const int perSide = static_cast<int>(std::lround(side / step));
    const float dirs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    float x = left, y = top;
    for (const auto& d : dirs)
        for (int i = 0; i < perSide; ++i, x += d[0] * step, y += d[1] * step) points.push_back({x, y});
    return points;
}

TEST(Surface, WideStrokeFillsAStripAlongTheOutline) {
    // Finely sampled, each point's own edge normal is the side's normal.
    const std::vector<SurfacePoint> square = SampledSquare(5, 5, 10, 0.5f);
    Surface s;
    s.Create(20, 20, true);
    StrokePolyline(square.data(), static_cast<int>(square.size()), 2.0f, s);
    EXPECT_EQ(AlphaOf(s.Row(4)[10]), 255u);  // rows 4 and 5 lie within y 4..6
    EXPECT_EQ(AlphaOf(s.Row(5)[10]), 255u);
    EXPECT_EQ(AlphaOf(s.Row(10)[14]), 255u);
    EXPECT_EQ(s.Row(10)[15], 0xFFFFFFFFu);
    EXPECT_EQ(AlphaOf(s.Row(10)[10]), 0u);  // inside stays clear
    EXPECT_EQ(AlphaOf(s.Row(1)[1]), 0u);
}

TEST(Surface, StrokePolylineTakesMoreThan1024Points) {
    // 4000 points: the left side comes last and must still be drawn.
    const std::vector<SurfacePoint> square = SampledSquare(5, 5, 10, 0.01f);
    ASSERT_EQ(square.size(), 4000u);
    Surface s;
    s.Create(20, 20, true);
    StrokePolyline(square.data(), static_cast<int>(square.size()), 2.0f, s);
    EXPECT_EQ(AlphaOf(s.Row(10)[4]), 255u);
    EXPECT_EQ(AlphaOf(s.Row(10)[5]), 255u);
    EXPECT_EQ(AlphaOf(s.Row(5)[10]), 255u);
    EXPECT_EQ(AlphaOf(s.Row(10)[10]), 0u);
}

}  // namespace
