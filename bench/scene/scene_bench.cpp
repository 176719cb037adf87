// Milliseconds per frame of the scene graph (update, prerender, render) for 1,000,
// 5,000 and 10,000 game objects, each with a rectangle-sized visual component and a box
// shape fitted to it, half of them with an on_update script function. Drawing goes to
// the software device on a 1024x768 virtual screen.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/config.h"
#include "core/input.h"
#include "fixtures/software_device.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "script/api/lua_api.h"
#include "script/components/visual_component.h"
#include "script/lua_base.h"
#include "script/lua_binder.h"
#include "script/scene/scene.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr int kFrames = 60;

// A flat 24x16 rectangle in its colour.
class BenchRectangle : public VisualComponent {
public:
    static constexpr const char* kClassName = "BenchRectangle";
    BenchRectangle() {
        width = 24;
        height = 16;
    }
    void render() override {
        updateAbsoluteValues();
        beginRender();
        const Transform t = effectiveTransform();
        DrawTexturedQuad(t.x, t.y, 0, width, height, 0, 0, 0, 0, nullptr, t.angle, effectiveAlpha(), t.scale_x,
                         t.scale_y, color, 0, 0, 0, 0, 0, 0);
        endRender();
    }
};

void Run(lua_State* L, const std::string& code) {
    if (luaL_dostring(L, code.c_str()) == 0) return;
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    std::exit(1);
}

void BuildScene(lua_State* L, int objects) {
    Run(L, "scene = Scene() layer = Layer() scene:attach_layer(layer) layer:setup({}) layer:finalize_setup()\n"
           "for i = 1, " + std::to_string(objects) + " do\n"
           "  local o = GameObject()\n"
           "  if i % 2 == 0 then o.on_update = function(self, dt) self.t = (self.t or 0) + dt end end\n"
           "  layer:attach_object(o)\n"
           "  o:setup({x = (i * 37) % 1000, y = (i * 53) % 750})\n"
           "  local r = BenchRectangle() o:attach_component(r) r:setup({color = 'ff8040', alpha = 0.5})\n"
           "  o:attach_component(BoxShapeComponent())\n"
           "  o:finalize_setup() o:prepare_components()\n"
           "end");
}

struct FrameTimes {
    double update = 0, prerender = 0, render = 0;
};

template <class F>
double Milliseconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

FrameTimes MeasureFrames(lua_State* L, IDirect3DDevice9* device) {
    FrameTimes total;
    for (int frame = 0; frame < kFrames; ++frame) {
        g_input.mouse.x = static_cast<float>((frame * 17) % kWidth);
        g_input.mouse.y = static_cast<float>((frame * 11) % kHeight);
        total.update += Milliseconds([&] { Run(L, "scene:update(0.016)"); });
        total.prerender += Milliseconds([] { PrerenderScene(); });
        total.render += Milliseconds([&] {
            BeginScene();
            ClearScreen();
            Run(L, "scene:render()");
            FlushBatch(kAllBatchSlots);
            EndScene();
            device->Present(nullptr, nullptr, nullptr, nullptr);  // waits for the rasteriser
        });
    }
    return {total.update / kFrames, total.prerender / kFrames, total.render / kFrames};
}

}  // namespace

int main() {
    InitConfigDefaults();
    ComPtr<IDirect3DDevice9> device = CreateHeadlessDevice(kWidth, kHeight);
    if (!device) {
        std::fprintf(stderr, "no software device\n");
        return 1;
    }
    AttachRenderer(device.Get(), kWidth, kHeight);
    LuaCreateState();
    lua_State* L = LuaGetState();
    RegisterLuaApi();
    LuaBinder<BenchRectangle>::Register(L);
    std::printf("%8s %12s %14s %12s   (ms per frame, mean of %d frames)\n", "objects", "update", "prerender", "render",
                kFrames);
    for (const int objects : {1000, 5000, 10000}) {
        BuildScene(L, objects);
        const FrameTimes times = MeasureFrames(L, device.Get());
        std::printf("%8d %12.3f %14.3f %12.3f\n", objects, times.update, times.prerender, times.render);
        Run(L, "scene = nil layer = nil collectgarbage('collect')");
        LuaDeleteDroppedObjects(L);
    }
    LuaCloseState();
    DetachRenderer();
    return 0;
}
