// The same scenes drawn through the renderer on the software device and on OpenGL
// (Mesa's llvmpipe under a private X server), compared pixel by pixel: equal where every
// edge lies on whole pixels; elsewhere only pixels beside an edge may differ.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "core/config.h"
#include "fixtures/gl_window.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/render_target.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "scene_drawing.h"

namespace {

struct SceneCase {
    const char* name;
    int width, height, virtualWidth, virtualHeight;
    bool wholePixelEdges;
    std::function<void()> draw;
    int channelTolerance = 0;  // blending rounds its products to 8 bits in its own way
};

void PrintTo(const SceneCase& scene, std::ostream* out) {
    *out << scene.name;
}

using Image = std::vector<uint32_t>;

void ShowVirtualScreen(int virtualWidth, int virtualHeight) {
    g_renderer.virtualWidth = virtualWidth;
    g_renderer.virtualHeight = virtualHeight;
    UpdateViewportScale();
    SetDefaultProjection();
}

void DrawFrame(const SceneCase& scene) {
    ClearScreen();
    BeginScene();
    SetDefaultBlendState();
    scene.draw();
    EndScene();
}

Image ReadDeviceBackBuffer(IDirect3DDevice9* device, int width, int height) {
    Image pixels(static_cast<std::size_t>(width) * height);
    ComPtr<IDirect3DSurface9> back;
    D3DLOCKED_RECT locked{};
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf())) ||
        FAILED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
        return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y) * width], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                    static_cast<std::size_t>(width) * 4);
    back->UnlockRect();
    return pixels;
}

Image DrawOnSoftwareDevice(const SceneCase& scene) {
    ComPtr<IDirect3DDevice9> device = CreateHeadlessDevice(scene.width, scene.height);
    if (!device) return {};
    InitConfigDefaults();
    AttachRenderer(device.Get(), scene.width, scene.height);
    D3D_SetLinearFiltering();  // as the back end's start-up leaves the device
    ShowVirtualScreen(scene.virtualWidth, scene.virtualHeight);
    DrawFrame(scene);
    Image pixels = ReadDeviceBackBuffer(device.Get(), scene.width, scene.height);
    CloseLeftoverRenderTarget();
    DetachRenderer();
    return pixels;
}

Image DrawOnOpenGL(const SceneCase& scene) {
    SDL_Window* window = StartGLWindowRenderer(scene.width, scene.height, scene.virtualWidth, scene.virtualHeight);
    if (!window) return {};
    DrawFrame(scene);
    Image pixels = ReadGLBackBuffer();
    StopGLWindowRenderer(window);
    return pixels;
}

uint32_t Rgb(const Image& image, int width, int x, int y) {
    return image[static_cast<std::size_t>(y) * width + x] & 0xFFFFFFu;
}

// Both pictures agree on the colours on either side of the pixel but not on where the
// edge runs through it.
bool BesideAnEdge(const Image& image, int width, int height, int x, int y) {
    const uint32_t centre = Rgb(image, width, x, y);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < width && ny < height && Rgb(image, width, nx, ny) != centre) return true;
        }
    return false;
}

bool ChannelsWithin(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {16, 8, 0})
        if (std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)) > tolerance)
            return false;
    return true;
}

class GLScene : public testing::TestWithParam<SceneCase> {
protected:
    void SetUp() override {
        if (!OpenGLTestsCanRun() && !OpenGLTestsRequired()) GTEST_SKIP() << "no X display for OpenGL";
    }
};

TEST_P(GLScene, DrawsTheSoftwareDevicePixels) {
    const SceneCase& scene = GetParam();
    const Image reference = DrawOnSoftwareDevice(scene);
    ASSERT_FALSE(reference.empty()) << "software device";
    const Image drawn = DrawOnOpenGL(scene);
    ASSERT_EQ(drawn.size(), reference.size()) << "OpenGL window: " << SDL_GetError();
    int differing = 0;
    std::string first;
    for (int y = 0; y < scene.height; ++y)
        for (int x = 0; x < scene.width; ++x) {
            const uint32_t want = Rgb(reference, scene.width, x, y), got = Rgb(drawn, scene.width, x, y);
            if (ChannelsWithin(want, got, scene.channelTolerance)) continue;
            if (!scene.wholePixelEdges && (BesideAnEdge(reference, scene.width, scene.height, x, y) ||
                                           BesideAnEdge(drawn, scene.width, scene.height, x, y)))
                continue;
            if (differing++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "(%d, %d): software %06X, OpenGL %06X", x, y, want, got);
                first = text;
            }
        }
    EXPECT_EQ(differing, 0) << "first: " << first;
}

std::vector<SceneCase> Scenes() {
    return {
        {"Boxes", 160, 120, 160, 120, true, DrawBoxes},
        {"SpriteOneToOne", 96, 64, 96, 64, true, DrawSpriteOneToOne},
        {"Letterbox", 320, 180, 256, 192, true, DrawLetterboxed},
        {"Rotated", 160, 120, 160, 120, false, DrawRotated},
        {"BlendModes", 96, 32, 96, 32, true, DrawBlendModes, 1},
        {"AlphaTest", 64, 16, 64, 16, true, DrawAlphaTest},
        {"CullOnScreen", 64, 48, 64, 48, true, DrawCullSquares},
        {"CullInTarget", 64, 64, 64, 64, true, DrawCullInTarget},
        {"TargetOrientation", 96, 96, 96, 96, true, DrawTargetOrientation},
        {"ClampAndWrap", 32, 16, 32, 16, true, DrawClampAndWrap},
        {"Uploads", 32, 16, 32, 16, true, DrawUploads},
        {"Tilted", 128, 96, 128, 96, false, DrawTilted},
    };
}

INSTANTIATE_TEST_SUITE_P(Scenes, GLScene, testing::ValuesIn(Scenes()),
                         [](const testing::TestParamInfo<SceneCase>& info) { return std::string(info.param.name); });

}  // namespace
