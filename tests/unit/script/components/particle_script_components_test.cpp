#include <gtest/gtest.h>

#include "core/crash.h"
#include "unit/script/api/gfx_script_fixture.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu, kRed = 0xFFFF0000u;

class ParticleComponentTest : public GfxScriptTest {
protected:
    void SetUp() override {
        GfxScriptTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        WriteImage("dot.png", 4, 4, 0xFFFFFF);
        // One still particle that lives a second, released once.
        dir_.Write("once.txt", "(generator (texture dot) (particle_limit 4) (burst 0 1) (looped 0))");
        dir_.Write("forever.txt", "(generator (texture dot) (particle_limit 4) (flow 0 2))");
        ASSERT_EQ(Run("scene = Scene() layer = Layer() scene:attach_layer(layer) finished = 0 kills = 0 "
                      "function layer.done(self, component) finished = finished + 1 end "
                      "obj = GameObject() obj:setup{x = 10, y = 10} layer:attach_object(obj) "
                      "obj.on_kill = function() kills = kills + 1 end obj:finalize_setup() "
                      "target = gfx_create_bitmap(128, 128, true)"),
                  "");
    }
    void Frames(int count, float dt) {
        for (int i = 0; i < count; ++i) ASSERT_EQ(Run("scene:update(" + std::to_string(dt) + ")"), "");
    }
};

TEST_F(ParticleComponentTest, ReportsFinishedOnceAcrossRestarts) {
    ASSERT_EQ(Run("p = ParticleComponent() p:setup{particle = 'once.txt', on_finished = 'done'} "
                  "own = 0 function p.on_finished(self) own = own + 1 end obj:attach_component(p) p:finalize_setup()"),
              "");
    Frames(2, 0.5f);
    EXPECT_EQ(Eval("p:finished(), finished, own"), "false 0 0");
    Frames(4, 0.5f);
    EXPECT_EQ(Eval("p:finished(), finished, own"), "true 1 1");
    ASSERT_EQ(Run("p:restart()"), "");
    EXPECT_EQ(Eval("p:finished()"), "false");
    Frames(6, 0.5f);
    EXPECT_EQ(Eval("p:finished(), finished, own"), "true 1 1");
    ASSERT_EQ(Run("p:start()"), "");
    EXPECT_EQ(Eval("p:finished()"), "false");
}

TEST_F(ParticleComponentTest, StopLetsParticlesDieOutOrClearsThem) {
    ASSERT_EQ(Run("p = ParticleComponent() p:setup{particle = 'forever.txt'} obj:attach_component(p)"), "");
    Frames(3, 0.5f);
    EXPECT_EQ(Eval("p:finished()"), "false");
    ASSERT_EQ(Run("p:stop()"), "");
    Frames(1, 0.1f);
    EXPECT_EQ(Eval("p:finished()"), "false") << "live particles stay";
    ASSERT_EQ(Run("p:stop(true)"), "");
    Frames(1, 0.1f);
    EXPECT_EQ(Eval("p:finished()"), "true");
    Frames(10, 0.5f);
    EXPECT_EQ(Eval("finished"), "0") << "no on_finished asked for";
}

TEST_F(ParticleComponentTest, ALoopedEffectNeverFinishes) {
    ASSERT_EQ(Run("p = ParticleComponent() p:setup{particle = 'forever.txt', on_finished = 'done'} "
                  "obj:attach_component(p)"),
              "");
    Frames(40, 0.5f);
    EXPECT_EQ(Eval("p:finished(), finished"), "false 0");
}

TEST_F(ParticleComponentTest, KillsItsObjectOnce) {
    ASSERT_EQ(Run("p = ParticleComponent() p:setup{particle = 'once.txt', kill_when_finished = true} "
                  "obj:attach_component(p)"),
              "");
    Frames(8, 0.5f);
    EXPECT_EQ(Eval("kills, #layer:objects()"), "1 0");
    // Killed earlier in the same update (by its script component), the object is not
    // killed again by an effect that finishes then.
    dir_.Write("empty_once.txt", "(generator (texture dot) (particle_limit 1) (looped 0))");
    ASSERT_EQ(Run("o = GameObject() layer:attach_object(o) o.on_kill = function() kills = kills + 1 end o:finalize_setup() "
                  "s = ScriptComponent() function s.on_update(self) self:object():kill() end o:attach_component(s) "
                  "s:finalize_setup() q = ParticleComponent() q:setup{particle = 'empty_once.txt'} "
                  "q:set_kill_when_finished(true) o:attach_component(q)"),
              "");
    Frames(1, 2);
    EXPECT_EQ(Eval("kills, #layer:objects()"), "2 0");
}

TEST_F(ParticleComponentTest, EmittersFollowTheOwnersTransform) {
    dir_.Write("still.txt", "(generator (texture dot) (particle_limit 1) (burst 0 1) (particle_alpha [0 1] [10 1]))");
    ASSERT_EQ(Run("obj:set_xy(100, 50) obj:set_scale(2) p = ParticleComponent() p:setup{particle = 'still.txt', x = 10} "
                  "obj:attach_component(p)"),
              "");
    Frames(1, 0.1f);
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 120, 50), kWhite) << "own x 10 at scale 2 from (100, 50)";
    EXPECT_EQ(Pixel("target", 110, 50), 0u);
}

TEST_F(ParticleComponentTest, BareAndBrokenParticleComponents) {
    ASSERT_EQ(Run("bare = ParticleComponent() obj:attach_component(bare) bare:stop(true) bare:start() bare:restart()"),
              "");
    Frames(2, 0.5f);
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Eval("bare:finished()"), "false");
    EXPECT_EXIT(Fatal([&] { Run("ParticleComponent():setup{}"); }), testing::ExitedWithCode(kExitFatal),
                "Particle component is missing particle FX definition \\(nil\\)");
    dir_.Write("empty.txt", "(effect)");
    EXPECT_EXIT(Fatal([&] { Run("ParticleComponent():setup{particle = 'empty.txt'}"); }),
                testing::ExitedWithCode(kExitFatal), "missing particle FX definition \\(empty.txt\\)");
    EXPECT_EXIT(Fatal([&] { Run("bare:set_kill_when_finished()"); }), testing::ExitedWithCode(kExitFatal),
                "Wrong argument for function");
}

// --- ScriptComponent ----------------------------------------------------------------------

TEST_F(ParticleComponentTest, ScriptComponentCallsOnlyWhatItsTableDefines) {
    ASSERT_EQ(Run("calls = 0 s = ScriptComponent() s:setup{blending = 'add'} "
                  "function s.on_update(self, dt) calls = calls + dt end obj:attach_component(s) s:finalize_setup()"),
              "");
    Frames(2, 0.25f);
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Eval("calls"), "0.5");
    EXPECT_EQ(Pixel("target", 10, 10), 0u);
    ASSERT_EQ(Run("function s.on_render(self) local x, y = self:xy_abs() gfx_render_box(x, y, 4, 4, 1, 0, 'ff0000') end "
                  "s:finalize_setup()"),
              "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 11, 11), kRed);
}

TEST_F(ParticleComponentTest, ScriptComponentMayKillItsObject) {
    ASSERT_EQ(Run("s = ScriptComponent() function s.on_update(self) self:object():kill() end obj:attach_component(s) "
                  "s:finalize_setup() bare = ScriptComponent() obj:attach_component(bare)"),
              "");
    Frames(1, 0.1f);
    EXPECT_EQ(Eval("kills, #layer:objects()"), "1 0");
    Frames(2, 0.1f);
}

}  // namespace
