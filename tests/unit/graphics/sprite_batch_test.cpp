// Quad drawing and batching, seen from the device: which draws arrive, with what vertices.
#include <cmath>

#include "render_fixture.h"

namespace {

using SpriteBatchTest = RenderFixture;

// A recorded vertex back in window pixels (the view offset and depth undone).
struct WindowPoint {
    float x, y, z;
};

WindowPoint InWindow(const RenderVertex& v) {
    return {v.x - g_renderer.viewOffsetX, v.y - g_renderer.viewOffsetY, g_renderer.cameraDistance - v.z};
}

TEST_F(SpriteBatchTest, QuadsOfOneTextureShareOneDrawUntilTheSlotIsFull) {
    TestTexture t(64, 64);
    for (int i = 0; i < 512; ++i) Quad(&t.record);
    EXPECT_TRUE(device.draws.empty());
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].numVertices, 2048u);
    EXPECT_EQ(device.draws[0].primitiveCount, 1024u);
    EXPECT_EQ(device.draws[0].texture, &t.device);

    device.draws.clear();
    for (int i = 0; i < 513; ++i) Quad(&t.record);
    ASSERT_EQ(device.draws.size(), 1u);  // the 513th flushed the first 512
    EXPECT_EQ(device.draws[0].numVertices, 2048u);
    EXPECT_EQ(PendingBatchVertices(0), 4);
}

TEST_F(SpriteBatchTest, IndicesOfEachQuadFollowItsVertices) {
    Quad(nullptr);
    Quad(nullptr);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}));
}

TEST_F(SpriteBatchTest, AnotherDeviceTextureOrAddressingModeFlushes) {
    TestTexture a(64, 64), b(64, 64);
    Texture alias;  // another record over the same device texture
    alias.deviceTexture = a.record.deviceTexture;
    alias.width = a.record.width;
    alias.height = a.record.height;
    alias.name = "alias";
    Quad(&a.record);
    Quad(&alias);
    EXPECT_TRUE(device.draws.empty());
    Quad(&b.record);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].numVertices, 8u);
    Quad(&b.record, 1.0003f);  // wraps
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[1].texture, &b.device);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 3u);
    EXPECT_EQ(device.draws[1].addressU, static_cast<DWORD>(kAddressClamp));
    EXPECT_EQ(device.draws[2].addressU, static_cast<DWORD>(kAddressWrap));
    EXPECT_EQ(device.draws[2].addressV, static_cast<DWORD>(kAddressWrap));
}

TEST_F(SpriteBatchTest, AddressingModeFollowsTheTextureCoordinates) {
    struct Case {
        float u0, u1, scroll;
        DWORD mode;
    };
    const Case cases[] = {{0, 1, 0, kAddressClamp},        {0.25f, 0.75f, 0, kAddressClamp},
                          {0, 1.0002f, 0, kAddressClamp},  {0, 1, 0.5f, kAddressWrap},
                          {-0.5f, 1, 0, kAddressWrap},     {0, 1.0003f, 0, kAddressWrap},
                          {0, 1.00024f, 0, kAddressClamp}, {0, 2, 0, kAddressWrap}};
    for (const Case& c : cases) {
        device.draws.clear();
        DrawTexturedQuad(0, 0, 0, 8, 8, c.u0, 0, c.u1, 1, nullptr, 0, 1, 1, 1, nullptr, 0, 0, c.scroll, 0, 0, 0);
        FlushBatch(kAllBatchSlots);
        ASSERT_EQ(device.draws.size(), 1u);
        EXPECT_EQ(device.draws[0].addressU, c.mode) << c.u0 << ".." << c.u1 << " scroll " << c.scroll;
    }
}

