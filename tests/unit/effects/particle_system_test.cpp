#include <gmock/gmock.h>

#include <chrono>
#include <cmath>
#include <limits>

#include "graphics/render_d3d.h"
#include "particle_fixture.h"

namespace {

struct CurveCase {
    const char* keys;
    int count;
    int lastTime;
    float lastValue[3];
    float life;
};

TEST_F(ParticleTest, CurvesFromKeyLists) {
    const CurveCase cases[] = {
        {"(particle_alpha 0 1)", 1, 0, {1, 0, 0}, 1},
        {"(particle_alpha [0 1] [0.5 0])", 2, 500, {0, 0, 0}, 0.5f},
        {"(particle_alpha [0 1] [0 0.25])", 1, 0, {0.25f, 0, 0}, 1},
        {"(particle_alpha [[0 1] [0.25 2]])", 2, 250, {2, 0, 0}, 0.25f},
        {"(particle_alpha 0.2 1) (PARTICLE_ALPHA 0.1 3)", 2, 200, {1, 0, 0}, 0.2f},
        {"(particle_alpha [0 0] [0.01 1] [0.02 2] [0.03 3] [0.04 4] [0.05 5] [0.06 6] [0.07 7] [0.08 8] "
         "[0.09 9] [0.1 10] [0.11 11] [0.12 12] [0.13 13] [0.14 14] [0.15 15] [0.16 16])",
         16,
         150,
         {15, 0, 0},
         0.15f},
        {"(particle_alpha nan 1)", 1, 0, {1, 0, 0}, 1},
    };
    for (const CurveCase& c : cases) {
        const ParticleSystemPtr system = LoadEmitter(c.keys);
        ASSERT_TRUE(system) << c.keys;
        const ParticleEmitter& e = First(*system);
        ASSERT_EQ(e.alpha.count, c.count) << c.keys;
        const ParticleKey& last = e.alpha.keys[e.alpha.count - 1];
        EXPECT_EQ(last.time, c.lastTime) << c.keys;
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(last.value[i], c.lastValue[i]) << c.keys;
        EXPECT_FLOAT_EQ(e.life, c.life) << c.keys;
    }
}

TEST_F(ParticleTest, MissingCurveValuesRepeatTheOneBefore) {
    const ParticleSystemPtr system =
        LoadEmitter("(starting_velocity 0 5) (starting_direction 0 -10 10) (particle_color 0 1 0.5) (flow 2 9)");
    const ParticleEmitter& e = First(*system);
    const auto values = [](const ParticleCurve& c) { return std::vector<float>(c.keys[0].value, c.keys[0].value + 3); };
    EXPECT_EQ(values(e.velocity), (std::vector<float>{5, 5, 0}));
    EXPECT_EQ(values(e.direction), (std::vector<float>{-10, 10, 0}));
    EXPECT_EQ(values(e.color), (std::vector<float>{1, 0.5f, 0.5f}));
    EXPECT_FLOAT_EQ(e.cycle, 2);
}

TEST_F(ParticleTest, DefaultsOfAnEmitter) {
    const ParticleSystemPtr system = LoadFile("(generator (texture dot) (particle_limit 10))");
    const ParticleEmitter& e = First(*system);
    for (const ParticleCurve* curve : {&e.alpha, &e.color, &e.scale}) {
        ASSERT_EQ(curve->count, 1);
        EXPECT_EQ(curve->keys[0].time, 0);
        EXPECT_EQ(std::vector<float>(curve->keys[0].value, curve->keys[0].value + 3), (std::vector<float>{1, 1, 1}));
    }
    EXPECT_FLOAT_EQ(e.life, 1);
    EXPECT_FLOAT_EQ(e.cycle, 1);
    EXPECT_EQ(e.explosionParts, 5);
    ASSERT_EQ(e.rects.size(), 1u);
    EXPECT_EQ(e.rects[0].u1, 1);
    EXPECT_EQ(e.rects[0].pivotX, 4);
    EXPECT_TRUE(e.loaded);
    EXPECT_TRUE(e.looped);
    EXPECT_TRUE(e.emitting);  // a loaded effect runs without a restart
    EXPECT_EQ(e.blending, kParticleAlpha);
}

TEST_F(ParticleTest, GeneratorsInlineAndByReference) {
    dir_.Write("spark.txt", "(texture dot) (particle_limit 3) (blending add)");
    const ParticleSystemPtr system = LoadFile(
        "(generator (texture dot) (particle_limit 1))\n(other 1)\nword\n(GENERATOR spark.txt)\n"
        "(generator (texture dot) (particle_limit 2) (blending subtr) (blending bogus))");
    ASSERT_EQ(system->emitters.size(), 3u);
    EXPECT_EQ(system->emitters[0]->limit, 1);
    EXPECT_EQ(system->emitters[1]->limit, 3);
    EXPECT_EQ(system->emitters[1]->blending, kParticleAdd);
    EXPECT_EQ(system->emitters[2]->blending, kParticleSubtract);
    EXPECT_FALSE(LoadFile("(effect (texture dot))"));
}

TEST_F(ParticleTest, ASecondTextureGivesTheFirstBack) {
    WriteImage("other.png", 4, 4, [](int, int) { return 0xFF0000FFu; });
    const ParticleSystemPtr system = LoadEmitter("(texture other)");
    const auto refs = [](const char* suffix) {
        for (const auto& t : AllTextures())
            if (t->name.ends_with(suffix)) return t->refCount;
        return -1;
    };
    EXPECT_EQ(refs("dot.png"), 0);
    EXPECT_EQ(refs("other.png"), 1);
    EXPECT_EQ(First(*system).rects[0].pivotX, 2);
}

TEST_F(ParticleTest, SpritesAndCoordsMakeRects) {
    WriteImage("sheet.png", 16, 8, [](int, int) { return 0xFFFFFFFFu; });
    dir_.Write("sheet.txt", "a 0 0 8 8 4 4\nb 8 0 8 8 1 2\n");
    const ParticleSystemPtr system =
        LoadFile("(generator (texture sheet) (particle_limit 1) (sprite b a) (coords 0 0 0.5 0.5))");
    const std::vector<ParticleRect>& rects = First(*system).rects;
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_FLOAT_EQ(rects[0].u0, 0.5f);
    EXPECT_FLOAT_EQ(rects[0].u1, 1);
    EXPECT_FLOAT_EQ(rects[0].v1, 1);
    EXPECT_FLOAT_EQ(rects[0].pivotY, 2);
    EXPECT_FLOAT_EQ(rects[1].u1, 0.5f);
    EXPECT_FLOAT_EQ(rects[2].pivotX, 4);  // half of 0.5 x 16
    EXPECT_FLOAT_EQ(rects[2].pivotY, 2);
}

struct FatalCase {
    const char* file;
    const char* message;
};

TEST_F(ParticleTest, FileErrorsAreFatal) {
    const FatalCase cases[] = {
        {"(generator (particle_limit 5))", "Texture is not initialized!"},
        {"(generator (coords 0 0 1 1) (texture dot))", "Texture is not initialized!"},
        {"(generator (sprite main) (texture dot))", "Texture is not initialized!"},
        {"(generator (texture dot) (sprite nope))", "Can't find sptite \"nope\" in texture \"dot.png\"!"},
        {"(generator gone.txt)", "Parcon Error: Cannot find file gone.txt!"},
        {"(generator (texture dot) (particle_limit 2147483648))", "Particle limit 2147483647 is out of range"},
        {"(generator (texture dot) (particle_limit -1))", "Particle limit -1 is out of range"},
    };
    for (const FatalCase& c : cases)
        EXPECT_EXIT(Fatal([&] { LoadFile(c.file); }), testing::ExitedWithCode(kExitFatal),
                    testing::HasSubstr(c.message))
            << c.file;
    EXPECT_EXIT(Fatal([] { ParticleSystem_Load("missing.txt"); }), testing::ExitedWithCode(kExitFatal),
                "Parcon Error: Cannot find file missing.txt!");
}

TEST_F(ParticleTest, BurstsAtEveryWrapOfALoopedCycle) {
    for (const bool looped : {true, false}) {
        const ParticleSystemPtr system = LoadEmitter(std::string("(burst [0 5] [2 0]) (particle_alpha [0 1] [10 1])") +
                                                     (looped ? "" : " (looped 0)"));
        ParticleEmitter& e = First(*system);
        std::vector<int> live;
        for (int step = 0; step < 9; ++step) {
            ParticleSystem_Update(*system, 0.5f);
            live.push_back(LiveCount(e));
        }
        EXPECT_EQ(live, looped ? (std::vector<int>{5, 5, 5, 5, 10, 10, 10, 10, 15})
                               : (std::vector<int>{5, 5, 5, 5, 5, 5, 5, 5, 5}))
            << "looped " << looped;
        EXPECT_EQ(ParticleSystem_IsEmitting(*system), looped);
    }
}

TEST_F(ParticleTest, FlowSpawnsWhatIsDueUpToTheFreeSlots) {
    for (const int limit : {100, 4}) {
        const ParticleSystemPtr system =
            LoadFile("(generator (texture dot) (flow 0 10) (particle_alpha [0 1] [10 1]) (particle_limit " +
                     std::to_string(limit) + "))");
        ParticleEmitter& e = First(*system);
        std::vector<int> live;
        for (int step = 0; step < 4; ++step) {
            ParticleSystem_Update(*system, 0.25f);
            live.push_back(LiveCount(e));
        }
        EXPECT_EQ(live, limit == 100 ? (std::vector<int>{3, 5, 8, 10}) : (std::vector<int>{3, 4, 4, 4})) << limit;
    }
}

TEST_F(ParticleTest, FinishedAfterTheUpdateInWhichTheLastParticleDied) {
    const ParticleSystemPtr system = LoadEmitter("(burst 0 3) (looped 0)");
    std::vector<bool> emitting, finished;
    for (int step = 0; step < 6; ++step) {
        ParticleSystem_Update(*system, 0.5f);
        emitting.push_back(ParticleSystem_IsEmitting(*system));
        finished.push_back(ParticleSystem_IsFinished(*system));
    }
    EXPECT_EQ(emitting, (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_EQ(finished, (std::vector<bool>{false, false, false, false, true, true}));
    ParticleSystem_Restart(*system);
    EXPECT_TRUE(ParticleSystem_IsEmitting(*system));
    ParticleSystem_Update(*system, 0.5f);
    EXPECT_EQ(LiveCount(First(*system)), 3);
}

TEST_F(ParticleTest, DirectionZeroGoesUp) {
    const ParticleSystemPtr system = LoadEmitter("(starting_velocity 0 100) (starting_direction 0 0) (burst 0 4)");
    ParticleSystem_SetPosition(*system, 10, 20);
    ParticleSystem_Update(*system, 0.1f);
    const ParticleEmitter& e = First(*system);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(e.particles[i].vx, 0, 1e-4);
        EXPECT_FLOAT_EQ(e.particles[i].vy, -100);
        EXPECT_EQ(e.particles[i].x, 10);
    }
    // New particles are born at the new position; the live ones stay.
    ParticleSystem_SetPosition(*system, 50, 50);
    ParticleSystem_Update(*system, 0.1f);
    EXPECT_NEAR(e.particles[0].y, 10, 1e-4);
    EXPECT_EQ(e.particles[0].x, 10);
}

TEST_F(ParticleTest, ShapeMaskSpreadsSpawnPoints) {
    WriteImage("shape.png", 3, 3, [](int, int) { return 0xFFFFFFFFu; });
    WriteImage("half.png", 2, 1, [](int x, int) { return x == 0 ? 0xFF00FF00u : 0xFF0000FFu; });
    const ParticleSystemPtr system = LoadEmitter("(shape_mask SHAPE)");
    std::vector<std::pair<float, float>> points;
    for (const ShapePoint& p : First(*system).shapePoints) points.emplace_back(p.x, p.y);
    EXPECT_EQ(points, (std::vector<std::pair<float, float>>{
                          {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}));
    // Green is only in the left pixel, red only in the right one; 10 wide.
    const ParticleSystemPtr green = LoadEmitter("(shape_maskGreen half.png 10)");
    ASSERT_EQ(First(*green).shapePoints.size(), 1u);
    EXPECT_FLOAT_EQ(First(*green).shapePoints[0].x, -5);
    const ParticleSystemPtr red = LoadEmitter("(shape_mask half 10)");
    ASSERT_EQ(First(*red).shapePoints.size(), 1u);
    EXPECT_FLOAT_EQ(First(*red).shapePoints[0].x, 5);
}

// Values no effect should hold: each loads and then updates and draws in bounded time.
TEST_F(ParticleTest, HostileValuesStayBounded) {
    const char* cases[] = {
        "(flow 0 inf)",
        "(flow 0 -5)",
        "(flow 0 nan)",
        "(flow 0 1e-30)",
        "(flow 0 1e30)",
        "(burst 0 1e30)",
        "(burst nan 3)",
        "(burst 0 -1e30)",
        "(flow [0 10] [1e30 20])",
        "(starting_velocity 0 1e30)",
        "(gravity inf) (burst 0 9)",
        "(radial_acceleration nan) (burst 0 9)",
        "(particle_scale 0 1e30) (burst 0 9)",
        "(generator_angle nan) (burst 0 9)",
    };
    for (const char* keys : cases) {
        const ParticleSystemPtr system = LoadEmitter(keys);
        ParticleEmitter& e = First(*system);
        const auto start = std::chrono::steady_clock::now();
        for (int step = 0; step < 50; ++step) {
            ParticleSystem_Update(*system, 0.1f);
            ParticleSystem_Render(*system);
            ASSERT_LE(LiveCount(e), e.limit);
        }
        ParticleSystem_Update(*system, 1e30f);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << keys;
    }
}

TEST_F(ParticleTest, BadStepsAreIgnored) {
    const ParticleSystemPtr system = LoadEmitter("(flow 0 10)");
    ParticleEmitter& e = First(*system);
    ParticleSystem_Update(*system, 0.25f);
    for (const float dt : {-1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        ParticleSystem_Update(*system, dt);
    EXPECT_DOUBLE_EQ(e.time, 0.25);
    // A cycle shorter than a millisecond neither divides by zero nor stalls.
    e.cycle = 0.0004f;
    ParticleSystem_Update(*system, 0.25f);
    EXPECT_LT(e.time, e.cycle);
}

TEST_F(ParticleTest, AnHourOfLoopingKeepsItsPace) {
    const ParticleSystemPtr system = LoadEmitter("(flow [0 10] [2 10])");
    ParticleEmitter& e = First(*system);
    for (int frame = 0; frame < 60 * 60 * 60; ++frame) ParticleSystem_Update(*system, 1.0f / 60);
    EXPECT_LT(e.time, e.cycle);
    EXPECT_NEAR(LiveCount(e), 10, 1);
    EXPECT_NEAR(e.nextSpawn - e.time, 0.05, 0.051);
}

TEST_F(ParticleTest, AddAndSubtractPutBackTheBlendingTheyFound) {
    for (const char* blending : {"add", "subtr", "alpha"}) {
        const ParticleSystemPtr system = LoadEmitter(std::string("(burst 0 2) (blending ") + blending + ")");
        ParticleSystem_Update(*system, 0.1f);
        SetBlendMode(kBlendMax);  // as a component with max blending leaves it
        const BlendState before = g_renderer.blend;
        ParticleSystem_Render(*system);
        const BlendState after = g_renderer.blend;
        EXPECT_EQ(after.src, before.src) << blending;
        EXPECT_EQ(after.dst, before.dst) << blending;
        EXPECT_EQ(after.equation, before.equation) << blending;
        EXPECT_EQ(after.enabled, before.enabled) << blending;
        SetDefaultBlendState();
    }
}

TEST_F(ParticleTest, AdditiveParticlesBrightenWhatIsBelow) {
    Texture* target = CreateBlankTexture(16, 16, 8, 8, true, false, true, false, false);
    ASSERT_NE(target, nullptr);
    const ParticleSystemPtr system = LoadEmitter("(burst 0 1) (blending add) (particle_alpha 0 0.5)");
    ParticleSystem_SetPosition(*system, 8, 8);
    ParticleSystem_Update(*system, 0.01f);
    ASSERT_TRUE(BeginRenderToTexture(target, 0xFF400000u));
    ParticleSystem_Render(*system);
    EndRenderToTexture();
    const uint32_t centre = TexturePixel(target->deviceTexture, 8, 8);
    EXPECT_NEAR(static_cast<int>((centre >> 16) & 0xFF), 0x40 + 0x80, 2);
    EXPECT_NEAR(static_cast<int>((centre >> 8) & 0xFF), 0x80, 2);
    EXPECT_EQ(TexturePixel(target->deviceTexture, 1, 1), 0xFF400000u);
}

TEST_F(ParticleTest, DrawnThroughTheSystemTransform) {
    Texture* target = CreateBlankTexture(32, 32, 16, 16, true, false, true, false, false);
    ASSERT_NE(target, nullptr);
    const ParticleSystemPtr system = LoadEmitter("(burst 0 1) (particle_scale 0 0.25)");  // 2 x 2 pixels
    ParticleSystem_SetPosition(*system, 2, 0);
    ParticleSystem_Update(*system, 0.01f);
    ParticleSystem_SetTransform(*system, 16, 16, 90, 3, 3);  // (2, 0) -> (6, 0) -> (0, 6) -> (16, 22)
    ASSERT_TRUE(BeginRenderToTexture(target, 0));
    ParticleSystem_Render(*system);
    EndRenderToTexture();
    EXPECT_EQ(TexturePixel(target->deviceTexture, 16, 22), 0xFFFFFFFFu);
    EXPECT_EQ(TexturePixel(target->deviceTexture, 22, 16), 0u);
}

}  // namespace
