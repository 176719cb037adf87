// Whole scenes through the front end, the batch and the back end on the software device,
// read back from the back buffer of a hidden window.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "scene_drawing.h"

namespace {

constexpr uint32_t kRgb = 0x00FFFFFFu;

class RenderDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        InitConfigDefaults();
        InitRenderGlobals();
    }
    void TearDown() override {
        ReleaseTextures();
        FreeBatchBuffers();
        CloseRenderer();
        if (window_) SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // A window showing a virtual screen of its own size unless one is given.
    void Open(int width, int height, int virtualWidth = 0, int virtualHeight = 0) {
        window_ = SDL_CreateWindow("render test", 0, 0, width, height, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        g_renderer.windowWidth = width;
        g_renderer.windowHeight = height;
        g_renderer.virtualWidth = virtualWidth ? virtualWidth : width;
        g_renderer.virtualHeight = virtualHeight ? virtualHeight : height;
        InitRenderer(window_);
        AllocateBatchBuffers();
    }

    void Begin() {
        ASSERT_TRUE(ClearScreen());
        ASSERT_TRUE(BeginScene());
        SetDefaultBlendState();
    }

    // Ends the scene and copies the back buffer's colours out.
    void End() {
        EndScene();
        pixels_ = ReadBackBuffer(width_);
        ASSERT_FALSE(pixels_.empty());
    }

    uint32_t At(int x, int y) const { return pixels_.at(static_cast<std::size_t>(y) * width_ + x) & kRgb; }

    // A texture of the given texels (0xAARRGGBB), uploaded through the back end.
    Texture* MakeTexture(int width, int height, const std::vector<uint32_t>& texels) {
        auto texture = std::make_unique<Texture>();
        texture->deviceTexture = D3D_CreateBlankTexture(width, height, true, false, true, false);
        EXPECT_NE(texture->deviceTexture, nullptr);
        if (!texture->deviceTexture) return nullptr;
        D3D_UpdateTexture(0, 0, texture->deviceTexture, width, height, texels.data(), kUploadDeviceOrder);
        texture->width = width;
        texture->height = height;
        textures_.push_back(std::move(texture));
        return textures_.back().get();
    }

    void ReleaseTextures() {
        for (auto& t : textures_)
            if (t->deviceTexture) t->deviceTexture->Release();
        textures_.clear();
    }

    static void Box(float x, float y, float w, float h, const float rgb[3], float alpha = 1.0f, float angle = 0.0f,
                    float scaleX = 1.0f) {
        DrawTexturedQuad(x, y, 0, w, h, 0, 0, 0, 0, nullptr, angle, alpha, scaleX, 1, rgb, 0, 0, 0, 0, 0, 0);
    }

    SDL_Window* window_ = nullptr;
    std::vector<uint32_t> pixels_;
    int width_ = 0;
    std::vector<std::unique_ptr<Texture>> textures_;
};

const float kRed[3] = {1, 0, 0};
const float kWhite[3] = {1, 1, 1};

TEST_F(RenderDeviceTest, UntexturedQuadCoversExactlyItsPixels) {
    Open(320, 240);
    Begin();
    Box(10, 10, 20, 10, kRed);
    End();
    EXPECT_EQ(At(10, 10), 0xFF0000u);
    EXPECT_EQ(At(29, 19), 0xFF0000u);
    EXPECT_EQ(At(30, 10), 0u);
    EXPECT_EQ(At(9, 10), 0u);
    EXPECT_EQ(At(10, 20), 0u);
    EXPECT_EQ(At(10, 9), 0u);
}

TEST_F(RenderDeviceTest, SpriteMappedOneToOneReproducesItsTexels) {
    Open(320, 240);
    std::vector<uint32_t> texels(8 * 8);
    for (int i = 0; i < 64; ++i) texels[i] = 0xFF000000u | static_cast<uint32_t>(i * 4) << 16 | (255 - i * 3) << 8 | (i * 37 & 255);
    Texture* t = MakeTexture(8, 8, texels);
    ASSERT_NE(t, nullptr);
    Begin();
    DrawTexturedQuad(40, 30, 0, 8, 8, 0, 0, 1, 1, t, 0, 1, 1, 1, nullptr, 0, 0, 0, 0, 0, 0);
    End();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(At(40 + x, 30 + y), texels[y * 8 + x] & kRgb) << x << "," << y;
}

TEST_F(RenderDeviceTest, LetterboxCentresTheVirtualScreen) {
    Open(1280, 720, 1024, 768);
    EXPECT_FLOAT_EQ(g_renderer.scaleX, 0.9375f);
    EXPECT_FLOAT_EQ(g_renderer.offsetX, 160.0f);
    Begin();
    Box(0, 0, 1024, 768, kWhite);
    End();
    for (int y : {0, 360, 719}) {
        EXPECT_EQ(At(159, y), 0u) << y;
        EXPECT_EQ(At(160, y), kRgb) << y;
        EXPECT_EQ(At(1119, y), kRgb) << y;
        EXPECT_EQ(At(1120, y), 0u) << y;
    }
}

TEST_F(RenderDeviceTest, RotatedQuadTurnsAboutItsPivot) {
    Open(320, 240);
    Begin();
    // 40 x 10 about its left-top corner, turned a quarter: it runs down from (100, 50).
    Box(100, 50, 40, 10, kRed, 1.0f, 90.0f);
    End();
    EXPECT_EQ(At(95, 55), 0xFF0000u);
    EXPECT_EQ(At(95, 85), 0xFF0000u);
    EXPECT_EQ(At(105, 55), 0u);
    EXPECT_EQ(At(95, 95), 0u);
}

struct BlendCase {
    int mode;
    uint32_t expected;
};

class BlendModeTest : public RenderDeviceTest, public testing::WithParamInterface<BlendCase> {};

TEST_P(BlendModeTest, ModesCombineOverTheBackground) {
    Open(64, 64);
    Begin();
    const float background[3] = {0.4f, 0.2f, 0.8f};  // 102, 51, 204
    const float source[3] = {0.2f, 0.6f, 0.4f};      // 51, 153, 102 at alpha 127
    Box(0, 0, 16, 16, background);
    SetBlendMode(GetParam().mode);
    Box(0, 0, 16, 16, source, 0.5f);
    End();
    const uint32_t got = At(8, 8);
    const uint32_t want = GetParam().expected;
    for (int shift : {16, 8, 0})
        EXPECT_NEAR(static_cast<int>(got >> shift & 255), static_cast<int>(want >> shift & 255), 1)
            << "mode " << GetParam().mode << " channel " << shift;
}

INSTANTIATE_TEST_SUITE_P(Modes, BlendModeTest,
                         testing::Values(BlendCase{kBlendNone, 0x339966}, BlendCase{kBlendAlpha, 0x4C6599},
                                         BlendCase{kBlendAdd, 0x7F7FFE}, BlendCase{kBlendSum, 0x99CCFF},
                                         BlendCase{kBlendMax, 0x6699CC}));

TEST_F(RenderDeviceTest, AlphaTestCutsAtTheReference) {
    Open(64, 64);
    Begin();
    SetBlendMode(kBlendNone);
    SetAlphaTest(ParseCompareFunc("GREATEREQUAL"), 128);
    Box(0, 0, 8, 8, kWhite, 128.0f / 255.0f);
    Box(8, 0, 8, 8, kWhite, 127.0f / 255.0f);
    SetAlphaTest(ParseCompareFunc("ALWAYS"), 0);
    Box(16, 0, 8, 8, kWhite, 1.0f / 255.0f);
    End();
    EXPECT_EQ(At(4, 4), kRgb);
    EXPECT_EQ(At(12, 4), 0u);
    EXPECT_EQ(At(20, 4), kRgb);
}

TEST_F(RenderDeviceTest, CullCodesRemoveOneWindingEach) {
    Open(64, 64);
    Begin();
    SetCullMode(kCullBack);  // removes counter-clockwise
    WindingSquare(0, 0, false);
    WindingSquare(16, 0, true);
    SetCullMode(kCullFront);  // removes clockwise
    WindingSquare(0, 16, false);
    WindingSquare(16, 16, true);
    SetCullMode(kCullNone);
    WindingSquare(0, 32, false);
    WindingSquare(16, 32, true);
    End();
    EXPECT_EQ(At(4, 4), kRgb);
    EXPECT_EQ(At(20, 4), 0u);
    EXPECT_EQ(At(4, 20), 0u);
    EXPECT_EQ(At(20, 20), kRgb);
    EXPECT_EQ(At(4, 36), kRgb);
    EXPECT_EQ(At(20, 36), kRgb);
}

TEST_F(RenderDeviceTest, ClampAndWrapDifferAtTheTextureEdge) {
    Open(64, 64);
    Texture* t = MakeTexture(2, 1, {0xFFFF0000u, 0xFF0000FFu});
    ASSERT_NE(t, nullptr);
    Begin();
    SetBlendMode(kBlendNone);
    // Magnified twice: the last pixel samples halfway past the last texel.
    DrawTexturedQuad(0, 0, 0, 4, 4, 0, 0, 1, 1, t, 0, 1, 1, 1, nullptr, 0, 0, 0, 0, 0, 0);
    DrawTexturedQuad(0, 8, 0, 4, 4, 0, 0, 1.0003f, 1, t, 0, 1, 1, 1, nullptr, 0, 0, 0, 0, 0, 0);
    End();
    EXPECT_EQ(At(0, 1), 0xFF0000u);
    EXPECT_EQ(At(3, 1), 0x0000FFu);  // clamped to the blue texel
    const uint32_t wrapped = At(3, 9);
    EXPECT_NEAR(static_cast<int>(wrapped >> 16 & 255), 127, 3);  // half red from the far side
    EXPECT_NEAR(static_cast<int>(wrapped & 255), 127, 3);
}

TEST_F(RenderDeviceTest, RecreatedDeviceStartsFromTheFixedStates) {
    Open(64, 64);
    SetBlendMode(kBlendAdd);
    SetCullMode(kCullFront);
    SetAlphaTest(ParseCompareFunc("LESS"), 10);
    D3D9Test_LoseDevice(D3D_Device());
    EXPECT_FALSE(PresentFrame());
    EXPECT_TRUE(RenderDeviceLost());
    EXPECT_FALSE(BeginScene());

    CloseRenderer();
    ClearRenderDeviceLost();
    InitRenderer(window_);
    IDirect3DDevice9* device = D3D_Device();
    ASSERT_NE(device, nullptr);
    const std::pair<D3DRENDERSTATETYPE, DWORD> expected[] = {
        {D3DRS_CULLMODE, D3DCULL_NONE},        {D3DRS_ALPHABLENDENABLE, 1},      {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_ALPHATESTENABLE, 0},   {D3DRS_LIGHTING, 0}};
    for (const auto& [state, value] : expected) {
        DWORD got = 0xDEAD;
        device->GetRenderState(state, &got);
        EXPECT_EQ(got, value) << "state " << state;
    }
    Begin();
    Box(0, 0, 8, 8, kWhite);
    End();
    EXPECT_EQ(At(4, 4), kRgb);
}

TEST_F(RenderDeviceTest, FailedWindowedDeviceFallsBackToFullScreen) {
    D3D9Test_FailCreateDevice(1);
    Open(64, 64);
    EXPECT_NE(D3D_Device(), nullptr);
    EXPECT_TRUE(g_renderer.fullScreen);
    EXPECT_TRUE(g_config.full_screen);
}

TEST_F(RenderDeviceTest, DeviceRefusedEverywhereIsFatalAfterBothFallbacks) {
    // Earlier devices left worker threads running: the child starts afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            D3D9Test_FailCreateDevice(3);
            Open(64, 64);
        },
        testing::ExitedWithCode(kExitFatal),
        // '.' also matches the line breaks of the messages.
        R"(CreateDevice failed: D3DERR_NOTAVAILABLE.Trying full screen now.*)"
        R"(CreateDevice failed in full screen: D3DERR_NOTAVAILABLE.Trying different full screen format now.*)"
        R"(Direct3D: Can't create D3D device \(D3DERR_NOTAVAILABLE\))");
}