TEST_F(SpriteBatchTest, StatisticsCountQuadsAreaTrianglesAndCalls) {
    g_renderer.statistics = DrawStatistics{};
    DrawTexturedQuad(0, 0, 0, 10, 20, 0, 0, 1, 1, nullptr, 0, 1, -1.5f, 1, nullptr, 0, 0, 0, 0, 0, 0);
    DrawTexturedQuad(0, 0, 0, 3, 3, 0, 0, 1, 1, nullptr, 0, 0.5f, 0.5f, 0.5f, nullptr, 0, 0, 0, 0, 0, 0);
    DrawTexturedQuad(0, 0, 0, 50, 50, 0, 0, 1, 1, nullptr, 0, 0.0f, 1, 1, nullptr, 0, 0, 0, 0, 0, 0);  // alpha 0
    FlushBatch(kAllBatchSlots);
    const DrawStatistics& s = g_renderer.statistics;
    EXPECT_EQ(s.imagesDrawn, 2);
    EXPECT_EQ(s.imagesSkipped, 0);
    EXPECT_EQ(s.pixelsDrawn, 300 + 2);  // trunc(10*20*1.5) + trunc(3*3*0.25)
    EXPECT_EQ(s.trianglesDrawn, 4);
    EXPECT_EQ(s.drawCalls, 1);
    ResetFrameStatistics();
    EXPECT_EQ(s.imagesDrawn + s.pixelsDrawn + s.trianglesDrawn + s.drawCalls, 0);
}

TEST_F(SpriteBatchTest, VerticesReachTheDeviceInViewSpaceWithHalfTexelOffsets) {
    TestTexture t(64, 32);
    const float red[3] = {1, 0, 0};
    DrawTexturedQuad(100, 50, 10, 32, 16, 0, 0, 0.5f, 0.5f, &t.record, 0, 0.5f, 1, 1, red, 0, 0, 0, 0, 0, 0);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    const auto& v = device.draws[0].vertices;
    ASSERT_EQ(v.size(), 4u);
    const float expected[4][4] = {{100, 50, 0, 0}, {132, 50, 0.5f, 0}, {132, 66, 0.5f, 0.5f}, {100, 66, 0, 0.5f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[i].x, expected[i][0] - 512) << i;
        EXPECT_FLOAT_EQ(v[i].y, expected[i][1] - 384) << i;
        EXPECT_FLOAT_EQ(v[i].z, 190.0f) << i;
        EXPECT_FLOAT_EQ(v[i].u, expected[i][2] + 0.5f / 64) << i;
        EXPECT_FLOAT_EQ(v[i].v, expected[i][3] + 0.5f / 32) << i;
        EXPECT_EQ(v[i].color, 0x7FFF0000u) << i;
    }
}

TEST_F(SpriteBatchTest, UntexturedQuadsGetNoHalfTexelOffset) {
    Quad(nullptr);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].texture, nullptr);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[2].u, 1.0f);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[2].v, 1.0f);
}

TEST_F(SpriteBatchTest, RotationAndPivotPlaceTheCorners) {
    DrawTexturedQuad(200, 100, 0, 40, 20, 0, 0, 1, 1, nullptr, 90, 1, 1, 1, nullptr, 20, 10, 0, 0, 0, 0);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    // Left-top (-20, -10) turns to (10, -20) about the pivot.
    const float expected[4][2] = {{210, 80}, {210, 120}, {190, 120}, {190, 80}};
    for (int i = 0; i < 4; ++i) {
        const WindowPoint p = InWindow(device.draws[0].vertices[i]);
        EXPECT_NEAR(p.x, expected[i][0], 1e-3f) << i;
        EXPECT_NEAR(p.y, expected[i][1], 1e-3f) << i;
    }
}

TEST_F(SpriteBatchTest, NegativeScaleMirrorsAboutThePivotAndSwapsTheTexture) {
    DrawTexturedQuad(100, 100, 0, 40, 20, 0.25f, 0, 0.75f, 1, nullptr, 0, 1, -1, 1, nullptr, 10, 0, 0, 0, 0, 0);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    const auto& v = device.draws[0].vertices;
    EXPECT_FLOAT_EQ(InWindow(v[0]).x, 70);  // the pivot becomes 40 - 10 = 30
    EXPECT_FLOAT_EQ(InWindow(v[1]).x, 110);
    EXPECT_FLOAT_EQ(v[0].u, 0.75f);
    EXPECT_FLOAT_EQ(v[1].u, 0.25f);
}

