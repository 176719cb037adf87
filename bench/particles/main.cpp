// Particle effects through the engine's whole drawing path at 1024x768 in a hidden window:
// one emitter kept at N live particles (16x16 additive sprites, two-second lives), each
// frame updated by 1/60 s, drawn and presented. Prints milliseconds per frame (and the
// update's share) and the draw calls per emitter, then the same for a three-emitter
// effect with alpha, add and subtract blending.
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/random.h"
#include "effects/particle_system.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/software_device.h"
#include "fixtures/temp_dir.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "storage/storage.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr float kStep = 1.0f / 60;
constexpr int kFrames = 60;

// An emitter that keeps about `live` particles alive once it has run two seconds.
std::string Generator(int live, const char* blending) {
    return "(generator (texture dot) (blending " + std::string(blending) + ") (particle_limit " +
           std::to_string(live + live / 10 + 16) + ") (flow 0 " + std::to_string(live / 2) +
           ") (particle_alpha [0 1] [2 0]) (particle_color [0 1 0.5 0.2] [2 0.2 0.5 1]) (particle_spin 0 90) "
           "(starting_velocity 0 20 120) (starting_direction 0 -180 180) (gravity 30) (radial_acceleration -5))\n";
}

struct FrameTimes {
    double frame = 0, update = 0;
    int drawCalls = 0, live = 0;
};

int LiveParticles(const ParticleSystem& system) {
    int live = 0;
    for (const auto& emitter : system.emitters)
        for (int i = 0; i < emitter->limit; ++i) live += emitter->particles[i].alive ? 1 : 0;
    return live;
}

FrameTimes Measure(ParticleSystem& system) {
    for (int i = 0; i < 150; ++i) ParticleSystem_Update(system, kStep);  // to the steady state
    FrameTimes times;
    for (int frame = 0; frame < kFrames; ++frame) {
        const auto start = Clock::now();
        ParticleSystem_Update(system, kStep);
        times.update += Milliseconds(Clock::now() - start).count();
        ClearScreen();
        if (!BeginScene()) break;
        ResetFrameStatistics();
        SetDefaultBlendState();
        ParticleSystem_Render(system);
        FlushBatch(kAllBatchSlots);
        times.drawCalls += g_renderer.statistics.drawCalls;
        EndScene();
        PresentFrame();
        times.frame += Milliseconds(Clock::now() - start).count();
    }
    return {times.frame / kFrames, times.update / kFrames, times.drawCalls / kFrames, LiveParticles(system)};
}

void Report(const TempDir& data, const std::string& what, const std::string& file, int emitters) {
    const std::string name = "fx.txt";
    data.Write(name, file);
    ParticleSystemPtr system = ParticleSystem_Load(name);
    if (!system) return;
    ParticleSystem_SetPosition(*system, 512, 384);
    const FrameTimes t = Measure(*system);
    std::printf("%-30s %6d live: %7.2f ms per frame (update %5.2f ms), %5.1f draw calls per emitter\n", what.c_str(),
                t.live, t.frame, t.update, static_cast<double>(t.drawCalls) / emitters);
}

}  // namespace

int main() {
    SDL_Window* window = StartHiddenWindowRenderer(1024, 768);
    if (!window) return 1;
    TempDir data;
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int dx = x * 2 - 15, dy = y * 2 - 15;
            pixels.insert(pixels.end(), {255, 255, 255, static_cast<uint8_t>(dx * dx + dy * dy < 225 ? 255 : 0)});
        }
    data.Write("dot.png", EncodeImage(FixtureFormat::Png, 16, 16, 4, pixels));
    if (!AddDirectoryStorage(data.path().string(), false, false)) return 1;
    SeedRandom(7);
    for (const int live : {1000, 10000, 50000})
        Report(data, "one add emitter, " + std::to_string(live), Generator(live, "add"), 1);
    Report(data, "alpha + add + subtr, 3 x 3000",
           Generator(3000, "alpha") + Generator(3000, "add") + Generator(3000, "subtr"), 3);
    ReleaseAllTextures();
    ShutdownStorage();
    FreeBatchBuffers();
    CloseRenderer();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
