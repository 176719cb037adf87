// Clicks, hover and held buttons as the scene offers them to layers and objects.
#include <gtest/gtest.h>

#include "scene_fixture.h"
#include "script/scene/game_object.h"

namespace {

class InputDispatchTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        Run(kSceneHelpers);
        Run(R"(
function recorder(name)
  return {
    on_left_click = function(self) note(name .. ':click') end,
    on_right_click = function(self) note(name .. ':rclick') end,
    on_mouse_in = function(self) note(name .. ':in') end,
    on_mouse_out = function(self) note(name .. ':out') end,
    on_left_down = function(self) note(name .. ':down') end,
  }
end)");
    }
};

struct OverlapCase {
    bool upperPassThrough;
    const char* expected;
};

class OverlapTest : public InputDispatchTest, public testing::WithParamInterface<OverlapCase> {};

TEST_P(OverlapTest, TopMostObjectFiresAndPassThroughLetsTheNextOneFire) {
    Run("layer = make_layer(scene, 'l')\n"
        "make_object(layer, 'lower', 0, 0, 100, 100, recorder('lower'))\n"
        "upper, upper_shape = make_object(layer, 'upper', 50, 50, 100, 100, recorder('upper'))\n"
        "upper_shape:set_pass_through(" + std::string(GetParam().upperPassThrough ? "true" : "false") + ")");
    Frame({{kInputButtonDown, 1, 75, 75}}, 300, 300);
    Run("result = fired_text()");
    EXPECT_EQ(Global("result"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, OverlapTest,
                         testing::Values(OverlapCase{false, "upper:click"},
                                         OverlapCase{true, "upper:click lower:click"}));

TEST_F(InputDispatchTest, UpperLayerTakesTheClickAndTheHover) {
    Run("a = make_layer(scene, 'A') b = make_layer(scene, 'B')\n"
        "make_object(a, 'on_a', 0, 0, 100, 100, recorder('A'))\n"
        "make_object(b, 'on_b', 0, 0, 100, 100, recorder('B'))");
    // A's object alone is under the mouse first, so it is hovered.
    Run("b:object('on_b'):set_x(500)");
    Idle(10, 10);
    Run("b:object('on_b'):set_x(0) fired = {}");
    Frame({{kInputButtonDown, 1, 10, 10}}, 10, 10);
    Run("result = fired_text() under = scene:object_under_cursor():id()");
    EXPECT_EQ(Global("result"), "B:click B:in A:out B:down");
    EXPECT_EQ(Global("under"), "on_b");
}

TEST_F(InputDispatchTest, RightButtonAndClicksOutsideEveryShape) {
    Run("layer = make_layer(scene, 'l') make_object(layer, 'o', 0, 0, 10, 10, recorder('o'))");
    Frame({{kInputButtonDown, 2, 5, 5}, {kInputButtonDown, 1, 50, 50}}, 50, 50);
    Run("result = fired_text() under = scene:object_under_cursor()");
    EXPECT_EQ(Global("result"), "o:rclick");
    EXPECT_EQ(Global("under"), "nil");
}

TEST_F(InputDispatchTest, TwoClicksInOneFrameBothFireAndHoverDecidesTheCursorObject) {
    Run("layer = make_layer(scene, 'l')\n"
        "make_object(layer, 'left', 0, 0, 10, 10, recorder('left'))\n"
        "make_object(layer, 'right', 100, 0, 10, 10, recorder('right'))");
    Frame({{kInputButtonDown, 1, 5, 5}, {kInputButtonUp, 1, 5, 5}, {kInputButtonDown, 1, 105, 5}}, 105, 5);
    Run("result = fired_text() under = scene:object_under_cursor():id()");
    EXPECT_EQ(Global("result"), "left:click right:click right:in right:down");
    EXPECT_EQ(Global("under"), "right");
}

TEST_F(InputDispatchTest, TouchBeginStopsTheEventWithoutAClick) {
    Run("a = make_layer(scene, 'A') b = make_layer(scene, 'B')\n"
        "make_object(a, 'under', 0, 0, 10, 10, recorder('A'))\n"
        "make_object(b, 'over', 0, 0, 10, 10, recorder('B'))");
    Frame({{kInputTouchBegin, 1, 5, 5}}, 500, 500);
    Run("result = fired_text()");
    EXPECT_EQ(Global("result"), "");
}

TEST_F(InputDispatchTest, IosSimulationClicksOnRelease) {
    g_config.ios_simulation = true;
    Run("layer = make_layer(scene, 'l') make_object(layer, 'o', 0, 0, 10, 10, recorder('o'))");
    Frame({{kInputButtonDown, 1, 5, 5}}, 500, 500);
    Run("after_press = fired_text()");
    Frame({{kInputButtonUp, 1, 5, 5}}, 500, 500);
    Run("after_release = fired_text()");
    EXPECT_EQ(Global("after_press"), "");
    EXPECT_EQ(Global("after_release"), "o:click");
}

TEST_F(InputDispatchTest, LockedOrDisabledShapesGetNoInputButKeepTheirHover) {
    Run("layer = make_layer(scene, 'l') o, shape = make_object(layer, 'o', 0, 0, 10, 10, recorder('o'))");
    Idle(5, 5);
    Run("shape:set_enabled(false)");
    Frame({{kInputButtonDown, 1, 5, 5}}, 50, 50);
    Run("after_disabled = fired_text()");
    Run("shape:set_enabled(true) layer:lock_input(true)");
    Frame({{kInputButtonDown, 1, 5, 5}}, 5, 5);
    Run("after_locked = fired_text() layer:lock_input(false)");
    Idle(50, 50);
    Run("after_unlock = fired_text()");
    EXPECT_EQ(Global("after_disabled"), "o:in");
    EXPECT_EQ(Global("after_locked"), "o:in");
    EXPECT_EQ(Global("after_unlock"), "o:in o:out");
}

// ignore_next_click_message: suppressed until the end of the next frame in which a
// button is released.
TEST_F(InputDispatchTest, IgnoreNextClickCalledOnPressSuppressesUntilTheRelease) {
    Run("layer = make_layer(scene, 'l')\n"
        "make_object(layer, 'a', 0, 0, 10, 10, {on_left_click = function() note('a') scene:ignore_next_click_message() end})\n"
        "make_object(layer, 'b', 100, 0, 10, 10, {on_left_click = function() note('b') end})");
    Frame({{kInputButtonDown, 1, 5, 5}, {kInputButtonDown, 1, 105, 5}}, 500, 500);  // b suppressed
    Frame({{kInputButtonDown, 1, 105, 5}}, 500, 500);                                 // still suppressed
    Frame({{kInputButtonUp, 1, 500, 500}}, 500, 500);                                 // release clears it
    Frame({{kInputButtonDown, 1, 105, 5}}, 500, 500);                                 // fires again
    Run("result = fired_text()");
    EXPECT_EQ(Global("result"), "a b");
}

TEST_F(InputDispatchTest, IgnoreNextClickWithIosSimulationClearsInTheReleaseFrame) {
    g_config.ios_simulation = true;
    Run("layer = make_layer(scene, 'l')\n"
        "make_object(layer, 'a', 0, 0, 10, 10, {on_left_click = function() note('a') scene:ignore_next_click_message() end})");
    Click(5, 5);
    Click(5, 5);
    Run("result = fired_text()");
    EXPECT_EQ(Global("result"), "a a");
}

TEST_F(InputDispatchTest, IgnoreNextClickWhileHeldSuppressesTheReleaseClick) {
    g_config.ios_simulation = true;
    Run("layer = make_layer(scene, 'l') make_object(layer, 'a', 0, 0, 10, 10, recorder('a'))");
    Frame({{kInputButtonDown, 1, 5, 5}}, 500, 500);
    Run("scene:ignore_next_click_message()");
    Frame({{kInputButtonUp, 1, 5, 5}}, 500, 500);
    Frame({{kInputButtonDown, 1, 5, 5}}, 500, 500);
    Frame({{kInputButtonUp, 1, 5, 5}}, 500, 500);
    Run("result = fired_text()");
    EXPECT_EQ(Global("result"), "a:click");
}

TEST_F(InputDispatchTest, HighlightRisesWhileHoveredAndFalls) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 10, 10)");
    Run("v = TestVisual() o:attach_component(v) v:setup({w = 10, h = 10, mouse_highlight = true})");
    Idle(5, 5, 0.001f);  // hovered in this pass; the update rises from the floor
    GameObject* object = CurrentScene->objectUnderCursor;
    ASSERT_NE(object, nullptr);
    EXPECT_FLOAT_EQ(object->highlight, 0.1f);
    object->highlight = 0;
    Idle(5, 5, 0.1f);
    EXPECT_FLOAT_EQ(object->highlight, 0.5f);
    Run("alpha = v:alpha_abs()");
    EXPECT_FLOAT_EQ(static_cast<float>(Number("alpha")), 0.5f);
    Idle(500, 500, 0.1f);  // not hovered from this pass on
    EXPECT_NEAR(object->highlight, 0.0f, 1e-6);
}

TEST_F(InputDispatchTest, FollowMouseObjectSitsInLayerSpace) {
    Run("layer = make_layer(scene, 'l') layer:set_x(100)\n"
        "o = make_object(layer, 'o', 0, 0, 10, 10, nil, {follow_mouse = true})");
    Idle(130, 40);
    Run("x, y = o:xy()");
    EXPECT_EQ(Number("x"), 30);
    EXPECT_EQ(Number("y"), 40);
}

}  // namespace
