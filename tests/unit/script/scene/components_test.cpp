// Component bases and the box shape: definition keys, bounds and fitting, hit tests,
// shape links, effective alpha and the render-state bracket.
#include <gtest/gtest.h>

#include "scene_fixture.h"
#include "script/components/box_shape_component.h"
#include "script/scene/game_object.h"
#include "software_render_fixture.h"

namespace {

using ComponentsTest = ScriptedSceneTest;

struct ColorCase {
    const char* text;
    const char* expected;
};

class ColorTest : public ComponentsTest, public testing::WithParamInterface<ColorCase> {};

TEST_P(ColorTest, ColorKeyKeepsRedGreenAndBlue) {
    Run(std::string("v = TestVisual() v:setup({color = '") + GetParam().text + "'})");
    EXPECT_EQ(Text("v:color()"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, ColorTest,
                         testing::Values(ColorCase{"ff0000", "ff0000"}, ColorCase{"80ff0000", "ff0000"},
                                         ColorCase{"#00ff80", "00ff80"}, ColorCase{"ABCDEF", "abcdef"}));

TEST_F(ComponentsTest, BlendingWordsAndFactors) {
    Run("function mode(def) local v = TestVisual() v:setup(def) return v end");
    struct Case {
        const char* definition;
        int mode;
        bool factors;
    };
    const Case cases[] = {
        {"{blending = 'ADDITIVE'}", kBlendAdd, false},  {"{blending = 'Sum'}", kBlendSum, false},
        {"{blending = 'max'}", kBlendMax, false},        {"{blending = 'none'}", kBlendNone, false},
        {"{blending = 'multiply'}", kBlendAlpha, false}, {"{blending_src = 'ONE'}", kBlendAlpha, false},
        {"{blending_src = 'ONE', blending_dst = 'ZERO'}", kBlendAlpha, true},
    };
    for (const Case& c : cases) {
        Run(std::string("probe = mode(") + c.definition + ")");
        const auto* visual = Native<VisualComponent>("probe");
        ASSERT_NE(visual, nullptr);
        EXPECT_EQ(visual->blendMode, c.mode) << c.definition;
        EXPECT_EQ(visual->explicitFactors, c.factors) << c.definition;
    }
}

TEST_F(ComponentsTest, BoundsUseOwnPositionScaleAndCentre) {
    Run("v = TestVisual() v:setup({x = 10, cx = 5, scale_x = 2, w = 20, h = 4})");
    Bounds bounds{};
    ASSERT_TRUE(Native<VisualComponent>("v")->getBounds(bounds));
    EXPECT_FLOAT_EQ(bounds.left, 10);
    EXPECT_FLOAT_EQ(bounds.right, 50);
    EXPECT_FLOAT_EQ(bounds.bottom - bounds.top, 4);
}

TEST_F(ComponentsTest, AutoFitBoxTakesTheUnionOfTheVisualBounds) {
    Run("o = GameObject()"
        "a = TestVisual() o:attach_component(a) a:setup({x = -10, y = 0, w = 20, h = 10})\n"
        "b = TestVisual() o:attach_component(b) b:setup({x = 0, y = 5, w = 30, h = 10})\n"
        "skipped = TestVisual() o:attach_component(skipped) skipped:setup({x = 500, w = 1, h = 1, exclude_from_shape = true})\n"
        "off = TestVisual() o:attach_component(off) off:setup({x = -500, w = 1, h = 1, enabled = false})\n"
        "box = BoxShapeComponent() o:attach_component(box) o:prepare_components()\n"
        "fixed = BoxShapeComponent() fixed:setup({w = 4, h = 4}) o:attach_component(fixed) o:prepare_components()");
    EXPECT_EQ(Text("table.concat({box:box()}, ' ')"), "-10 0 30 15");
    EXPECT_EQ(Text("table.concat({fixed:box()}, ' ')"), "0 0 4 4");
}

TEST_F(ComponentsTest, BoxHitTestInTheObjectsSpace) {
    Run("layer = make_layer(scene, 'l')"
        "o, box = make_object(layer, 'o', 200, 200, 0, 0) box:setup({w = 100, h = 50, cx = 50, cy = 25})");
    struct Case {
        float angle, scaleX, x, y;
        bool inside;
    };
    const Case cases[] = {
        {0, 1, 150, 175, true},    {0, 1, 250, 200, false}, {0, 1, 249.9f, 224.9f, true},
        {0, 1, 200, 225, false},   {90, 1, 220, 240, true}, {0, 1, 290, 200, false},
        {0, 2, 290, 200, true},    {0, 2, 301, 200, false},
    };
    for (const Case& c : cases) {
        Run("o:set_angle(" + std::to_string(c.angle) + ") o:set_scale_x(" + std::to_string(c.scaleX) +
            ") scene:render() inside = tostring(box:point_inside(" + std::to_string(c.x) + ", " + std::to_string(c.y) +
            "))");
        EXPECT_EQ(Global("inside"), c.inside ? "true" : "false") << c.angle << " " << c.scaleX << " " << c.x;
    }
    Run("empty = BoxShapeComponent() empty_hit = tostring(empty:point_inside(0, 0))");
    EXPECT_EQ(Global("empty_hit"), "false");
}

TEST_F(ComponentsTest, LastAttachedShapeIsTheObjectsShapeAndLeavesNoLinkWhenRemoved) {
    Run("o = GameObject() first = BoxShapeComponent() second = BoxShapeComponent()"
        "o:attach_component(first) o:attach_component(second)");
    auto* object = Native<GameObject>("o");
    EXPECT_EQ(object->shape, Native<ShapeComponent>("second"));
    Run("second:kill()");
    EXPECT_EQ(object->shape, Native<ShapeComponent>("second"));  // until the object's update
    Run("layer = make_layer(scene, 'l') layer:attach_object(o)");
    Idle(0, 0);
    EXPECT_EQ(object->shape, nullptr);
    EXPECT_EQ(Text("#o:components()"), "1");
}

TEST_F(ComponentsTest, RelativeToPlacesInAnotherComponentOrFallsBack) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 100, 0, 1, 1)"
        "base = TestVisual() o:attach_component(base) base:setup({id = 'base', x = 10})\n"
        "top = TestVisual() o:attach_component(top) top:setup({x = 1, relative_to = 'base'})\n"
        "lost = TestVisual() o:attach_component(lost) lost:setup({x = 1, relative_to = 'missing'})\n"
        "o:prepare_components() scene:render()");
    EXPECT_EQ(Text("top:x_abs() .. ' ' .. lost:x_abs()"), "111 101");
    Run("base:kill()");
    Idle(500, 500);
    Run("scene:render()");
    EXPECT_EQ(Text("top:x_abs()"), "101");
}

