// The per-frame paths of the spine: timer tick, input processing, profiler brackets and
// key-name lookups.
#include <benchmark/benchmark.h>

#include "core/config.h"
#include "core/frame_timer.h"
#include "core/input.h"
#include "core/profile.h"

namespace {

uint32_t g_now = 0;
uint32_t SteppingClock() { return g_now += 16; }

void FrameTimerTick(benchmark::State& state) {
    FrameTimer timer(SteppingClock);
    timer.max_step = 0.5;
    for (auto _ : state) benchmark::DoNotOptimize(timer.Tick());
}
BENCHMARK(FrameTimerTick);

// A busy frame: moves, clicks, keys and typed text.
void ProcessInputFrame(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    g_input = InputState{};
    g_input.write_queue.reserve(events);
    g_input.read_queue.reserve(events);
    for (auto _ : state) {
        for (int i = 0; i < events; ++i) {
            const int type = 1 + i % 8;
            QueueInputEvent(type, type <= 3 ? 65 + i % 26 : 1, i, i, false);
        }
        SwapInputQueues();
        benchmark::DoNotOptimize(ProcessInputEvents());
    }
    state.SetItemsProcessed(state.iterations() * events);
}
BENCHMARK(ProcessInputFrame)->Arg(16)->Arg(256);

void ProfileBracket(benchmark::State& state) {
    ProfileReset();
    for (int i = 0; i < 60; ++i) ProfileStart(("tag" + std::to_string(i)).c_str());
    for (auto _ : state) {
        ProfileStart("main_update");
        ProfileStop("main_update");
    }
}
BENCHMARK(ProfileBracket);

void KeyNameLookup(benchmark::State& state) {
    static const char* const names[] = {"space", "f12", "android_menu", "a", "nosuchkey", "lshift"};
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(KeyCodeFromName(names[i++ % 6]));
}
BENCHMARK(KeyNameLookup);

}  // namespace