TEST_F(SpriteBatchTest, ColoursAndAlphaAreClampedIntoTheVertexColour) {
    const float nan = std::nanf("");
    struct Case {
        float rgb[3];
        bool white;
        float alpha;
        uint32_t color;
    };
    const Case cases[] = {{{0, 0, 0}, true, 1.5f, 0xFFFFFFFFu},        {{1, 0.5f, 0}, false, 1, 0xFFFF7F00u},
                          {{2, -1, 0.2f}, false, -0.5f, 0x00FF0033u},  {{nan, 1, nan}, false, nan, 0x0000FF00u},
                          {{0, 0, 0}, true, 0.25f, 0x3FFFFFFFu}};
    for (const Case& c : cases) {
        device.draws.clear();
        DrawTexturedQuad(0, 0, 0, 8, 8, 0, 0, 1, 1, nullptr, 0, c.alpha, 1, 1, c.white ? nullptr : c.rgb, 0, 0, 0, 0,
                         0, 0);
        FlushBatch(kAllBatchSlots);
        ASSERT_EQ(device.draws.size(), 1u);
        EXPECT_EQ(device.draws[0].vertices[0].color, c.color) << std::hex << c.color;
        EXPECT_EQ(device.draws[0].vertices[3].color, c.color) << std::hex << c.color;
    }
}

TEST_F(SpriteBatchTest, LetterboxMapsQuadsOnlyOutsideRenderTargets) {
    UseWindow(1280, 720);
    Quad(nullptr, 1.0f, 0.0f);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_FLOAT_EQ(InWindow(device.draws[0].vertices[0]).x, -16 * 0.9375f + 160);
    EXPECT_FLOAT_EQ(InWindow(device.draws[0].vertices[0]).y, 84 * 0.9375f);

    g_renderer.renderTargetActive = true;
    Quad(nullptr, 1.0f, 0.0f);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_FLOAT_EQ(InWindow(device.draws[1].vertices[0]).x, -16);
    EXPECT_FLOAT_EQ(InWindow(device.draws[1].vertices[0]).y, 84);
}

// The same tilted quad drawn at two window sizes: the second picture must be the first
// one scaled by the letterbox, depth included.
TEST_F(SpriteBatchTest, TiltedQuadLandsInTheSamePlaceAtEveryWindowSize) {
    auto draw = [&] {
        device.draws.clear();
        DrawTexturedQuad(300, 200, 0, 64, 48, 0, 0, 1, 1, nullptr, 30, 1, 1, 1, nullptr, 32, 24, 0, 0, 40, 25);
        FlushBatch(kAllBatchSlots);
        std::vector<WindowPoint> points;
        for (const RenderVertex& v : device.draws.at(0).vertices) points.push_back(InWindow(v));
        return points;
    };
    const std::vector<WindowPoint> native = draw();
    UseWindow(1280, 720);
    const std::vector<WindowPoint> boxed = draw();
    bool tilted = false;
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(boxed[i].x, native[i].x * 0.9375f + 160, 1e-3f) << i;
        EXPECT_NEAR(boxed[i].y, native[i].y * 0.9375f, 1e-3f) << i;
        EXPECT_NEAR(boxed[i].z, native[i].z, 1e-3f) << i;
        tilted = tilted || std::fabs(native[i].z) > 1.0f;
    }
    EXPECT_TRUE(tilted);
}

TEST(RotateQuadTest, TurnsPairsAboutTheCentre) {
    float a[4] = {1, 0, 0, 5}, b[4] = {0, 1, 0, 5};
    float* first[4] = {&a[0], &a[1], &a[2], &a[3]};
    float* second[4] = {&b[0], &b[1], &b[2], &b[3]};
    RotateQuad(first, second, 90, 0, 0);
    EXPECT_NEAR(a[0], 0, 1e-6f);
    EXPECT_NEAR(b[0], 1, 1e-6f);
    EXPECT_NEAR(a[1], -1, 1e-6f);
    EXPECT_NEAR(b[1], 0, 1e-6f);
    RotateQuad(first, second, 0, 100, 100);  // no angle, no change
    EXPECT_NEAR(a[3], -5, 1e-5f);
    EXPECT_NEAR(b[3], 5, 1e-5f);
}

