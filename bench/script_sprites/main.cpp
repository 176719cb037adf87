// Script-driven sprite frames at 1024x768 on the software device in a hidden window:
// N gfx_render_sprite calls from the script's render, and N bitmap components in a scene
// (its update and render). Prints milliseconds per frame and the share spent before the
// device draws (script, bindings, batching).
#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fixtures/image_fixtures.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// The script of both cases; `place` scatters N positions with the engine's LCG.
constexpr const char* kScript = R"(
local function place(n)
  local seed, list = 12345, {}
  local function next()
    seed = (seed * 214013 + 2531011) % 4294967296
    return math.floor(seed / 65536) % 32768 / 32767
  end
  for i = 1, n do list[i] = {x = next() * 1024, y = next() * 768, a = next() * 360, w = next() * 90 - 45} end
  return list
end

function start_sprites(n)
  ball = ball or gfx_load_bitmap('ball.png')
  sprites = place(n)
end

function draw_sprites(dt)
  for i = 1, #sprites do
    local s = sprites[i]
    s.a = s.a + s.w * dt
    gfx_render_sprite(ball, 'main', s.x, s.y, 0.75, s.a)
  end
end

function start_scene(n)
  scene = Scene()
  local layer = Layer()
  scene:attach_layer(layer)
  for i, s in ipairs(place(n)) do
    local object = GameObject()
    object:setup{x = s.x, y = s.y, angle = s.a}
    local bitmap = BitmapComponent()
    bitmap:setup{bitmap = 'ball.png', alpha = 0.75}
    object:attach_component(bitmap)
    layer:attach_object(object)
  end
end

function draw_scene(dt)
  scene:update(dt)
  scene:render()
end
)";

void CallScript(const char* function, double argument) {
    lua_State* L = LuaGetState();
    lua_getglobal(L, function);
    lua_pushnumber(L, argument);
    LuaCallProtected(1, 0, function, __FILE__, __LINE__);
}

struct FrameTimes {
    double frame = 0;   // the whole frame, presenting included
    double submit = 0;  // the script and everything it hands to the batch
};

void DrawFrame(const char* draw, FrameTimes& times) {
    const auto start = Clock::now();
    ClearScreen();
    if (!BeginScene()) return;
    SetDefaultBlendState();
    CallScript(draw, 0.016);
    FlushBatch(kAllBatchSlots);
    times.submit += Milliseconds(Clock::now() - start).count();
    EndScene();
    PresentFrame();
    times.frame += Milliseconds(Clock::now() - start).count();
}

FrameTimes MillisecondsPerFrame(const char* start, const char* draw, int count, int frames) {
    CallScript(start, count);
    FrameTimes times;
    DrawFrame(draw, times);  // warm up
    times = FrameTimes{};
    for (int i = 0; i < frames; ++i) DrawFrame(draw, times);
    return {times.frame / frames, times.submit / frames};
}

}  // namespace

int main() {
    SDL_Window* window = StartHiddenWindowRenderer(1024, 768);
    if (!window) return 1;
    {
        const MountedDir dir;
        dir.Write("ball.png", BallImage());
        LuaCreateState();
        RegisterLuaApi();
        if (luaL_dostring(LuaGetState(), kScript) != 0) {
            std::printf("script: %s\n", lua_tostring(LuaGetState(), -1));
            return 1;
        }
        for (const int count : {1000, 5000}) {
            const FrameTimes t = MillisecondsPerFrame("start_sprites", "draw_sprites", count, 50);
            std::printf("%5d gfx_render_sprite calls: %7.2f ms per frame (%6.2f ms script and submit)\n", count,
                        t.frame, t.submit);
        }
        for (const int count : {1000, 5000}) {
            const FrameTimes t = MillisecondsPerFrame("start_scene", "draw_scene", count, 50);
            std::printf("%5d bitmap components:    %7.2f ms per frame (%6.2f ms update, render and submit)\n", count,
                        t.frame, t.submit);
            lua_gc(LuaGetState(), LUA_GCCOLLECT, 0);  // the previous scene goes before the next is built
        }
        LuaCloseState();
        ReleaseAllTextures();
    }
    FreeBatchBuffers();
    CloseRenderer();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
