#pragma once
// Bitmap fonts written into the mounted folder, over the software device, with the back
// buffer read back after a frame.
#include <cstring>
#include <string>
#include <vector>

#include "fixtures/fnt_fixture.h"
#include "graphics/render_d3d.h"
#include "text/text_renderer.h"
#include "unit/graphics/software_device_fixture.h"

class BitmapFontTest : public SoftwareDeviceTest {
protected:
    void TearDown() override {
        GetTextRenderer().Clear();
        GetTextRenderer() = TextRenderer();
        SoftwareDeviceTest::TearDown();
    }

    // Writes fonts/<name>.fnt and its pages (one PNG per page used).
    void WriteFont(const std::string& name, const FntFont& font, int pages = 1) {
        dir_.Write("fonts/" + name + ".fnt", FntDescription(font));
        for (int page = 0; page < pages; ++page) {
            const std::string suffix = pages == 1 ? "" : "_" + std::to_string(page);
            dir_.Write("fonts/" + name + suffix + ".png", FntPage(font, page, 256, 64));
        }
    }

    // Ends the scene and copies the back buffer out as 0x00RRGGBB.
    void EndFrame() {
        EndScene();
        ComPtr<IDirect3DSurface9> back;
        ASSERT_TRUE(SUCCEEDED(D3D_Device()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf())));
        D3DSURFACE_DESC desc{};
        back->GetDesc(&desc);
        D3DLOCKED_RECT locked{};
        ASSERT_TRUE(SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY)));
        width_ = static_cast<int>(desc.Width);
        pixels_.resize(static_cast<std::size_t>(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels_[y * desc.Width], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, desc.Width * 4);
        back->UnlockRect();
    }
    uint32_t At(int x, int y) const { return pixels_.at(static_cast<std::size_t>(y) * width_ + x) & 0xFFFFFFu; }

    std::vector<uint32_t> pixels_;
    int width_ = 0;
};
