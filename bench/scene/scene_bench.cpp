// Milliseconds per frame of the scene graph (update, prerender, render) for 1,000,
// 5,000 and 10,000 game objects, each with a bitmap component (a 32x32 ball), half of
// them with an on_update script function. Drawing goes to the software device on a
// 1024x768 virtual screen. Beside the wall time, the main thread's processor time per
// object, which the rasteriser's threads and other load on the machine do not inflate.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/input.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"
#include "script/scene/scene.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr int kFrames = 60;

void Run(lua_State* L, const std::string& code) {
    if (luaL_dostring(L, code.c_str()) == 0) return;
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    std::exit(1);
}

// The frame's script calls are compiled once, as a game's own functions are: compiling a
// chunk in every frame would allocate and make the collector work in the timed span.
void Call(lua_State* L, const char* function) {
    lua_getglobal(L, function);
    if (lua_pcall(L, 0, 0, 0) == 0) return;
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    std::exit(1);
}

void BuildScene(lua_State* L, int objects) {
    Run(L, "function update_scene() scene:update(0.016) end function render_scene() scene:render() end\n"
           "scene = Scene() layer = Layer() scene:attach_layer(layer) layer:setup({}) layer:finalize_setup()\n"
           "for i = 1, " + std::to_string(objects) + " do\n"
           "  local o = GameObject()\n"
           "  if i % 2 == 0 then o.on_update = function(self, dt) self.t = (self.t or 0) + dt end end\n"
           "  layer:attach_object(o)\n"
           "  o:setup({x = (i * 37) % 1000, y = (i * 53) % 750})\n"
           "  local b = BitmapComponent() o:attach_component(b) b:setup({bitmap = 'ball.png', alpha = 0.5})\n"
           "  o:finalize_setup() o:prepare_components()\n"
           "end");
}

struct Times {
    double wall = 0, thread = 0;  // milliseconds
};

struct FrameTimes {
    Times update, prerender, render;
};

double ThreadMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <class F>
void Measure(Times& total, F&& work) {
    const auto start = std::chrono::steady_clock::now();
    const double startCpu = ThreadMs();
    work();
    total.thread += ThreadMs() - startCpu;
    total.wall += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void RunFrame(lua_State* L, IDirect3DDevice9* device, int frame, FrameTimes& total) {
    g_input.mouse.x = static_cast<float>((frame * 17) % kWidth);
    g_input.mouse.y = static_cast<float>((frame * 11) % kHeight);
    Measure(total.update, [&] { Call(L, "update_scene"); });
    Measure(total.prerender, [] { PrerenderScene(); });
    Measure(total.render, [&] {
        BeginScene();
        ClearScreen();
        Call(L, "render_scene");
        FlushBatch(kAllBatchSlots);
        EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);  // waits for the rasteriser
    });
}

// The first frame gives each scripted object its field; the frames measured after it
// are the steady state.
FrameTimes MeasureFrames(lua_State* L, IDirect3DDevice9* device) {
    FrameTimes warmUp;
    RunFrame(L, device, 0, warmUp);
    FrameTimes total;
    for (int frame = 1; frame <= kFrames; ++frame) RunFrame(L, device, frame, total);
    for (Times* t : {&total.update, &total.prerender, &total.render}) {
        t->wall /= kFrames;
        t->thread /= kFrames;
    }
    return total;
}

int LuaHeapBytes(lua_State* L) { return lua_gc(L, LUA_GCCOUNT, 0) * 1024 + lua_gc(L, LUA_GCCOUNTB, 0); }

// What one more frame leaves on the script heap, with the collector held still.
int LuaBytesPerFrame(lua_State* L, IDirect3DDevice9* device) {
    lua_gc(L, LUA_GCSTOP, 0);
    const int before = LuaHeapBytes(L);
    FrameTimes ignored;
    RunFrame(L, device, kFrames + 1, ignored);
    const int grown = LuaHeapBytes(L) - before;
    lua_gc(L, LUA_GCRESTART, 0);
    return grown;
}

}  // namespace

// An argument N measures N objects only (for profilers); without one, the whole table.
int main(int argc, char** argv) {
    std::vector<int> counts = {1000, 5000, 10000};
    if (argc > 1) {
        counts = {std::atoi(argv[1])};
        if (counts[0] <= 0) return 1;
    }
    InitConfigDefaults();
    ComPtr<IDirect3DDevice9> device = CreateHeadlessDevice(kWidth, kHeight);
    if (!device) {
        std::fprintf(stderr, "no software device\n");
        return 1;
    }
    AttachRenderer(device.Get(), kWidth, kHeight);
    const MountedDir data;
    data.Write("ball.png", BallImage());
    LuaCreateState();
    lua_State* L = LuaGetState();
    RegisterLuaApi();
    std::printf("ms per frame, mean of %d frames; then the main thread's processor time in ns per object\n", kFrames);
    std::printf("%8s %9s %10s %9s %8s | %9s %10s %9s %8s | %s\n", "objects", "update", "prerender", "render", "total",
                "update", "prerender", "render", "total", "script heap bytes a frame");
    for (const int objects : counts) {
        BuildScene(L, objects);
        const FrameTimes t = MeasureFrames(L, device.Get());
        const int heapBytes = LuaBytesPerFrame(L, device.Get());
        const double perObject = 1e6 / objects;
        std::printf("%8d %9.3f %10.3f %9.3f %8.3f | %9.0f %10.0f %9.0f %8.0f | %d\n", objects, t.update.wall,
                    t.prerender.wall, t.render.wall, t.update.wall + t.prerender.wall + t.render.wall,
                    t.update.thread * perObject, t.prerender.thread * perObject, t.render.thread * perObject,
                    (t.update.thread + t.prerender.thread + t.render.thread) * perObject, heapBytes);
        Run(L, "scene = nil layer = nil collectgarbage('collect')");
        LuaDeleteDroppedObjects(L);
    }
    LuaCloseState();
    DetachRenderer();
    return 0;
}
