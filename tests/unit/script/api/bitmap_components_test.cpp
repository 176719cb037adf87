#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/crash.h"
#include "gfx_script_fixture.h"
#include "graphics/render.h"
#include "script/components/animated_bitmap_component.h"
#include "script/components/animated_grid_component.h"
#include "script/components/bitmap_component.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kClear = 0u;

class ComponentTest : public GfxScriptTest {
protected:
    void SetUp() override {
        GfxScriptTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
    // "hero.png": four 8 x 8 sprites f1 to f4 side by side, red, green, blue and white,
    // each with its pivot in the middle.
    void WriteHeroSheet() const {
        const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
        std::vector<uint8_t> pixels;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 32; ++x) {
                const uint32_t c = colours[x / 8];
                pixels.insert(pixels.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                             static_cast<uint8_t>(c), 0xFF});
            }
        dir_.Write("hero.png", EncodeImage(FixtureFormat::Png, 32, 8, 4, pixels));
        dir_.Write("hero.txt", "f1 0 0 8 8 4 4\nf2 8 0 8 8 4 4\nf3 16 0 8 8 4 4\nf4 24 0 8 8 4 4\n");
    }
    // A scene with one layer and the object `obj` at (16, 16), and a 32 x 32 target.
    void MakeScene() {
        ASSERT_EQ(Run("scene = Scene() layer = Layer() scene:attach_layer(layer) "
                      "obj = GameObject() obj:setup{x = 16, y = 16} layer:attach_object(obj) "
                      "target = gfx_create_bitmap(32, 32, true)"),
                  "");
    }
};

// --- BitmapComponent ---------------------------------------------------------------------

TEST_F(ComponentTest, BitmapDrawsItsSpriteAtTheObject) {
    WriteHeroSheet();
    MakeScene();
    ASSERT_EQ(Run("b = BitmapComponent() b:setup{bitmap = 'hero.png', sprite = 'f2'} obj:attach_component(b)"), "");
    EXPECT_EQ(Eval("b:size()"), "8 8");
    EXPECT_EQ(Eval("b:center_position()"), "4 4");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 12, 12), kGreen);
    EXPECT_EQ(Pixel("target", 19, 19), kGreen);
    EXPECT_EQ(Pixel("target", 20, 20), kClear);
    EXPECT_EQ(Pixel("target", 11, 11), kClear);
}

TEST_F(ComponentTest, ComponentsAttachedBeforeTheirSetupDrawNothing) {
    MakeScene();
    ASSERT_EQ(Run("for _, class in ipairs{BitmapComponent, AnimatedBitmapComponent, AnimatedGridComponent} do "
                  "obj:attach_component(class()) end"),
              "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 16, 16), kClear);
}

TEST_F(ComponentTest, BitmapWithoutTextureIsFatal) {
    EXPECT_EXIT(Fatal([&] { Run("BitmapComponent():setup{sprite = 'main'}"); }), testing::ExitedWithCode(kExitFatal),
                "BitmapComponent is missing texture definition");
}

TEST_F(ComponentTest, ChangeBitmapReleasesTheOldTextureAndKeepsTheSizeForASprite) {
    WriteHeroSheet();
    WriteImage("blue.png", 4, 2, 0x0000FF);
    MakeScene();
    ASSERT_EQ(Run("b = BitmapComponent() b:setup{bitmap = 'hero.png', sprite = 'f1'} obj:attach_component(b)"), "");
    ASSERT_EQ(Run("b:change_bitmap('hero.png', 'f3')"), "");
    EXPECT_EQ(Eval("b:size()"), "8 8");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 16, 16), kBlue) << "the new sprite is drawn";
    ASSERT_EQ(Run("b:change_bitmap('blue.png')"), "");
    EXPECT_EQ(TextureNamed("hero.png")->refCount, 0);
    EXPECT_EQ(TextureNamed("blue.png")->refCount, 1);
    EXPECT_EQ(Eval("b:size()"), "4 2");
    EXPECT_EXIT(Fatal([&] { Run("b:change_bitmap()"); }), testing::ExitedWithCode(kExitFatal), "Wrong argument for function");
}

