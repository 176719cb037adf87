#pragma once
// The software device in a hidden window with a mounted folder, the log captured from
// standard error, and the back buffer read back after a frame.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/config.h"
#include "graphics/render_d3d.h"
#include "text/debug_font.h"
#include "text/true_text.h"
#include "unit/graphics/software_device_fixture.h"

inline constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class TextDeviceTest : public SoftwareDeviceTest {
protected:
    void SetUp() override { testing::internal::CaptureStderr(); }
    void TearDown() override {
        TrueText_Destroy();
        DebugFont_Release();
        SoftwareDeviceTest::TearDown();
        testing::internal::GetCapturedStderr();
        InitConfigDefaults();
    }
    // Opens the renderer with the log on and TrueText switched as asked.
    void Start(int width, int height, bool trueText) {
        Open(width, height, 1024, 768);
        g_config.create_log = true;
        g_config.true_text = trueText;
    }
    // The log written since the last call.
    std::string Log() {
        std::string text = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        return text;
    }
    void InstallDejaVu(const std::string& name) const {
        std::filesystem::create_directories(dir_ / "fonts");
        std::filesystem::copy_file(kDejaVuSans, dir_ / ("fonts/" + name), std::filesystem::copy_options::overwrite_existing);
    }
    // Ends the frame and keeps the back buffer's colours (0x00RRGGBB).
    void EndFrame() {
        EndScene();
        ComPtr<IDirect3DSurface9> back;
        ASSERT_TRUE(SUCCEEDED(D3D_Device()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf())));
        D3DSURFACE_DESC desc{};
        back->GetDesc(&desc);
        D3DLOCKED_RECT locked{};
        ASSERT_TRUE(SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY)));
        width_ = static_cast<int>(desc.Width);
        height_ = static_cast<int>(desc.Height);
        pixels_.resize(static_cast<std::size_t>(width_) * height_);
        for (int y = 0; y < height_; ++y)
            std::memcpy(&pixels_[static_cast<std::size_t>(y) * width_], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                        static_cast<std::size_t>(width_) * 4);
        back->UnlockRect();
    }
    uint32_t At(int x, int y) const { return pixels_.at(static_cast<std::size_t>(y) * width_ + x) & 0xFFFFFFu; }
    // The bounding box of every non-black pixel: {left, top, right, bottom}, exclusive ends.
    struct Box {
        int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
        bool Empty() const { return right < 0; }
    };
    Box Ink() const {
        Box box;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != 0) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    }

    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};
