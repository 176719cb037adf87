#pragma once
// The scene fixture over the software device: a 64x64 virtual screen drawn pixel for
// pixel into a 64x64 back buffer, the frame's scene open.
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/render_target.h"
#include "graphics/texture.h"
#include "platform/d3d9/d3d9.h"
#include "scene_fixture.h"

class SoftwareRenderTest : public SceneTest {
protected:
    static constexpr int kSize = 64;

    void SetUp() override {
        SceneTest::SetUp();
        InitRenderGlobals();
        g_renderer.virtualWidth = g_renderer.virtualHeight = kSize;
        g_renderer.windowWidth = g_renderer.windowHeight = kSize;
        UpdateViewportScale();
        d3d_ = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = pp.BackBufferHeight = kSize;
        pp.BackBufferFormat = D3DFMT_A8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                     &pp, device_.ReleaseAndGetAddressOf()),
                  D3D_OK);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device_->SetRenderState(D3DRS_LIGHTING, false);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        D3D_AttachDeviceForTest(device_.Get());
        SetDefaultBlendState();
        AllocateBatchBuffers();
        ASSERT_TRUE(BeginScene());
    }
    void TearDown() override {
        CloseLeftoverRenderTarget();
        SceneTest::TearDown();  // the scene lets go of its targets
        ReleaseAllTextures();
        FreeBatchBuffers();
        D3D_AttachDeviceForTest(nullptr);
        device_.Reset();
        d3d_.Reset();
        InitRenderGlobals();
    }

    DWORD State(D3DRENDERSTATETYPE state) {
        DWORD value = 0;
        device_->GetRenderState(state, &value);
        return value;
    }
    // 0xAARRGGBB of a texture's level 0.
    uint32_t TexturePixel(const Texture* texture, int x, int y) {
        D3DLOCKED_RECT locked{};
        if (texture->deviceTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return 0xDEADBEEF;
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
        const uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
        texture->deviceTexture->UnlockRect(0);
        return pixel;
    }

    ComPtr<IDirect3D9> d3d_;
    ComPtr<IDirect3DDevice9> device_;
};
