// A script error that escapes a scene walk (a native step failing mid-walk, as an
// exhausted allocator does) lands in the script's pcall, xpcall or coroutine.resume: the
// walks it jumped out of are closed there, so later kills still delete their objects.
#include <utility>

#include "scene_fixture.h"

namespace {

// Raises from inside the object's update once armed, on the thread that armed it (a
// coroutine's own, in there): the error passes through the layer's and the object's
// open walks.
class RaisingVisual : public TestVisual {
public:
    static constexpr const char* kClassName = "RaisingVisual";
    static inline lua_State* raiseOn = nullptr;
    static int arm(lua_State* L) {
        raiseOn = L;
        return 0;
    }
    void update(float) override {
        if (lua_State* L = std::exchange(raiseOn, nullptr)) luaL_error(L, "failed inside the walk");
    }
};

class EscapedErrors : public ScriptedSceneTest {
protected:
    void SetUp() override {
        ScriptedSceneTest::SetUp();
        RaisingVisual::raiseOn = nullptr;
        LuaBinder<RaisingVisual>::Register(L);
        lua_register(L, "arm_raise", RaisingVisual::arm);
        Run(R"(
          layer = make_layer(scene, 'main')
          victim = make_object(layer, 'victim', 0, 0, 10, 10, {
            on_destroy = function(self) note('destroyed in ' .. self:layer():id()) end})
          local failing = make_object(layer, 'failing', 0, 0, 10, 10)
          failing:attach_component(RaisingVisual())
          failing:schedule_call('tick', 0, true)
          function failing:tick() note('tick') end
        )");
    }
};

TEST_F(EscapedErrors, KillsStillDeleteAfterAnErrorEscapedTheUpdate) {
    const struct {
        const char* name;
        const char* entry;
    } landings[] = {
        {"pcall", "arm_raise() pcall(scene.update, scene, 0.1)"},
        {"xpcall", "arm_raise() xpcall(function() scene:update(0.1) end, function(e) return e end)"},
        {"coroutine", "coroutine.resume(coroutine.create(function() arm_raise() scene:update(0.1) end))"},
    };
    for (const auto& landing : landings) {
        SCOPED_TRACE(landing.name);
        Run(landing.entry);
        EXPECT_FALSE(SceneWalk::active());
        Run("failing = layer:object('failing') failing:cancel_all_scheduled_calls()");
        Run("failing:schedule_call('tick', 0, true)");
        EXPECT_EQ(Text("#failing:list_scheduled_calls()"), "1");
        Run("scene:update(0.1)");
    }
    Run("fired = {} victim:kill() scene:update(0.1)");
    EXPECT_EQ(Text("fired_text()"), "tick destroyed in main");
    EXPECT_EQ(Text("#layer:objects()"), "1");
}

TEST_F(EscapedErrors, TheErrorStillReachesTheScript) {
    Run("arm_raise() ok, message = pcall(scene.update, scene, 0.1)");
    EXPECT_EQ(Text("tostring(ok)"), "false");
    EXPECT_NE(Text("message").find("failed inside the walk"), std::string::npos);
}

}  // namespace