TEST_F(ComponentTest, CropCutsTheDrawnSpriteOnly) {
    WriteHeroSheet();
    MakeScene();
    ASSERT_EQ(Run("b = BitmapComponent() b:setup{bitmap = 'hero.png', sprite = 'f1'} obj:attach_component(b) "
                  "b:set_crop(-2, -3, 4, 0)"),
              "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 12, 12), kRed);
    EXPECT_EQ(Pixel("target", 15, 19), kRed);
    EXPECT_EQ(Pixel("target", 16, 12), kClear) << "right half cropped away";
    ASSERT_EQ(Run("b:set_crop(-2, 0, 0, 0)"), "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 19, 12), kRed);
    EXPECT_EQ(Pixel("target", 20, 12), kClear) << "a crop starting before the sprite adds nothing";
    ASSERT_EQ(Run("b:disable_crop()"), "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 18, 12), kRed);
    // The script's own pending crop belongs to its next lookup, not to a component drawn first.
    ASSERT_EQ(Run("hero = gfx_load_bitmap('hero.png') gfx_crop_sprite(2, 0, 0, 0)"), "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 18, 12), kRed);
    EXPECT_EQ(Eval("gfx_sprite_params(hero, 'f1')"), "6 8 4 4");
}

// --- AnimatedBitmapComponent ---------------------------------------------------------------

class AnimationTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        WriteHeroSheet();
    }
    // The component gives its textures back before the renderer's textures go.
    void TearDown() override {
        holder_.reset();
        ComponentTest::TearDown();
    }
    std::string Frame() const { return animation_.currentFrame() ? animation_.currentFrame()->sprite : "none"; }
    // The frame shown after each step of dt.
    std::string Steps(int count, float dt) {
        std::string shown;
        for (int i = 0; i < count; ++i) {
            animation_.update(dt);
            shown += (shown.empty() ? "" : " ") + Frame();
        }
        return shown;
    }
    std::optional<AnimatedBitmapComponent> holder_{std::in_place};
    AnimatedBitmapComponent& animation_ = *holder_;
};

TEST_F(AnimationTest, DefaultRateIsFifteenFramesASecond) {
    animation_.parseAnimation("run", "bitmap=hero.png f1 f2 f3");
    animation_.startAnimation("run", false);
    EXPECT_EQ(Frame(), "f1");
    animation_.update(0.1f);
    EXPECT_EQ(Frame(), "f2");
    animation_.update(0.15f);  // past the 0.2 s of three frames: over, the last frame stays
    EXPECT_EQ(animation_.currentAnimation(), nullptr);
    EXPECT_EQ(Frame(), "f2");
}

TEST_F(AnimationTest, PingPlaysForwardThenBackThenHandsOver) {
    animation_.parseAnimation("swing", "fps=8 ping bitmap=hero.png f1 f2 f3 f4");
    animation_.parseAnimation("rest", "bitmap=hero.png f4");
    animation_.queueAnimation("rest", false);
    animation_.startAnimation("swing", false);
    // The frame at time 0 is still shown backwards; the step below 0 hands over.
    EXPECT_EQ(Steps(9, 0.125f), "f2 f3 f4 f4 f4 f3 f2 f1 f4");
    EXPECT_EQ(animation_.currentAnimation()->name, "rest");
    EXPECT_EQ(animation_.queueSize(), 0u);
}

TEST_F(AnimationTest, LoopWrapsAndPingLoopTurnsBackForward) {
    animation_.parseAnimation("walk", "fps=8 bitmap=hero.png f1 f2 f3 f4");
    animation_.startAnimation("walk", true);
    EXPECT_EQ(Steps(6, 0.125f), "f2 f3 f4 f4 f2 f3");
    animation_.parseAnimation("sway", "fps=8 ping bitmap=hero.png f1 f2");
    animation_.startAnimation("sway", true);
    EXPECT_EQ(Steps(8, 0.125f), "f2 f2 f2 f1 f2 f2 f2 f1");
    EXPECT_NE(animation_.currentAnimation(), nullptr);
}

TEST_F(AnimationTest, QueueAndPlayAndStop) {
    animation_.parseAnimation("a", "fps=10 bitmap=hero.png f1");
    animation_.parseAnimation("b", "fps=10 bitmap=hero.png f2");
    animation_.parseAnimation("empty", "fps=10 bitmap=hero.png");
    animation_.queueAnimation("a", false);
    animation_.queueAnimation("b", true);
    animation_.update(0.01f);  // idle: the front of the queue starts
    EXPECT_EQ(animation_.currentAnimation()->name, "a");
    EXPECT_EQ(animation_.queueSize(), 1u);
    animation_.update(0.2f);
    EXPECT_EQ(animation_.currentAnimation()->name, "b");
    animation_.queueAnimation("a", false);
    animation_.playAnimation("nothing by that name", false);
    EXPECT_EQ(animation_.queueSize(), 0u) << "the queue is emptied";
    EXPECT_EQ(animation_.currentAnimation()->name, "b") << "and b keeps playing";
    animation_.playAnimation("empty", false);
    EXPECT_EQ(animation_.currentAnimation()->name, "b") << "an animation without frames cannot start";
    animation_.stopAnimation();
    EXPECT_EQ(animation_.currentAnimation(), nullptr);
    EXPECT_EQ(Frame(), "f2") << "the last frame stays";
    animation_.update(1.0f);
    EXPECT_EQ(Frame(), "f2");
}

TEST_F(AnimationTest, ZeroOrNegativeRatesNeverLeaveTheFrames) {
    for (const char* spec : {"fps=0 bitmap=hero.png f1 f2", "fps=-4 ping bitmap=hero.png f1 f2",
                             "fps=nan bitmap=hero.png f1 f2"}) {
        AnimatedBitmapComponent animation;
        animation.parseAnimation("odd", spec);
        animation.startAnimation("odd", true);
        for (int i = 0; i < 20; ++i) {
            animation.update(0.1f);
            if (const auto* frame = animation.currentFrame()) {
                EXPECT_TRUE(frame->sprite == "f1" || frame->sprite == "f2") << spec;
            }
        }
    }
}

TEST_F(AnimationTest, SpriteBeforeBitmapIsFatal) {
    EXPECT_EXIT(Fatal([&] { animation_.parseAnimation("run", "run1 bitmap=hero.png"); }), testing::ExitedWithCode(kExitFatal),
                "AnimatedBitmap - missing bitmap info for 'run' \\(run1 bitmap=hero.png\\)");
}

TEST_F(AnimationTest, SetupTakesEveryOtherKeyAsAnAnimationAndStartsIdle) {
    MakeScene();
    ASSERT_EQ(Run("a = AnimatedBitmapComponent() "
                  "a:setup{x = 2, alpha = 1, idle = 'fps=10 bitmap=hero.png f3 f4', [7] = 'bitmap=hero.png f1', "
                  "jump = 'bitmap=hero.png f2', table = {}} obj:attach_component(a)"),
              "");
    const auto* a = Native<AnimatedBitmapComponent>("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->currentAnimation()->name, "idle");
    EXPECT_EQ(Eval("a:is_animating(), a:queue_size(), a:size()"), "true 0 8 8");
    ASSERT_EQ(Run("a:queue_animation('7', true) a:queue_animation('jump')"), "");
    EXPECT_EQ(Eval("a:queue_size()"), "2");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 18, 16), kBlue) << "idle's first frame, at x 2 from the object";
    ASSERT_EQ(Run("a:play_animation('7') a:stop_animation()"), "");
    EXPECT_EQ(Eval("a:is_animating(), a:queue_size()"), "false 0");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 18, 16), kRed) << "a stopped animation still shows its frame";
}