TEST_F(RenderDeviceTest, TextureFormatsFollowTheSixteenBitKey) {
    Open(64, 64);
    g_config.tex_16bit = true;
    struct Case {
        bool alpha, fullColour, renderTarget;
        D3DFORMAT format;
    };
    const Case cases[] = {{true, false, false, D3DFMT_A4R4G4B4},
                          {false, false, false, D3DFMT_R5G6B5},
                          {true, true, false, D3DFMT_A8R8G8B8},
                          {false, false, true, D3DFMT_X8R8G8B8},
                          {true, false, true, D3DFMT_A8R8G8B8}};
    for (const Case& c : cases) {
        ComPtr<IDirect3DTexture9> texture(D3D_CreateBlankTexture(16, 8, c.alpha, false, c.fullColour, c.renderTarget));
        ASSERT_TRUE(texture);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, c.format) << c.alpha << c.fullColour << c.renderTarget;
    }
}

struct PresentCase {
    const char* name;
    bool fullScreen, vsync, bit16, zbuffer, depth24;
    UINT interval;
    D3DFORMAT format, depthFormat;
};

class PresentParametersTest : public RenderDeviceTest, public testing::WithParamInterface<PresentCase> {};

TEST_P(PresentParametersTest, FollowTheDisplayKeys) {
    const PresentCase& c = GetParam();
    g_renderer.fullScreen = c.fullScreen;
    g_renderer.vsync = c.vsync;
    g_renderer.bit16 = c.bit16;
    g_renderer.zbuffer = c.zbuffer;
    g_renderer.depth24 = c.depth24;
    Open(200, 100);
    const D3DPRESENT_PARAMETERS& p = D3D_PresentParameters();
    EXPECT_EQ(p.PresentationInterval, c.interval);
    EXPECT_EQ(p.BackBufferFormat, c.format);
    EXPECT_EQ(p.Windowed != 0, !c.fullScreen);
    EXPECT_EQ(p.EnableAutoDepthStencil != 0, c.zbuffer);
    if (c.zbuffer) {
        EXPECT_EQ(p.AutoDepthStencilFormat, c.depthFormat);
    }
    EXPECT_EQ(p.BackBufferWidth, 200u);
    EXPECT_EQ(p.BackBufferHeight, 100u);
    EXPECT_EQ(p.hDeviceWindow, window_);
}