TEST_F(SpriteBatchTest, WithoutBatchSlotsEveryQuadIsDrawnAtOnce) {
    FreeBatchBuffers();
    Quad(nullptr);
    Quad(nullptr);
    EXPECT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(g_renderer.statistics.drawCalls, 2);
}

TEST_F(SpriteBatchTest, ScriptChosenSlotsStayInsideTheBatch) {
    SelectCurrentBatchSlot(-3);
    Quad(nullptr);
    SelectCurrentBatchSlot(50);
    Quad(nullptr);
    EXPECT_EQ(PendingBatchVertices(0), 8);
}

TEST_F(SpriteBatchTest, OversizedLocksAreRefusedNotWrittenPast) {
    EXPECT_EQ(LockVertices(kClientVertexCapacity + 1), nullptr);
    EXPECT_EQ(LockVertices(-1), nullptr);
    EXPECT_NE(LockVertices(kClientVertexCapacity), nullptr);
    std::vector<RenderVertex> many(kClientVertexCapacity + 100, RenderVertex{});
    std::vector<uint16_t> indices(300, 0);
    DrawTriangles(many.data(), static_cast<int>(many.size()), indices.data(), 300, nullptr, kAddressClamp, nullptr);
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(SpriteBatchTest, IndicesPastTheLockedVerticesAreRefused) {
    const RenderVertex quad[4] = {};
    const uint16_t indices[6] = {0, 1, 2, 0, 2, 4};
    DrawTriangles(quad, 4, indices, 6, nullptr, kAddressClamp, nullptr);
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(SpriteBatchTest, LockedVerticesAreConvertedOnceAndDrawn) {
    TestTexture t(16, 16);
    RenderVertex* v = LockVertices(4);
    ASSERT_NE(v, nullptr);
    for (int i = 0; i < 4; ++i) v[i] = {10.0f * i, 5, 0, 0xFFFFFFFF, 0, 0};
    BindTexture(&t.record, kAddressClamp);
    ConvertLockedVertices(false);
    ConvertLockedVertices(true);  // nothing left to convert
    DrawIndexed(kQuadIndices, 6);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[1].x, 10 - 512);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[1].u, 0.0f);
    EXPECT_EQ(g_renderer.currentTexture, &t.record);
}

TEST_F(SpriteBatchTest, DrawTrianglesRemapsIntoTheNamedSprite) {
    TestTexture t(128, 64);
    t.record.sprites.push_back({"idle", 32, 16, 64, 32, 0, 0});
    const RenderVertex quad[4] = {{0, 0, 0, 0xFFFFFFFF, 0, 0}, {8, 0, 0, 0xFFFFFFFF, 1, 0},
                                  {8, 8, 0, 0xFFFFFFFF, 1, 1}, {0, 8, 0, 0xFFFFFFFF, 0, 1}};
    DrawTriangles(quad, 4, kQuadIndices, 6, &t.record, kAddressClamp, "idle");
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[0].u, 0.25f + 0.5f / 128);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[2].u, 0.75f + 0.5f / 128);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[2].v, 0.75f + 0.5f / 64);
}

TEST_F(SpriteBatchTest, DrawSpriteUsesTheSpriteSizeAndPivot) {
    TestTexture t(128, 64);
    t.record.sprites.push_back({"idle", 0, 0, 64, 32, 32, 30});
    DrawSprite(&t.record, "idle", 100, 100, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_FLOAT_EQ(InWindow(device.draws[0].vertices[0]).x, 68);
    EXPECT_FLOAT_EQ(InWindow(device.draws[0].vertices[0]).y, 70);
    EXPECT_FLOAT_EQ(InWindow(device.draws[0].vertices[2]).x, 132);
    EXPECT_FLOAT_EQ(device.draws[0].vertices[2].u, 0.5f + 0.5f / 128);
}

}  // namespace