// --- AnimatedGridComponent -----------------------------------------------------------------

class GridTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        WriteImage("wave.png", 30, 20, 0xFF0000);
    }
    AnimatedGridComponent* MakeGrid(const std::string& keys) {
        MakeScene();
        EXPECT_EQ(Run("g = AnimatedGridComponent() g:setup{bitmap = 'wave.png', " + keys + "} obj:attach_component(g)"),
                  "");
        return Native<AnimatedGridComponent>("g");
    }
};

TEST_F(GridTest, TwoRowsThreeColumns) {
    const AnimatedGridComponent* g = MakeGrid("rows = 2.7, columns = 3");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->baseVertices.size(), 12u);
    ASSERT_EQ(g->indices.size(), 36u);
    EXPECT_EQ(std::vector<uint16_t>(g->indices.begin(), g->indices.begin() + 6),
              (std::vector<uint16_t>{0, 1, 5, 0, 5, 4}));
    EXPECT_EQ(std::vector<uint16_t>(g->indices.end() - 6, g->indices.end()),
              (std::vector<uint16_t>{6, 7, 11, 6, 11, 10}));
    // Positions span the sprite about its centre (15, 10); coordinates span 0..1.
    const RenderVertex& first = g->baseVertices.front();
    const RenderVertex& last = g->baseVertices.back();
    EXPECT_FLOAT_EQ(first.x, -15);
    EXPECT_FLOAT_EQ(first.y, -10);
    EXPECT_FLOAT_EQ(last.x, 15);
    EXPECT_FLOAT_EQ(last.y, 10);
    EXPECT_FLOAT_EQ(g->baseVertices[1].x, -5);
    EXPECT_FLOAT_EQ(last.u, 1);
    EXPECT_FLOAT_EQ(last.v, 1);
    EXPECT_FLOAT_EQ(g->baseVertices[4].v, 0.5f);
}

