#include <gtest/gtest.h>

#include "core/crash.h"
#include "effects/collision_mask_registry.h"
#include "gfx_script_fixture.h"
#include "script/api/lua_api_effects.h"

namespace {

class EffectsApiTest : public GfxScriptTest {
protected:
    void SetUp() override {
        GfxScriptTest::SetUp();
        WriteImage("dot.png", 8, 8, 0xFFFFFF);
        dir_.Write("fx.txt", "(generator (texture dot) (particle_limit 8) (burst 0 2) (looped 0))");
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 31 * 4; ++i) pixels.insert(pixels.end(), {255, 0, 0, 255});
        dir_.Write("bar.png", EncodeImage(FixtureFormat::Png, 31, 4, 4, pixels));
    }
    void TearDown() override {
        ForgetEffectHandles();
        GfxScriptTest::TearDown();
    }
};

TEST_F(EffectsApiTest, AnEffectRunsUntilItsParticlesDie) {
    ASSERT_EQ(Run("fx = gfx_particle_start('fx.txt', 5, 6)"), "");
    EXPECT_EQ(Eval("type(fx)"), "userdata");
    EXPECT_EQ(Eval("gfx_particle_start()"), "nil");
    EXPECT_EQ(Eval("gfx_particle_update(fx, 0.5)"), "true");
    EXPECT_EQ(Run("gfx_particle_set_pos(fx, 1, 2) gfx_particle_set_angle(fx, 45) gfx_particle_render(fx)"), "");
    EXPECT_EQ(Run("gfx_particle_stop(fx)"), "");
    EXPECT_EQ(Eval("gfx_particle_update(fx, 0.5)"), "true") << "stop leaves the live particles to die out";
    EXPECT_EQ(Run("gfx_particle_stop(fx, true)"), "");
    EXPECT_EQ(Eval("gfx_particle_update(fx, 0.5)"), "false");
    EXPECT_EQ(Run("gfx_particle_restart(fx)"), "");
    EXPECT_EQ(Eval("gfx_particle_update(fx, 0.5)"), "true");
    EXPECT_EQ(Run("gfx_particle_release(fx)"), "");
}

TEST_F(EffectsApiTest, ReleasedStaleAndForeignHandlesReadAsNull) {
    ASSERT_EQ(Run("fx = gfx_particle_start('fx.txt') mask = gfx_collision_mask_load('bar') bitmap = "
                  "gfx_create_bitmap(4, 4) gfx_particle_release(fx) gfx_collision_mask_release(mask)"),
              "");
    const char* particleCalls[] = {"restart", "stop", "release", "update", "render", "set_pos", "set_angle"};
    for (const char* call : particleCalls)
        for (const char* handle : {"fx", "bitmap", "nil", "{}"})
            EXPECT_EQ(Run(std::string("gfx_particle_") + call + "(" + handle + ")"),
                      std::string("gfx_particle_") + call + "(NULL)")
                << handle;
    for (const char* call : {"release(mask)", "size(mask)", "size(bitmap)", "test(0, 0, mask)", "test(0, 0, fx)"})
        EXPECT_EQ(Run(std::string("gfx_collision_mask_") + call).find("(NULL)") != std::string::npos, true) << call;
    EXPECT_EQ(CollisionMaskCount(), 0u);
}

// The allocator hands a freed system's memory to the next one: its handle must not follow.
TEST_F(EffectsApiTest, AHandleIsNeverReusedByTheNextObject) {
    ASSERT_EQ(Run("handles, seen = {}, {} "
                  "for i = 1, 20 do handles[i] = {} end "
                  "for i = 1, 20 do "
                  "  handles[i].fx = gfx_particle_start('fx.txt') gfx_particle_release(handles[i].fx) "
                  "  handles[i].mask = gfx_collision_mask_load('bar') gfx_collision_mask_release(handles[i].mask) "
                  "end "
                  "for i = 1, 20 do seen[tostring(handles[i].fx)] = true seen[tostring(handles[i].mask)] = true end "
                  "count = 0 for _ in pairs(seen) do count = count + 1 end "
                  "fx = gfx_particle_start('fx.txt') mask = gfx_collision_mask_load('bar')"),
              "");
    EXPECT_EQ(Eval("count"), "40");
    for (int i = 1; i <= 20; i += 19) {
        const std::string old = "handles[" + std::to_string(i) + "]";
        EXPECT_EQ(Run("gfx_particle_release(" + old + ".fx)"), "gfx_particle_release(NULL)");
        EXPECT_EQ(Run("gfx_collision_mask_release(" + old + ".mask)"), "gfx_collision_mask_release(NULL)");
    }
    EXPECT_EQ(Eval("gfx_particle_update(fx, 0.1)"), "true") << "the stale releases left the new system alone";
    EXPECT_EQ(Eval("gfx_collision_mask_size(mask)"), "31 4");
    EXPECT_EQ(CollisionMaskCount(), 1u);
}

TEST_F(EffectsApiTest, MasksLoadSizeAndTest) {
    ASSERT_EQ(
        Run("centred = gfx_collision_mask_load('bar') corner = gfx_collision_mask_load('bar.png', 0, 0, 'green')"), "");
    EXPECT_EQ(Eval("gfx_collision_mask_size(centred)"), "31 4");
    EXPECT_EQ(CollisionMaskCount(), 1u);
    // Centred: the hotspot is (15, 2); the first channel word asked for is kept (red).
    EXPECT_EQ(Eval("gfx_collision_mask_test(100 - 15, 100, centred, 100, 100)"), "true");
    EXPECT_EQ(Eval("gfx_collision_mask_test(100 - 16, 100, centred, 100, 100)"), "false");
    EXPECT_EQ(Eval("gfx_collision_mask_test(100 + 30, 100, corner, 100, 100)"), "true");
    EXPECT_EQ(Eval("gfx_collision_mask_test(100, 100 + 30, corner, 100, 100, 90)"), "true");
    EXPECT_EQ(Eval("gfx_collision_mask_test(100 + 61, 100, corner, 100, 100, 0, 2)"), "true");
    EXPECT_EQ(Eval("gfx_collision_mask_test(1e30, 100, corner, 100, 100)"), "false");
    EXPECT_EQ(Run("gfx_collision_mask_load()"), "Can't load collision mask from nil");
    EXPECT_EQ(Run("gfx_collision_mask_release(centred) gfx_collision_mask_release(corner)"), "");
    EXPECT_EQ(CollisionMaskCount(), 0u);
}

TEST_F(EffectsApiTest, ANewScriptStateFreesWhatTheOldOneHeld) {
    ASSERT_EQ(Run("fx = gfx_particle_start('fx.txt') mask = gfx_collision_mask_load('bar')"), "");
    EXPECT_EQ(CollisionMaskCount(), 1u);
    ForgetEffectHandles();
    EXPECT_EQ(CollisionMaskCount(), 0u);
    EXPECT_EQ(Run("gfx_particle_render(fx)"), "gfx_particle_render(NULL)");
}

}  // namespace
