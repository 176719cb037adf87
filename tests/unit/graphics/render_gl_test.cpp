// What the OpenGL back end does beyond drawing the software device's scenes: its code
// mappings, the fallbacks of a driver without an extension, targets made while another
// is bound, depth, readback and re-creation with textures alive.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/config.h"
#include "fixtures/gl_window.h"
#include "graphics/render.h"
#include "graphics/render_gl.h"
#include "graphics/render_target.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "platform/gl/gl_api.h"
#include "scene_drawing.h"

namespace {

const float kRed[3] = {1, 0, 0};
const float kGreen[3] = {0, 1, 0};
const float kBlue[3] = {0, 0, 1};

void Box(float x, float y, float z, float w, float h, const float rgb[3], float alpha = 1.0f) {
    DrawTexturedQuad(x, y, z, w, h, 0, 0, 0, 0, nullptr, 0, alpha, 1, 1, rgb, 0, 0, 0, 0, 0, 0);
}

class RenderGLTest : public testing::Test {
protected:
    void SetUp() override {
        if (!OpenGLTestsCanRun() && !OpenGLTestsRequired()) GTEST_SKIP() << "no X display for OpenGL";
    }
    void TearDown() override {
        if (window_) StopGLWindowRenderer(window_);
    }
    void Open(int width, int height) {
        window_ = StartGLWindowRenderer(width, height, width, height);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
    }
    void Begin() {
        ClearScreen();
        BeginScene();
        SetDefaultBlendState();
    }
    void End() {
        EndScene();
        pixels_ = ReadGLBackBuffer();
    }
    uint32_t At(int x, int y) const {
        return pixels_.at(static_cast<std::size_t>(y) * g_renderer.windowWidth + x) & 0xFFFFFFu;
    }

