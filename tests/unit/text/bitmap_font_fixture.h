#pragma once
// Bitmap fonts written into the mounted folder, over the software device, with the back
// buffer read back after a frame.
#include <string>
#include <vector>

#include "fixtures/fnt_fixture.h"
#include "fixtures/software_device.h"
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

    // Ends the scene and copies the back buffer out.
    void EndFrame() {
        EndScene();
        pixels_ = ReadBackBuffer(width_);
        ASSERT_FALSE(pixels_.empty());
    }
    uint32_t At(int x, int y) const { return pixels_.at(static_cast<std::size_t>(y) * width_ + x) & 0xFFFFFFu; }

    std::vector<uint32_t> pixels_;
    int width_ = 0;
};
