#pragma once
// The scene fixture over the software device: a 64x64 virtual screen drawn pixel for
// pixel into a 64x64 back buffer, the frame's scene open.
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/render_target.h"
#include "graphics/texture.h"
#include "scene_fixture.h"

class SoftwareRenderTest : public SceneTest {
protected:
    static constexpr int kSize = 64;

    void SetUp() override {
        SceneTest::SetUp();
        device_ = CreateHeadlessDevice(kSize, kSize);
        ASSERT_TRUE(device_);
        AttachRenderer(device_.Get(), kSize, kSize);
        ASSERT_TRUE(BeginScene());
    }
    void TearDown() override {
        CloseLeftoverRenderTarget();
        SceneTest::TearDown();  // the scene lets go of its targets
        DetachRenderer();
        device_.Reset();
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

    ComPtr<IDirect3DDevice9> device_;
};
