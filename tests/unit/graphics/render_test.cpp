// The front end: letterbox, projection, word tables, colour texts, state setters, frame bracket.
#include <algorithm>
#include <climits>
#include <cmath>

#include "render_fixture.h"

namespace {

struct LetterboxCase {
    int windowWidth, windowHeight, virtualWidth, virtualHeight;
    bool correction;
    float scale, offsetX, offsetY;
    int workWidth, workHeight;
};

class LetterboxTest : public testing::TestWithParam<LetterboxCase> {};

TEST_P(LetterboxTest, ScalesAndCentresTheVirtualScreen) {
    const LetterboxCase& c = GetParam();
    InitRenderGlobals();
    g_renderer.windowWidth = c.windowWidth;
    g_renderer.windowHeight = c.windowHeight;
    g_renderer.virtualWidth = c.virtualWidth;
    g_renderer.virtualHeight = c.virtualHeight;
    g_renderer.aspectCorrection = c.correction;
    UpdateViewportScale();
    EXPECT_FLOAT_EQ(g_renderer.scaleX, c.scale);
    EXPECT_FLOAT_EQ(g_renderer.scaleY, c.scale);
    EXPECT_FLOAT_EQ(g_renderer.offsetX, c.offsetX);
    EXPECT_FLOAT_EQ(g_renderer.offsetY, c.offsetY);
    EXPECT_EQ(g_renderer.workWidth, c.workWidth);
    EXPECT_EQ(g_renderer.workHeight, c.workHeight);
}

INSTANTIATE_TEST_SUITE_P(Windows, LetterboxTest,
                         testing::Values(LetterboxCase{1280, 720, 1024, 768, true, 0.9375f, 160, 0, 1024, 768},
                                         LetterboxCase{1024, 768, 1024, 768, true, 1, 0, 0, 1024, 768},
                                         LetterboxCase{1536, 768, 1024, 768, true, 1, 256, 0, 1024, 768},
                                         LetterboxCase{1024, 1024, 1024, 768, true, 1, 0, 128, 1024, 768},
                                         LetterboxCase{800, 700, 1024, 768, true, 0.78125f, 0, 50, 1024, 768},
                                         LetterboxCase{1280, 720, 1024, 768, false, 1, 0, 0, 1280, 720},
                                         LetterboxCase{1280, 720, 0, -5, true, 720, 280, 0, 1, 1}));

// Where a point of the drawing plane lands in a target of width x height pixels.
void Project(const float m[16], float x, float y, float z, float width, float height, float& sx, float& sy,
             float& depth) {
    const float vx = x - width / 2, vy = y - height / 2, vz = 200.0f - z;
    const float cx = vx * m[0] + vy * m[4] + vz * m[8] + m[12];
    const float cy = vx * m[1] + vy * m[5] + vz * m[9] + m[13];
    const float cz = vx * m[2] + vy * m[6] + vz * m[10] + m[14];
    const float cw = vx * m[3] + vy * m[7] + vz * m[11] + m[15];
    sx = (cx / cw + 1.0f) * width / 2;
    sy = (1.0f - cy / cw) * height / 2;
    depth = cz / cw;
}

TEST(ProjectionTest, DrawingPlaneMapsPixelForPixelWithYDown) {
    InitRenderGlobals();
    float m[16];
    const float k = 1.0f / 200.0f;
    MatrixPerspectiveOffCenter(m, -k * 640, k * 640, k * 360, -k * 360, 1.0f, 100000.0f);
    const float points[][2] = {{0, 0}, {1280, 720}, {100.5f, 600.25f}, {640, 360}};
    for (const auto& p : points) {
        float sx, sy, depth;
        Project(m, p[0], p[1], 0, 1280, 720, sx, sy, depth);
        EXPECT_NEAR(sx, p[0], 1e-3f);
        EXPECT_NEAR(sy, p[1], 1e-3f);
        EXPECT_GT(depth, 0.0f);
        EXPECT_LT(depth, 1.0f);
    }
    // A lifted point comes nearer: it moves away from the centre and its depth shrinks.
    float sx, sy, nearDepth, farDepth;
    Project(m, 1280, 720, 100, 1280, 720, sx, sy, nearDepth);
    EXPECT_NEAR(sx, 640 + 640 * 2, 1e-2f);
    EXPECT_NEAR(sy, 360 + 360 * 2, 1e-2f);
    Project(m, 1280, 720, 0, 1280, 720, sx, sy, farDepth);
    EXPECT_LT(nearDepth, farDepth);
}

TEST_F(RenderFixture, SetProjectionLoadsTheMatrixAndViewOffsets) {
    SetProjection(true, 256, 128);
    EXPECT_FLOAT_EQ(g_renderer.viewOffsetX, -128);
    EXPECT_FLOAT_EQ(g_renderer.viewOffsetY, -64);
    float expected[16];
    MatrixPerspectiveOffCenter(expected, -0.64f, 0.64f, 0.32f, -0.32f, 1.0f, 100000.0f);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(device.projection.m[i / 4][i % 4], expected[i]) << i;
}

TEST(WordTablesTest, WordsGiveTheirCodes) {
    EXPECT_EQ(ParseBlendFactor("ZERO"), 1);
    EXPECT_EQ(ParseBlendFactor("invsrcalpha"), 6);
    EXPECT_EQ(ParseBlendFactor("InvDestColor"), 10);
    EXPECT_EQ(ParseBlendFactor(nullptr), INT_MAX);
    EXPECT_EQ(ParseBlendFactor("SRC_ALPHA"), INT_MAX);
    EXPECT_EQ(ParseCompareFunc("never"), 0);
    EXPECT_EQ(ParseCompareFunc("GREATEREQUAL"), 6);
    EXPECT_EQ(ParseCompareFunc("always"), 7);
    EXPECT_EQ(ParseCompareFunc(nullptr), 7);
    EXPECT_EQ(ParseCompareFunc("sometimes"), 7);
    EXPECT_EQ(ParseCullMode("none"), 1);
    EXPECT_EQ(ParseCullMode("back"), 2);
    EXPECT_EQ(ParseCullMode("FRONT"), 3);
    EXPECT_EQ(ParseCullMode("sideways"), 1);
    EXPECT_EQ(ParseCullMode(nullptr), 1);
}

TEST(ColourTextTest, HexDigitsReadFromTheRight) {
    EXPECT_EQ(ParseHexColor("ff8000"), 0xFF8000);
    EXPECT_EQ(ParseHexColor("#ff8000"), 0xFF8000);
    EXPECT_EQ(ParseHexColor("FF8000"), 0xFF8000);
    EXPECT_EQ(ParseHexColor("G"), 15);
    EXPECT_EQ(ParseHexColor("z1"), 15 * 16 + 1);
    EXPECT_EQ(ParseHexColor(""), 0);
    EXPECT_EQ(static_cast<uint32_t>(ParseHexColor("1ffffffff")), 0xFFFFFFFFu);  // wraps modulo 2^32
}

TEST(ColourTextTest, MakeColorClampsAlphaIntoTheTopByte) {
    EXPECT_EQ(MakeColorARGB(nullptr, 0x123456, 2.0f), 0xFF123456u);
    EXPECT_EQ(MakeColorARGB(nullptr, 0x123456, -1.0f), 0x00123456u);
    EXPECT_EQ(MakeColorARGB("ff8000", 0x123456, 0.5f), 0x80FF8000u);
    EXPECT_EQ(MakeColorARGB(nullptr, 0xAB123456, 1.0f), 0xFF123456u);
    EXPECT_EQ(MakeColorARGB(nullptr, 0x123456, std::nanf("")), 0x00123456u);
}

struct SetterCase {
    const char* name;
    void (*apply)();
    bool flushes;
    std::map<DWORD, DWORD> states;  // expected afterwards
    std::vector<DWORD> untouched;   // render states the setter must not set
};

class StateSetterTest : public RenderFixture, public testing::WithParamInterface<SetterCase> {};

TEST_P(StateSetterTest, SetsItsStatesAndFlushesFirst) {
    const SetterCase& c = GetParam();
    Quad(nullptr);
    device.stateOrder.clear();
    c.apply();
    ASSERT_EQ(device.draws.size(), c.flushes ? 1u : 0u);
    // The pending quad went out before the setter changed anything.
    if (c.flushes) {
        EXPECT_TRUE(device.draws[0].states.empty());
    }
    for (const auto& [state, value] : c.states) EXPECT_EQ(device.states[state], value) << "state " << state;
    for (DWORD state : c.untouched)
        EXPECT_EQ(std::count(device.stateOrder.begin(), device.stateOrder.end(), state), 0) << "state " << state;
}

INSTANTIATE_TEST_SUITE_P(
    Setters, StateSetterTest,
    testing::Values(
        SetterCase{"BlendFunc", [] { SetBlendFunc(3, 9); }, true, {{D3DRS_SRCBLEND, 3}, {D3DRS_DESTBLEND, 9}}, {}},
        SetterCase{"BlendFuncKeepsUnknownFactor", [] { SetBlendFunc(INT_MAX, 2); }, true, {{D3DRS_DESTBLEND, 2}},
                   {D3DRS_SRCBLEND}},
        SetterCase{"BlendModeNone", [] { SetBlendMode(0); }, true,
                   {{D3DRS_SRCBLEND, 2}, {D3DRS_DESTBLEND, 1}, {D3DRS_ALPHABLENDENABLE, 0}, {D3DRS_BLENDOP, 1}}, {}},
        SetterCase{"BlendModeAlpha", [] { SetBlendMode(1); }, true,
                   {{D3DRS_SRCBLEND, 5}, {D3DRS_DESTBLEND, 6}, {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_BLENDOP, 1}}, {}},
        SetterCase{"BlendModeAdd", [] { SetBlendMode(2); }, true,
                   {{D3DRS_SRCBLEND, 5}, {D3DRS_DESTBLEND, 2}, {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_BLENDOP, 1}}, {}},
        SetterCase{"BlendModeSum", [] { SetBlendMode(3); }, true,
                   {{D3DRS_SRCBLEND, 2}, {D3DRS_DESTBLEND, 2}, {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_BLENDOP, 1}}, {}},
        SetterCase{"BlendModeMax", [] { SetBlendMode(4); }, true,
                   {{D3DRS_SRCBLEND, 2}, {D3DRS_DESTBLEND, 2}, {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_BLENDOP, 5}}, {}},
        SetterCase{"BlendModeUnknownActsAsNoneWithBlending", [] { SetBlendMode(9); }, true,
                   {{D3DRS_SRCBLEND, 2}, {D3DRS_DESTBLEND, 1}, {D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_BLENDOP, 1}}, {}},
        SetterCase{"ColorMaskDoesNotFlush", [] { SetColorMask(true, false, true, false); }, false,
                   {{D3DRS_COLORWRITEENABLE, 5}}, {}},
        SetterCase{"AlphaTestOff", [] { SetAlphaTest(7, 99); }, true, {{D3DRS_ALPHATESTENABLE, 0}},
                   {D3DRS_ALPHAFUNC, D3DRS_ALPHAREF}},
        SetterCase{"AlphaTestGreater", [] { SetAlphaTest(4, 128); }, true,
                   {{D3DRS_ALPHATESTENABLE, 1}, {D3DRS_ALPHAFUNC, D3DCMP_GREATER}, {D3DRS_ALPHAREF, 128}}, {}},
        SetterCase{"DepthTestWithoutDepthBufferOnlyFlushes", [] { SetDepthTest(true); }, true, {},
                   {D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_ZFUNC}},
        SetterCase{"DepthTestOn",
                   [] {
                       g_renderer.zbuffer = true;
                       SetDepthTest(true);
                   },
                   true, {{D3DRS_ZENABLE, 1}, {D3DRS_ZWRITEENABLE, 1}, {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}}, {}},
        SetterCase{"DepthTestOff",
                   [] {
                       g_renderer.zbuffer = true;
                       SetDepthTest(false);
                   },
                   true, {{D3DRS_ZENABLE, 0}, {D3DRS_ZWRITEENABLE, 0}, {D3DRS_ZFUNC, D3DCMP_ALWAYS}}, {}},
        SetterCase{"CullBackRemovesCounterClockwise", [] { SetCullMode(2); }, true, {{D3DRS_CULLMODE, D3DCULL_CCW}},
                   {}},
        SetterCase{"CullFrontRemovesClockwise", [] { SetCullMode(3); }, true, {{D3DRS_CULLMODE, D3DCULL_CW}}, {}},
        SetterCase{"CullOther", [] { SetCullMode(7); }, true, {{D3DRS_CULLMODE, D3DCULL_NONE}}, {}}),
    [](const testing::TestParamInfo<SetterCase>& info) { return std::string(info.param.name); });

TEST_F(RenderFixture, BeginSceneOpensTheDeviceSceneOnce) {
    SelectCurrentBatchSlot(0);
    EXPECT_TRUE(BeginScene());
    EXPECT_TRUE(BeginScene());
    EXPECT_EQ(device.scenesBegun, 1);
    EndScene();
    EXPECT_FALSE(g_renderer.sceneBegun);
    EXPECT_EQ(device.scenesEnded, 1);
}

TEST_F(RenderFixture, BeginSceneFailsWhileTheDeviceIsLost) {
    device.cooperative = D3DERR_DEVICELOST;
    EXPECT_FALSE(BeginScene());
    EXPECT_FALSE(g_renderer.sceneBegun);
    EXPECT_EQ(device.scenesBegun, 0);
}

TEST_F(RenderFixture, EndSceneDrawsWhatIsPending) {
    ASSERT_TRUE(BeginScene());
    Quad(nullptr);
    EndScene();
    EXPECT_EQ(device.draws.size(), 1u);
}

TEST_F(RenderFixture, ClearScreenClearsDepthToTheFarEndOfTheRange) {
    EXPECT_TRUE(ClearScreen());
    EXPECT_EQ(device.lastClearFlags, D3DCLEAR_TARGET);
    g_renderer.zbuffer = true;
    EXPECT_TRUE(ClearScreen());
    EXPECT_EQ(device.lastClearFlags, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    EXPECT_FLOAT_EQ(device.lastClearZ, 1.0f);
}

TEST_F(RenderFixture, DefaultBlendStateIsSourceAlphaOver) {
    SetBlendMode(kBlendMax);
    SetDefaultBlendState();
    EXPECT_EQ(device.states[D3DRS_SRCBLEND], D3DBLEND_SRCALPHA);
    EXPECT_EQ(device.states[D3DRS_DESTBLEND], D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(device.states[D3DRS_ALPHABLENDENABLE], 1u);
    EXPECT_EQ(device.states[D3DRS_BLENDOP], D3DBLENDOP_ADD);
}

}  // namespace
