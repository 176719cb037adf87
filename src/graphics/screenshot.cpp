#include "graphics/screenshot.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/log.h"
#include "graphics/bmp_writer.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/render_gl.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"

namespace {

int g_screenshotCounter = 0;

std::string NextScreenshotName() {
    char name[64];
    std::snprintf(name, sizeof name, "screenshots/screen%.3d.bmp", g_screenshotCounter++);
    return name;
}

uint32_t Expand565(uint16_t c) {
    const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return (b << 3 | b >> 2) | (g << 2 | g >> 4) << 8 | (r << 3 | r >> 2) << 16 | 0xFF000000u;
}

// Copies locked back-buffer rows into the surface bottom-up as bytes B, G, R, A.
void CopyBackBufferRows(const D3DLOCKED_RECT& locked, D3DFORMAT format, Surface& capture) {
    const auto* bits = static_cast<const uint8_t*>(locked.pBits);
    for (int y = 0; y < capture.height; ++y) {
        const uint8_t* from = bits + static_cast<std::ptrdiff_t>(capture.height - 1 - y) * locked.Pitch;
        uint32_t* to = capture.Row(y);
        if (format == D3DFMT_R5G6B5) {
            for (int x = 0; x < capture.width; ++x) {
                uint16_t c;
                std::memcpy(&c, from + 2 * x, 2);
                to[x] = Expand565(c);
            }
        } else {
            std::memcpy(to, from, static_cast<std::size_t>(capture.width) * 4);
        }
    }
}

// The window rectangle of the back buffer, clipped to it; false when nothing could be read.
bool CaptureBackBuffer(ScreenshotRect window, Surface& capture) {
    if (g_renderer.opengl) return GL_ReadBackBuffer(window.left, window.top, window.right, window.bottom, capture);
    IDirect3DDevice9* device = D3D_Device();
    ComPtr<IDirect3DSurface9> backBuffer;
    if (!device || FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.ReleaseAndGetAddressOf())))
        return false;
    D3DSURFACE_DESC desc{};
    if (FAILED(backBuffer->GetDesc(&desc))) return false;
    window.left = std::clamp(window.left, 0, static_cast<int>(desc.Width));
    window.right = std::clamp(window.right, window.left, static_cast<int>(desc.Width));
    window.top = std::clamp(window.top, 0, static_cast<int>(desc.Height));
    window.bottom = std::clamp(window.bottom, window.top, static_cast<int>(desc.Height));
    capture.Create(window.right - window.left, window.bottom - window.top, true);
    if (capture.PixelCount() == 0) return true;
    const RECT rect{window.left, window.top, window.right, window.bottom};
    D3DLOCKED_RECT locked{};
    if (FAILED(backBuffer->LockRect(&locked, &rect, D3DLOCK_READONLY))) return false;
    CopyBackBufferRows(locked, desc.Format, capture);
    backBuffer->UnlockRect();
    return true;
}

void CaptureAndSave(const std::string& fileName, const ScreenshotPlan& plan) {
    Surface capture;
    if (!CaptureBackBuffer(plan.window, capture)) {
        VELK_WARNING("TakeScreenshot: \"%s\" - the back buffer could not be read", fileName.c_str());
        return;
    }
    if (plan.resample && capture.PixelCount() > 0) {
        Surface resized;
        resized.Create(plan.destination.width, plan.destination.height, true);
        CopyResized(capture, resized);
        capture = std::move(resized);
    }
    SetOpaque(capture);
    SaveSurfaceAsBMP(fileName, capture);
}

}  // namespace

ScreenshotPlan PlanScreenshot(const std::string& name, const ScreenshotRect* source, const ScreenshotSize* destination) {
    const RendererState& r = g_renderer;
    ScreenshotRect src{0, 0, r.virtualWidth, r.virtualHeight};
    if (source) {
        src = {std::max(source->left, 0), std::max(source->top, 0), std::min(source->right, r.virtualWidth),
               std::min(source->bottom, r.virtualHeight)};
        if (src.left >= src.right || src.top >= src.bottom)
            VELK_ERROR("Bad source rect {left=%d, top=%d, rigth=%d, bottom=%d}!\n <%s>", source->left, source->top,
                       source->right, source->bottom, name.c_str());
    }
    const auto wx = [&r](int x) { return static_cast<int>(static_cast<float>(x) * r.scaleX + r.offsetX); };
    const auto wy = [&r](int y) { return static_cast<int>(static_cast<float>(y) * r.scaleY + r.offsetY); };
    ScreenshotPlan plan{src, {wx(src.left), wy(src.top), wx(src.right), wy(src.bottom)}, {}, false};
    const int srcWidth = src.right - src.left, srcHeight = src.bottom - src.top;
    plan.destination = {destination && destination->width >= 1 ? destination->width : srcWidth,
                        destination && destination->height >= 1 ? destination->height : srcHeight};
    const bool unscaled = r.scaleX == 1.0f && r.scaleY == 1.0f;
    plan.resample = plan.destination.width != srcWidth || plan.destination.height != srcHeight ||
                    (destination != nullptr && !unscaled);
    return plan;
}

void TakeScreenshot(const char* name, const ScreenshotRect* source, const ScreenshotSize* destination) {
    FlushBatch(kAllBatchSlots);
    const std::string fileName = name ? name : NextScreenshotName();
    const ScreenshotPlan plan = PlanScreenshot(fileName, source, destination);
    LogPrintf("TakeScreenshot: \"%s\", srcRect={%d, %d, %d, %d}, destSize={%d, %d}", fileName.c_str(),
              plan.source.left, plan.source.top, plan.source.right, plan.source.bottom, plan.destination.width,
              plan.destination.height);
    // Refused before anything is captured: the resample alone would take the memory.
    if (!BmpSizeFits(plan.destination.width, plan.destination.height)) {
        VELK_WARNING("TakeScreenshot: \"%s\" - %dx%d pixels do not fit in a BMP file", fileName.c_str(),
                     plan.destination.width, plan.destination.height);
        return;
    }
    try {
        CaptureAndSave(fileName, plan);
    } catch (const std::bad_alloc&) {
        // Scripts take screenshots: nothing may unwind through them.
        VELK_WARNING("TakeScreenshot: \"%s\" - not enough memory for %dx%d pixels", fileName.c_str(),
                     plan.destination.width, plan.destination.height);
    }
}
