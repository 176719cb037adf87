// What a frame of the scene graph leaves behind in the script heap once it runs steadily.
#include "scene_fixture.h"

namespace {

class SteadyStateTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        Run(kSceneHelpers);
    }
    // The script heap in bytes, the collector stopped so nothing hides a growth.
    std::size_t HeapBytes() {
        return static_cast<std::size_t>(lua_gc(L, LUA_GCCOUNT, 0)) * 1024 + static_cast<std::size_t>(lua_gc(L, LUA_GCCOUNTB, 0));
    }
    // scene:update(dt) called from here: a chunk compiled per frame would allocate itself.
    void Update(float dt) {
        lua_getglobal(L, "scene");
        lua_getfield(L, -1, "update");
        lua_insert(L, -2);
        lua_pushnumber(L, dt);
        ASSERT_EQ(lua_pcall(L, 2, 0, 0), 0) << lua_tostring(L, -1);
    }
};

TEST_F(SteadyStateTest, UpdatingObjectsWithCallbacksAllocatesNothing) {
    Run(R"(
scene = Scene()
local layer = make_layer(scene, 'l')
for i = 1, 50 do
  local object = make_object(layer, 'o' .. i, i, i, 10, 10)
  object.on_update = function(self, dt) self.t = (self.t or 0) + dt end
  object.tick = function(self) self.ticks = (self.ticks or 0) + 1 end
  object:schedule_call('tick', 0.05, true)
end
collectgarbage('collect')
collectgarbage('stop')
)");
    Update(0.1f);
    const std::size_t before = HeapBytes();
    for (int frame = 0; frame < 20; ++frame) Update(0.1f);
    EXPECT_EQ(HeapBytes(), before);
}

TEST_F(SteadyStateTest, ObjectsOfAClassShareTheirMethods) {
    Run("a, b = GameObject(), GameObject() same = tostring(a.setup == b.setup and a.kill == b.kill)");
    EXPECT_EQ(Global("same"), "true");
}

}  // namespace
