// Whole frames through the engine's drawing path: DrawTexturedQuad, the sprite batch, the
// Direct3D back end and the software device, at 1024x768 in a hidden window. Prints
// milliseconds per frame for N rotated, alpha-blended 32x32 sprites of one texture.
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

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

Texture MakeSpriteTexture() {
    Texture texture;
    texture.width = texture.height = 32;
    texture.deviceTexture = D3D_CreateBlankTexture(32, 32, true, false, true, false);
    if (!texture.deviceTexture) return texture;
    std::vector<uint32_t> texels(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const int dx = x - 16, dy = y - 16;
            const uint32_t alpha = dx * dx + dy * dy < 256 ? 255u : 0u;
            texels[y * 32 + x] = alpha << 24 | static_cast<uint32_t>(x * 8) << 16 | static_cast<uint32_t>(y * 8) << 8 | 0x80;
        }
    D3D_UpdateTexture(0, 0, texture.deviceTexture, 32, 32, texels.data(), kUploadBGRA);
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

int main() {
    SDL_Window* window = StartHiddenWindowRenderer(1024, 768);
    if (!window) return 1;
    Texture texture = MakeSpriteTexture();
    if (!texture.deviceTexture) {
        std::printf("no device texture\n");
        return 1;
    }
    int largest = 0;
    for (int count : {1000, 5000, 20000, 40000}) {
        const FrameTimes t = MillisecondsPerFrame(&texture, count, count > 10000 ? 20 : 50);
        std::printf("%6d sprites: %7.2f ms per frame (%6.2f ms submitting)\n", count, t.frame, t.submit);
    }
    for (int count = 1000; count <= 200000; count += 1000) {
        if (MillisecondsPerFrame(&texture, count, 10).frame > 16.7) break;
        largest = count;
    }
    std::printf("largest N within 16.7 ms: %d\n", largest);
    texture.deviceTexture->Release();
    FreeBatchBuffers();
    CloseRenderer();
    FrontEndOnly();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
