// TrueText at 1366 x 768 (a 2048 cache texture with the glyph cache) on the software
// device, DejaVu Sans as "common": 200 texts that change every frame, laid out and drawn;
// then one text whose size animates for 10,000 frames, and what the caches hold after.
#include <benchmark/benchmark.h>

#include <SDL2/SDL.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "text/atlas.h"
#include "text/true_text.h"
#include "text/true_text_layout.h"
#include "text/true_text_render.h"

namespace {

constexpr int kTexts = 200;

struct TextScene {
    TextScene() {
        std::filesystem::create_directories(dir / "fonts");
        std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", dir / "fonts/common.ttf");
        window = StartHiddenWindowRenderer(1366, 768);
        g_config.true_text = true;
        TrueText_Init();
    }
    ~TextScene() {
        TrueText_Destroy();
        CloseRenderer();
        if (window) SDL_DestroyWindow(window);
    }
    void Frame(int frame) {
        BeginScene();
        char text[64];
        for (int i = 0; i < kTexts; ++i) {
            std::snprintf(text, sizeof text, "Score %d: %d", i, frame * 7 + i);
            const float x = static_cast<float>(20 + (i % 8) * 160), y = static_cast<float>(20 + (i / 8) * 28);
            TrueText_Render(text, true, "common", 18, x, y, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
            TrueText_Render(text, false, "common", 18, x, y, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
        }
        EndScene();
    }

    MountedDir dir;
    SDL_Window* window = nullptr;
};

void ChangingTexts(benchmark::State& state) {
    TextScene scene;
    int frame = 0;
    const int before = TrueText_BlocksRendered();
    for (auto _ : state) scene.Frame(frame++);
    state.counters["blocks_per_frame"] = static_cast<double>(TrueText_BlocksRendered() - before) / frame;
}
BENCHMARK(ChangingTexts)->Unit(benchmark::kMillisecond)->Iterations(100);

// A text whose scale animates: every frame is a new size, so a new key everywhere.
void AnimatedScaleCaches(benchmark::State& state) {
    TextScene scene;
    for (auto _ : state) {
        for (int frame = 0; frame < 10000; ++frame) {
            const float size = 12 + static_cast<float>(frame % 997) * 0.013f;
            float w = 0, h = 0;
            TrueText_TextSize("Level 3", w, h, "common", size, 0, 0, 9);
            TrueText_Render("Level 3", true, "common", size, 10, 10, 0, 1, 1, 0, 0, 9, 0xFFFFFFFFu);
        }
    }
    state.counters["size_cache"] = static_cast<double>(TrueText_SizeCache().size());
    state.counters["fonts"] = static_cast<double>(TrueText_FontCount());
    state.counters["main_regions"] = static_cast<double>(TrueText_MainAtlas()->regions.size());
    state.counters["small_regions"] = static_cast<double>(TrueText_SmallBlockAtlas()->regions.size());
    state.counters["glyph_regions"] = static_cast<double>(TrueText_GlyphAtlas()->regions.size());
}
BENCHMARK(AnimatedScaleCaches)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
