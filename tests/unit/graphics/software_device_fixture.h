#pragma once
// The whole renderer on the software device in a hidden window: textures really upload,
// targets really bind, pixels can be read back. The writable container is a temporary folder.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "graphics/render.h"
#include "graphics/render_target.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "platform/d3d9/d3d9.h"

class SoftwareDeviceTest : public testing::Test {
protected:
    void Open(int windowWidth, int windowHeight, int virtualWidth, int virtualHeight) {
        InitConfigDefaults();
        InitRenderGlobals();
        ApplyRenderConfig();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        window_ = SDL_CreateWindow("test", 0, 0, windowWidth, windowHeight, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        g_renderer.windowWidth = windowWidth;
        g_renderer.windowHeight = windowHeight;
        g_renderer.virtualWidth = virtualWidth;
        g_renderer.virtualHeight = virtualHeight;
        InitRenderer(window_);
        AllocateBatchBuffers();
    }
    void TearDown() override {
        CloseLeftoverRenderTarget();
        ReleaseAllTextures();
        FreeBatchBuffers();
        if (window_) {
            CloseRenderer();
            SDL_DestroyWindow(window_);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }
    void BeginFrame() {
        ASSERT_TRUE(ClearScreen());
        ASSERT_TRUE(BeginScene());
        SetDefaultBlendState();
    }
    // A pixel of level 0 of a device texture as 0xAARRGGBB.
    static uint32_t TexturePixel(IDirect3DTexture9* texture, int x, int y) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t pixel = 0;
        if (locked.pBits) std::memcpy(&pixel, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        texture->UnlockRect(0);
        return pixel;
    }

    MountedDir dir_;
    SDL_Window* window_ = nullptr;
};