constexpr UINT kImmediate = D3DPRESENT_INTERVAL_IMMEDIATE;
constexpr UINT kVsync = D3DPRESENT_INTERVAL_DEFAULT;

INSTANTIATE_TEST_SUITE_P(
    Keys, PresentParametersTest,
    testing::Values(
        PresentCase{"WindowedIgnoresVsync", false, true, false, false, false, kImmediate, D3DFMT_X8R8G8B8, D3DFMT_D16},
        PresentCase{"WindowedTakesTheDesktopFormat", false, false, true, true, false, kImmediate, D3DFMT_X8R8G8B8,
                    D3DFMT_D16},
        PresentCase{"FullScreenVsync", true, true, false, false, false, kVsync, D3DFMT_X8R8G8B8, D3DFMT_D16},
        PresentCase{"FullScreenSixteenBit", true, false, true, true, true, kImmediate, D3DFMT_R5G6B5, D3DFMT_D24X8}),
    [](const testing::TestParamInfo<PresentCase>& info) { return std::string(info.param.name); });

// Device rows are wider than the surface's: every row must start at the pitch.
TEST_F(RenderDeviceTest, TextureFromSurfaceWritesEachRowAtThePitch) {
    Open(64, 64);
    struct Case {
        bool bits16, alpha;
        D3DFORMAT format;
        uint32_t expected[2];  // texels (2, 0) and (0, 1) in the format's own layout
    };
    const Case cases[] = {{false, true, D3DFMT_A8R8G8B8, {0x80302010u, 0xFF605040u}},
                          {false, false, D3DFMT_X8R8G8B8, {0x302010u, 0x605040u}},
                          {true, true, D3DFMT_A4R4G4B4, {0x8321u, 0xF654u}},
                          {true, false, D3DFMT_R5G6B5, {0x3102u, 0x6288u}}};
    for (const Case& c : cases) {
        g_config.tex_16bit = c.bits16;
        Surface surface;
        surface.Create(3, 2, c.alpha);
        surface.pixels[2] = 0x80102030u;  // bytes R 0x30, G 0x20, B 0x10, A 0x80
        surface.pixels[3] = 0xFF405060u;
        ComPtr<IDirect3DTexture9> texture(D3D_CreateTextureFromSurface(surface));
        ASSERT_TRUE(texture);
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(0, &desc);
        EXPECT_EQ(desc.Format, c.format);
        D3DLOCKED_RECT locked{};
        ASSERT_TRUE(SUCCEEDED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)));
        const int bytes = c.bits16 ? 2 : 4;
        const uint32_t mask = c.bits16 ? 0xFFFFu : c.alpha ? 0xFFFFFFFFu : 0xFFFFFFu;
        uint32_t first = 0, second = 0;
        std::memcpy(&first, static_cast<uint8_t*>(locked.pBits) + 2 * bytes, bytes);
        std::memcpy(&second, static_cast<uint8_t*>(locked.pBits) + locked.Pitch, bytes);
        texture->UnlockRect(0);
        EXPECT_EQ(first & mask, c.expected[0]) << "format " << c.format;
        EXPECT_EQ(second & mask, c.expected[1]) << "format " << c.format;
    }
}

}  // namespace