    SDL_Window* window_ = nullptr;
    std::vector<uint32_t> pixels_;
};

TEST_F(RenderGLTest, UnknownBlendFactorsMapToOne) {
    EXPECT_EQ(GL_BlendFactor(0), gl::ONE);
    EXPECT_EQ(GL_BlendFactor(11), gl::ONE);
    EXPECT_EQ(GL_BlendFactor(kBlendFactorUnchanged), gl::ONE);
    EXPECT_EQ(GL_BlendFactor(1), gl::ZERO);
    EXPECT_EQ(GL_BlendFactor(6), gl::ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(GL_BlendFactor(10), gl::ONE_MINUS_DST_COLOR);
}

TEST_F(RenderGLTest, MaxBlendingIsAdditiveWithoutTheBlendEquation) {
    Open(32, 16);
    const auto blendEquation = g_gl.BlendEquation;
    const float background[3] = {0.4f, 0.2f, 0.8f};  // 102, 51, 204
    const float source[3] = {0.2f, 0.6f, 0.4f};      // 51, 153, 102
    // A driver without the entry point: the equation stays the context's first, add.
    g_gl.BlendEquation = nullptr;
    Begin();
    Box(0, 0, 0, 32, 16, background);
    SetBlendMode(kBlendMax);
    Box(0, 0, 0, 16, 16, source);
    FlushBatch(kAllBatchSlots);
    g_gl.BlendEquation = blendEquation;
    SetBlendMode(kBlendMax);
    Box(16, 0, 0, 16, 16, source);
    End();
    EXPECT_EQ(At(8, 8), 0x99CCFFu) << "the sum, saturated";
    EXPECT_EQ(At(24, 8), 0x6699CCu) << "the larger of each channel";
}

TEST_F(RenderGLTest, TargetsAreRefusedWithTheExtensionHidden) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The entry points are fetched once per process: a fresh one sees the extension hidden.
    EXPECT_EXIT(
        {
            setenv("GL_EXT_framebuffer_object", "0", 1);
            SDL_Window* window = StartGLWindowRenderer(32, 32, 32, 32);
            const bool refused = window && !GLHasFramebufferObjects() &&
                                 !CreateBlankTexture(16, 16, 0, 0, true, false, true, false, true);
            Texture* plain = CreateBlankTexture(16, 16, 0, 0, true, false, false, false, true);
            std::exit(refused && plain ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(RenderGLTest, TargetMadeWhileAnotherIsBoundLeavesThatOneBound) {
    Open(64, 32);
    Texture* first = CreateBlankTexture(16, 16, 0, 0, true, false, true, false, true);
    ASSERT_NE(first, nullptr);
    Begin();
    ASSERT_TRUE(BeginRenderToTexture(first, 0xFF000000u));
    Box(0, 0, 0, 8, 16, kRed);
    FlushBatch(kAllBatchSlots);
    Texture* second = CreateBlankTexture(16, 16, 0, 0, true, false, true, false, true);
    ASSERT_NE(second, nullptr);
    Box(8, 0, 0, 8, 16, kGreen);
    EndRenderToTexture();
    DrawSprite(first, "main", 0, 0, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    End();
    EXPECT_EQ(At(4, 8), 0xFF0000u);
    EXPECT_EQ(At(12, 8), 0x00FF00u) << "drawn into the first target, not the window";
    EXPECT_EQ(At(40, 8), 0u);
}

TEST_F(RenderGLTest, WithTheDepthBufferLaterSpritesOnTheSamePlaneWin) {
    Open(48, 16);
    g_renderer.zbuffer = true;
    Begin();
    SetDepthTest(true);
    Box(0, 0, 0, 32, 16, kRed);
    Box(8, 0, 0, 8, 16, kGreen);       // the same plane: drawn over
    Box(24, 0, -10, 8, 16, kBlue);     // behind: hidden
    SetDepthTest(false);
    Box(32, 0, -50, 16, 16, kBlue);    // no test, no depth written
    SetDepthTest(true);
    Box(40, 0, -10, 8, 16, kGreen);    // nearer than nothing written there
    End();
    EXPECT_EQ(At(4, 8), 0xFF0000u);
    EXPECT_EQ(At(12, 8), 0x00FF00u);
    EXPECT_EQ(At(28, 8), 0xFF0000u);
    EXPECT_EQ(At(36, 8), 0x0000FFu);
    EXPECT_EQ(At(44, 8), 0x00FF00u);
}

TEST_F(RenderGLTest, ReadbackIsBottomUpInPictureByteOrder) {
    Open(40, 30);
    Begin();
    Box(0, 0, 0, 10, 5, kRed);
    Box(30, 25, 0, 10, 5, kBlue);
    EndScene();
    Surface capture;
    ASSERT_TRUE(GL_ReadBackBuffer(0, 0, 40, 30, capture));
    ASSERT_EQ(capture.width, 40);
    ASSERT_EQ(capture.height, 30);
    // Bytes B, G, R, A: the word reads 0xAARRGGBB.
    EXPECT_EQ(capture.Row(0)[35] & 0xFFFFFFu, 0x0000FFu) << "the bottom row first";
    EXPECT_EQ(capture.Row(29)[5] & 0xFFFFFFu, 0xFF0000u);
    ASSERT_TRUE(GL_ReadBackBuffer(30, 25, 40, 30, capture));
    EXPECT_EQ(capture.width, 10);
    EXPECT_EQ(capture.Row(0)[0] & 0xFFFFFFu, 0x0000FFu);
}

TEST_F(RenderGLTest, RecreatedBackEndDrawsTexturesAndTargetsAgain) {
    Open(32, 16);
    Texture* image = TexelTexture(2, 2, {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u});
    Texture* target = CreateBlankTexture(8, 8, 0, 0, true, false, true, false, true);
    ASSERT_TRUE(image && target);
    ReleaseDeviceTextures();
    CloseRenderer();
    InitRenderer(window_);
    ReloadDeviceTextures();
    ASSERT_NE(target->glRenderTarget, nullptr);
    // Blank textures come back empty: fill the image again as its owner would.
    const uint8_t red[16] = {255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255};
    UpdateTexture(0, 0, image, 2, 2, red, 1);
    Begin();
    ASSERT_TRUE(BeginRenderToTexture(target, 0xFF00FF00u));
    EndRenderToTexture();
    DrawSprite(image, "main", 0, 0, 0, 0, 1, 4, 4, nullptr, 0, 0, 0, 0);
    DrawSprite(target, "main", 16, 0, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    End();
    EXPECT_EQ(At(4, 4), 0xFF0000u);
    EXPECT_EQ(At(20, 4), 0x00FF00u);
}

}  // namespace
