// Whole frames through the engine's drawing path: DrawTexturedQuad, the sprite batch and
// the back end named on the command line, at 1024x768: "software" (the default: the
// Direct3D back end on the software device, in a hidden window) or "opengl" (a window of
// the X display; bench/render_frame/compare.sh runs both under Xvfb). Prints milliseconds
// per frame for N rotated, alpha-blended 32x32 sprites of one texture.
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fixtures/gl_window.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "unit/graphics/fake_device.h"

namespace {

struct Sprite2D {
    float x, y, angle, speed;
};

std::vector<Sprite2D> Scatter(int count) {
    std::vector<Sprite2D> sprites(static_cast<std::size_t>(count));
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return static_cast<float>(seed >> 16 & 0x7FFF) / 32767.0f;
    };
    for (Sprite2D& s : sprites) s = {next() * 1024.0f, next() * 768.0f, next() * 360.0f, next() * 90.0f - 45.0f};
    return sprites;
}

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

struct FrameTimes {
    double frame = 0;   // the whole frame, presenting included
    double submit = 0;  // building, batching and handing the quads to the device
};

void DrawFrame(Texture* texture, std::vector<Sprite2D>& sprites, float dt, FrameTimes& times) {
    const auto start = Clock::now();
    ClearScreen();
    if (!BeginScene()) return;
    SetDefaultBlendState();
    for (Sprite2D& s : sprites) {
        s.angle += s.speed * dt;
        DrawTexturedQuad(s.x, s.y, 0, 32, 32, 0, 0, 1, 1, texture, s.angle, 0.75f, 1, 1, nullptr, 16, 16, 0, 0, 0, 0);
    }
    FlushBatch(kAllBatchSlots);
    times.submit += Milliseconds(Clock::now() - start).count();
    EndScene();
    PresentFrame();
    times.frame += Milliseconds(Clock::now() - start).count();
}

FrameTimes MillisecondsPerFrame(Texture* texture, int count, int frames) {
    std::vector<Sprite2D> sprites = Scatter(count);
    FrameTimes times;
    DrawFrame(texture, sprites, 0.016f, times);  // warm up
    times = FrameTimes{};
    for (int i = 0; i < frames; ++i) DrawFrame(texture, sprites, 0.016f, times);
    return {times.frame / frames, times.submit / frames};
}

// A disc shaded by position, through the renderer's own texture calls.
Texture* MakeSpriteTexture() {
    Texture* texture = CreateBlankTexture(32, 32, 16, 16, true, false, false, false, true);
    if (!texture) return nullptr;
    std::vector<uint8_t> texels;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int dx = x - 16, dy = y - 16;
            const uint8_t alpha = dx * dx + dy * dy < 256 ? 255 : 0;
            const uint8_t red = static_cast<uint8_t>(x * 8), green = static_cast<uint8_t>(y * 8), blue = 0x80;
            if (g_renderer.opengl) texels.insert(texels.end(), {red, green, blue, alpha});
            else texels.insert(texels.end(), {blue, green, red, alpha});
        }
    UpdateTexture(0, 0, texture, 32, 32, texels.data(), kUploadDeviceOrder);
    return texture;
}

// The same frames over a device that draws nothing: what the front end and the batch
// cost by themselves.
void FrontEndOnly() {
    FakeDevice null;
    null.recording = false;
    FakeTexture pixels(32, 32, D3DFMT_A8R8G8B8, 4);
    Texture texture;
    texture.width = texture.height = 32;
    texture.deviceTexture = &pixels;
    D3D_AttachDeviceForTest(&null);
    AllocateBatchBuffers();
    SetDefaultProjection();
    for (int count : {20000, 100000}) {
        const FrameTimes t = MillisecondsPerFrame(&texture, count, 20);
        std::printf("%6d sprites, front end alone: %6.2f ms per frame (%d draw calls)\n", count, t.frame,
                    null.drawCount / 21);
        null.drawCount = 0;
    }
    FreeBatchBuffers();
    D3D_AttachDeviceForTest(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const bool opengl = argc > 1 && std::strcmp(argv[1], "opengl") == 0;
    if (argc > 1 && !opengl && std::strcmp(argv[1], "software") != 0) {
        std::fprintf(stderr, "usage: %s [software|opengl]\n", argv[0]);
        return 2;
    }
    SDL_Window* window = opengl ? StartGLWindowRenderer(1024, 768, 1024, 768) : StartHiddenWindowRenderer(1024, 768);
    if (!window) {
        std::fprintf(stderr, "no window: %s\n", SDL_GetError());
        return 1;
    }
    Texture* texture = MakeSpriteTexture();
    if (!texture) {
        std::printf("no device texture\n");
        return 1;
    }
    int largest = 0;
    for (int count : {1000, 5000, 20000, 40000}) {
        const FrameTimes t = MillisecondsPerFrame(texture, count, count > 10000 ? 20 : 50);
        std::printf("%6d sprites: %7.2f ms per frame (%6.2f ms submitting)\n", count, t.frame, t.submit);
    }
    for (int count = 1000; count <= 200000; count += 1000) {
        if (MillisecondsPerFrame(texture, count, 10).frame > 16.7) break;
        largest = count;
    }
    std::printf("largest N within 16.7 ms: %d\n", largest);
    texture->refCount = 0;
    ReleaseUnusedTextures();
    if (opengl) {
        StopGLWindowRenderer(window);
        return 0;
    }
    FreeBatchBuffers();
    CloseRenderer();
    FrontEndOnly();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
