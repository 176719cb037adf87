#pragma once
// A script state with the engine's API registered, a drawable test component, and a
// frame driver that queues input the way the window does and runs the scene's update.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "core/input.h"
#include "graphics/sprite_batch.h"
#include "script/api/lua_api.h"
#include "script/components/visual_component.h"
#include "script/lua_base.h"
#include "script/lua_binder.h"
#include "script/scene/scene.h"
#include "script/scene_walk.h"

// A plain rectangle of the definition's "w" and "h", drawn in its colour at its
// effective alpha.
class TestVisual : public VisualComponent {
public:
    static constexpr const char* kClassName = "TestVisual";
    static inline int rendered = 0;

    TestVisual() { id = "visual"; }
    void setup(lua_State* L) override {
        VisualComponent::setup(L);
        width = static_cast<float>(LuaTableGetNumber(L, "w"));
        height = static_cast<float>(LuaTableGetNumber(L, "h"));
        centerX = static_cast<float>(LuaTableGetNumber(L, "cx"));
        centerY = static_cast<float>(LuaTableGetNumber(L, "cy"));
    }
    void render() override {
        ++rendered;
        updateAbsoluteValues();
        beginRender();
        const Transform t = effectiveTransform();
        DrawTexturedQuad(t.x, t.y, 0, width, height, 0, 0, 0, 0, nullptr, t.angle, effectiveAlpha(), t.scale_x,
                         t.scale_y, color, centerX, centerY, 0, 0, 0, 0);
        endRender();
    }
};

struct QueuedEvent {
    int type, value, x, y;
};

class SceneTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        g_config.create_log = true;  // fatal texts reach stderr only with the log on
        g_input = InputState{};
        TestVisual::rendered = 0;
        LuaCreateState();
        L = LuaGetState();
        RegisterLuaApi();
        LuaBinder<TestVisual>::Register(L);
    }
    void TearDown() override {
        LuaCloseState();
        g_input = InputState{};
        InitConfigDefaults();
    }

    void Run(const std::string& code) { ASSERT_EQ(luaL_dostring(L, code.c_str()), 0) << lua_tostring(L, -1); }
    std::string Global(const char* name) {
        lua_getglobal(L, name);
        std::string text = lua_isstring(L, -1) ? lua_tostring(L, -1) : luaL_typename(L, -1);
        lua_pop(L, 1);
        return text;
    }
    // The value of a script expression as text (tostring of a single result).
    std::string Text(const std::string& expression) {
        Run("text_result = " + expression);
        return Global("text_result");
    }
    double Number(const char* name) {
        lua_getglobal(L, name);
        const double number = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return number;
    }
    // The native object behind a global object table.
    template <class T>
    T* Native(const char* name) {
        lua_getglobal(L, name);
        lua_rawgeti(L, -1, 0);
        T* object = dynamic_cast<T*>(LuaToObject(L, -1));
        lua_pop(L, 2);
        return object;
    }
    // One frame: the scene is drawn (so hit tests see what the script last set), the
    // events go through the input queue, the mouse ends at (mouseX, mouseY), then
    // `scene:update(dt)`.
    void Frame(const std::vector<QueuedEvent>& events, float mouseX, float mouseY, float dt = 0.1f) {
        PrerenderScene();
        Run("scene:render()");
        for (const QueuedEvent& e : events) QueueInputEvent(e.type, e.value, e.x, e.y, false);
        QueueInputEvent(kInputMouseMove, 0, static_cast<int>(mouseX), static_cast<int>(mouseY), false);
        SwapInputQueues();
        ProcessInputEvents();
        Run("scene:update(" + std::to_string(dt) + ")");
    }
    void Idle(float mouseX, float mouseY, float dt = 0.1f) { Frame({}, mouseX, mouseY, dt); }
    void Click(float x, float y) {
        Frame({{kInputButtonDown, 1, static_cast<int>(x), static_cast<int>(y)}}, x, y);
        Frame({{kInputButtonUp, 1, static_cast<int>(x), static_cast<int>(y)}}, x, y);
    }

    lua_State* L = nullptr;
};

// Script helpers every scene test uses: `log_line` collects what fired, `make_object`
// builds an object with a box shape of the given size at (x, y) on a layer.
inline const char* kSceneHelpers = R"(
fired = {}
function note(text) fired[#fired + 1] = text end
function fired_text() return table.concat(fired, ' ') end
function make_layer(scene, id)
  local layer = Layer()
  scene:attach_layer(layer)
  layer:setup({id = id})
  layer:finalize_setup()
  return layer
end
function make_object(layer, id, x, y, w, h, callbacks, definition)
  local object = GameObject()
  for name, f in pairs(callbacks or {}) do object[name] = f end
  layer:attach_object(object)
  local def = definition or {}
  def.id = id def.x = x def.y = y
  object:setup(def)
  local shape = BoxShapeComponent()
  object:attach_component(shape)
  shape:setup({w = w, h = h})
  object:finalize_setup()
  return object, shape
end
scene = Scene()
)";

// The scene tests' usual start: the helpers above and a scene in `scene`.
class ScriptedSceneTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        Run(kSceneHelpers);
    }
};