TEST_F(ComponentsTest, KillAndDestroyFireOwnAndForwardedCallbacks) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 1, 1)"
        "function layer:told(c) note('layer told ' .. c:id()) end\n"
        "v = TestVisual() o:attach_component(v) v:setup({id = 'v', on_kill = 'told'})\n"
        "v.on_kill = function(self) note('own kill') end v.on_destroy = function(self) note('destroy ' .. self:width()) end\n"
        "v:finalize_setup() v:kill()\n"
        "loose = TestVisual() loose:setup({on_kill = 'told'}) loose:kill()");
    EXPECT_EQ(Text("fired_text()"), "own kill layer told v");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "own kill layer told v destroy 0");
    EXPECT_EQ(Text("tostring(v[0])"), "0");  // the table no longer reaches the component
}

TEST_F(ComponentsTest, MouseHighlightReplacesTheOwnAlpha) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 10, 10)"
        "v = TestVisual() o:attach_component(v) v:setup({alpha = 0.8, mouse_highlight = true})");
    EXPECT_EQ(Text("v:alpha_abs()"), "0");
    Run("v:set_mouse_highlight(false)");
    EXPECT_NEAR(std::stod(Text("v:alpha_abs()")), 0.8, 1e-6);
}

using RenderStateTest = SoftwareRenderTest;

// A component with its own blending puts back whatever blending was in force, not the
// frame's default, so a layer's two-pass prerender keeps its own blending.
TEST_F(RenderStateTest, EndRenderRestoresTheBlendingInForceBefore) {
    Run("added = TestVisual() added:setup({blending = 'add', w = 4, h = 4})"
        "own = TestVisual() own:setup({blending_src = 'ONE', blending_dst = 'ZERO', w = 4, h = 4})");
    for (const char* name : {"added", "own"}) {
        SetBlendMode(kBlendMax);
        auto* visual = Native<VisualComponent>(name);
        visual->beginRender();
        EXPECT_EQ(State(D3DRS_BLENDOP), name == std::string("added") ? DWORD{D3DBLENDOP_ADD} : DWORD{D3DBLENDOP_MAX});
        visual->endRender();
        EXPECT_EQ(State(D3DRS_SRCBLEND), DWORD{D3DBLEND_ONE}) << name;
        EXPECT_EQ(State(D3DRS_DESTBLEND), DWORD{D3DBLEND_ONE}) << name;
        EXPECT_EQ(State(D3DRS_BLENDOP), DWORD{D3DBLENDOP_MAX}) << name;
    }
}

TEST_F(RenderStateTest, AlphaTestIsOnlyForTheComponentsDrawing) {
    Run("v = TestVisual() v:setup({alpha_test_function = 'GREATER', alpha_test_value = 0.5})");
    auto* visual = Native<VisualComponent>("v");
    visual->beginRender();
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), DWORD{TRUE});
    EXPECT_EQ(State(D3DRS_ALPHAREF), DWORD{127});
    visual->endRender();
    EXPECT_EQ(State(D3DRS_ALPHATESTENABLE), DWORD{FALSE});
}

}  // namespace