TEST_F(GridTest, RefusesEmptyAndOversizedGrids) {
    for (const char* keys : {"rows = 0", "columns = -2", "rows = 100, columns = 100", "rows = 1e300"})
        EXPECT_EXIT(Fatal([&] { MakeGrid(keys); }), testing::ExitedWithCode(kExitFatal), "AnimatedGridComponent: a grid of") << keys;
}

TEST_F(GridTest, BendSwingsTheTopRowFullyAndTheBottomRowNot) {
    AnimatedGridComponent* g = MakeGrid("rows = 2, columns = 1, fx = 'bend'");
    ASSERT_NE(g, nullptr);
    g->update(0.75f);  // a quarter of the 3 s period: the full 5 degrees
    const float angles[3] = {5.0f, 2.5f, 0.0f};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            const std::size_t k = static_cast<std::size_t>(row * 2 + column);
            const RenderVertex& base = g->baseVertices[k];
            const float a = angles[row] * 0.017453292f;
            EXPECT_NEAR(g->currentVertices[k].x, base.x * std::cos(a) - base.y * std::sin(a), 1e-4) << row;
            EXPECT_NEAR(g->currentVertices[k].y, base.x * std::sin(a) + base.y * std::cos(a), 1e-4) << row;
        }
    }
}

TEST_F(GridTest, BendSpeedZeroStaysStill) {
    AnimatedGridComponent* g = MakeGrid("fx = 'bend', speed = 0");
    ASSERT_NE(g, nullptr);
    for (int i = 0; i < 3; ++i) g->update(0.5f);
    for (std::size_t k = 0; k < g->currentVertices.size(); ++k) {
        EXPECT_EQ(g->currentVertices[k].x, g->baseVertices[k].x);
        EXPECT_EQ(g->currentVertices[k].y, g->baseVertices[k].y);
    }
    EXPECT_TRUE(std::isfinite(g->time));
}

TEST_F(GridTest, WaterRipplesAllButTheTopRow) {
    AnimatedGridComponent* g = MakeGrid("rows = 2, columns = 2, fx = 'water'");
    ASSERT_NE(g, nullptr);
    g->update(0.25f);
    EXPECT_EQ(g->currentVertices[1].x, g->baseVertices[1].x);
    const float d = 1 + 2;  // row 1, column 2
    EXPECT_NEAR(g->currentVertices[5].x, g->baseVertices[5].x + 4 * std::cos(2 * d + 1.0f) / 6, 1e-5);
    EXPECT_NEAR(g->currentVertices[5].y, g->baseVertices[5].y + 4 * std::sin(d + 1.0f) / 5, 1e-5);
}

TEST_F(GridTest, SpansOnlyItsSpriteOfASheet) {
    WriteHeroSheet();
    MakeScene();
    ASSERT_EQ(Run("g = AnimatedGridComponent() g:setup{bitmap = 'hero.png', sprite = 'f3', rows = 1, columns = 2} "
                  "obj:attach_component(g) gfx_crop_sprite(0, 0, 1, 1)"),
              "");
    DrawInto("target", "scene:render()");
    for (const int x : {12, 16, 19}) EXPECT_EQ(Pixel("target", x, 15), kBlue) << x;
    EXPECT_EQ(Pixel("target", 20, 15), kClear);
    EXPECT_EQ(Eval("gfx_sprite_params(gfx_load_bitmap('hero.png'), 'f1')"), "1 1 4 4")
        << "the script's crop is left for its own lookup";
}

TEST_F(GridTest, DrawsTheSpriteAndGoesThroughTheLetterbox) {
    AnimatedGridComponent* g = MakeGrid("rows = 2, columns = 2");
    ASSERT_NE(g, nullptr);
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 2, 7), kRed);
    EXPECT_EQ(Pixel("target", 30, 25), kRed);
    EXPECT_EQ(Pixel("target", 16, 27), kClear);
    // On the back buffer every vertex is mapped like any quad's.
    g_renderer.scaleX = 2;
    g_renderer.scaleY = 3;
    g_renderer.offsetX = 10;
    g_renderer.offsetY = 5;
    g_renderer.aspectCorrection = true;
    ASSERT_EQ(Run("scene:render()"), "");
    EXPECT_FLOAT_EQ(g->renderVertices.front().x, (16 - 15) * 2 + 10);
    EXPECT_FLOAT_EQ(g->renderVertices.front().y, (16 - 10) * 3 + 5);
    EXPECT_FLOAT_EQ(g->renderVertices.back().x, (16 + 15) * 2 + 10);
}

}  // namespace
