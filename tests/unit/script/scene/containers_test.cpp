// Containers: ordering, lookups, update eligibility, kill timers, and the safety of
// their walks against callbacks that change them.
#include <gtest/gtest.h>

#include "fixtures/failing_allocator.h"
#include "scene_fixture.h"
#include "script/scene/game_object.h"
#include "script/scene/layer.h"

namespace {

using ContainersTest = ScriptedSceneTest;

TEST_F(ContainersTest, SortIsStableByDepth) {
    Run("layer = make_layer(scene, 'l')\n"
        "for _, d in ipairs({{'a', 2}, {'b', 1}, {'c', 1}}) do\n"
        "  local o = GameObject() layer:attach_object(o) o:setup({id = d[1], z = d[2]}) end\n"
        "layer:sort()\n"
        "ids = {} for i, o in ipairs(layer:objects()) do ids[i] = o:id() end");
    EXPECT_EQ(Text("table.concat(ids, ' ')"), "b c a");
    Run("make_layer(scene, 'x'):set_z(5) make_layer(scene, 'y'):set_z(-1) scene:sort()\n"
        "ids = {} for i, l in ipairs(scene:layers()) do ids[i] = l:id() end");
    EXPECT_EQ(Text("table.concat(ids, ' ')"), "y l x");
}

// Under the leak checker: wherever memory runs out, the pattern's prefix is not left behind.
TEST_F(ContainersTest, PatternListThatRunsOutOfMemoryIsAScriptError) {
    Run("o = GameObject()\n"
        "for i = 1, 8 do local c = BoxShapeComponent() o:attach_component(c) c:setup({id = 'a_long_prefix_' .. i}) end");
    const MemoryRuns runs = RunWithScarceMemory(L, "o:components('a_long_prefix_beyond_a_short_string*')", 40);
    EXPECT_GT(runs.outOfMemory, 0);
    EXPECT_LT(runs.outOfMemory, 40);
    EXPECT_EQ(runs.otherErrors, 0);
}

TEST_F(ContainersTest, PatternsSelectByIdPrefix) {
    Run("o = GameObject()\n"
        "for _, id in ipairs({'btn_ok', 'label', 'btn_cancel'}) do\n"
        "  local c = BoxShapeComponent() o:attach_component(c) c:setup({id = id}) end\n"
        "function ids(list) local t = {} for i, c in ipairs(list) do t[i] = c:id() end return table.concat(t, ' ') end");
    EXPECT_EQ(Text("ids(o:components('btn_*'))"), "btn_ok btn_cancel");
    EXPECT_EQ(Text("ids(o:components('btn'))"), "btn_ok label btn_cancel");
    EXPECT_EQ(Text("ids(o:components('*btn'))"), "btn_ok label btn_cancel");
    EXPECT_EQ(Text("ids(o:components())"), "btn_ok label btn_cancel");
    EXPECT_EQ(Text("ids(o:components('label_long*'))"), "");
    EXPECT_EQ(Text("o:component('label'):id()"), "label");
    EXPECT_EQ(Text("select('#', o:component('none'))"), "0");
    Run("make_layer(scene, 'menu_a') make_layer(scene, 'game') make_layer(scene, 'menu_b')");
    EXPECT_EQ(Text("ids(scene:layers('menu_*'))"), "menu_a menu_b");
    EXPECT_EQ(Text("scene:layer('game'):id()"), "game");
}

TEST_F(ContainersTest, KillTimerKillsWhenTheTimeIsReached) {
    Run("layer = make_layer(scene, 'l')\n"
        "o = make_object(layer, 'o', 0, 0, 1, 1, {on_kill = function() note('killed') end}, {kill_timer = 2})");
    for (int frame = 0; frame < 3; ++frame) Idle(500, 500, 0.5f);
    EXPECT_EQ(Text("fired_text()"), "");
    EXPECT_EQ(Text("tostring(#layer:objects())"), "1");
    Idle(500, 500, 0.5f);
    EXPECT_EQ(Text("fired_text()"), "killed");
    EXPECT_EQ(Text("tostring(#layer:objects())"), "0");
    Run("o2 = make_object(layer, 'o2', 0, 0, 1, 1) o2:set_kill_timer(0)");
    Idle(500, 500, 0.01f);
    EXPECT_EQ(Text("tostring(#layer:objects())"), "0");
}

TEST_F(ContainersTest, SoloAndLockedLayersAreDrawnButNotUpdated) {
    Run("a = make_layer(scene, 'A') b = make_layer(scene, 'B')\n"
        "counting = {on_update = function(self) note(self:id() .. ':u') end,\n"
        "            on_render = function(self) note(self:id() .. ':r') end}\n"
        "make_object(a, 'a', 0, 0, 10, 10, counting) make_object(b, 'b', 0, 0, 10, 10, counting)\n"
        "scene:set_solo_update(a)");
    Idle(5, 5);
    EXPECT_EQ(Text("fired_text()"), "a:r b:r a:u");
    EXPECT_EQ(Text("tostring(scene:object_under_cursor():id())"), "a");  // B gets no hover
    Run("fired = {} scene:clear_solo_update() b:lock_update(true)");
    Idle(5, 5);
    EXPECT_EQ(Text("fired_text()"), "a:r b:r a:u");
}

TEST_F(ContainersTest, SoloLayerMustBelongToTheScene) {
    Run("a = make_layer(scene, 'A') other = Scene() stranger = make_layer(other, 'S')");
    Scene* first = Native<Scene>("scene");
    Run("scene:set_solo_update(a)");
    EXPECT_EQ(first->soloLayer, Native<Layer>("a"));
    Run("scene:set_solo_update(stranger)");
    EXPECT_EQ(first->soloLayer, nullptr);
    Run("scene:set_solo_update(a) scene:set_solo_update({})");
    EXPECT_EQ(first->soloLayer, nullptr);
    Run("lone = Layer() lone:setup({solo_update = true})");  // no scene to touch
    Run("stranger:setup({solo_update = true})");
    EXPECT_EQ(first->soloLayer, nullptr);
    EXPECT_EQ(Native<Scene>("other")->soloLayer, Native<Layer>("stranger"));
}

TEST_F(ContainersTest, KilledSoloLayerIsDeletedAndTheSettingEnds) {
    Run("a = make_layer(scene, 'A') b = make_layer(scene, 'B')\n"
        "a.on_update = function(self) self:kill() end a:finalize_setup()\n"
        "make_object(b, 'b', 0, 0, 1, 1, {on_update = function() note('b') end})\n"
        "scene:set_solo_update(a)");
    Idle(500, 500);
    EXPECT_EQ(Text("tostring(#scene:layers())"), "1");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "b");
}

TEST_F(ContainersTest, SceneLockInputReachesOnlyThePresentLayers) {
    Run("a = make_layer(scene, 'A') scene:lock_input(true) b = make_layer(scene, 'B')");
    EXPECT_EQ(Text("tostring(a:is_input_locked()) .. ' ' .. tostring(b:is_input_locked())"), "true false");
}

TEST_F(ContainersTest, AlphaAbsOutsideALayerUsesTheObjectAlone) {
    Run("o = GameObject() o:setup({alpha = 0.5}) v = TestVisual() v:setup({alpha = 0.25})");
    EXPECT_EQ(Text("tostring(o:alpha_abs()) .. ' ' .. tostring(v:alpha_abs())"), "0.5 0.25");
    Run("o:attach_component(v) layer = make_layer(scene, 'l') layer:set_alpha(0.5) layer:attach_object(o)");
    EXPECT_EQ(Text("tostring(o:alpha_abs()) .. ' ' .. tostring(v:alpha_abs())"), "0.25 0.0625");
}

TEST_F(ContainersTest, AttachArgumentsThatAreNotLiveChildrenReadAsNothing) {
    Run("layer = make_layer(scene, 'l') layer:attach_object({}) layer:attach_object(Layer())\n"
        "layer:attach_object(nil) scene:attach_layer(GameObject())\n"
        "o = GameObject() o:attach_component(GameObject())");
    EXPECT_EQ(Text("#layer:objects() .. ' ' .. #scene:layers() .. ' ' .. #o:components()"), "0 1 0");
}

// --- callbacks that change the lists being walked ----------------------------------

TEST_F(ContainersTest, SwitchingScreensFromAClickHandler) {
    Run(R"(
destroyed = 0
function build_menu()
  local layer = make_layer(scene, 'menu')
  make_object(layer, 'below', 0, 0, 10, 10, {
    on_left_click = function() note('below') end,
    on_update = function() note('below updated') end,
    on_destroy = function(self) destroyed = destroyed + 1 end})
  make_object(layer, 'start', 0, 0, 10, 10, {
    on_left_click = function(self)
      note('start')
      scene:remove_everything()
      local game = make_layer(scene, 'game')
      make_object(game, 'player', 0, 0, 10, 10, {on_left_click = function() note('player') end})
    end,
    on_destroy = function(self) destroyed = destroyed + 1 end})
end
build_menu())");
    Frame({{kInputButtonDown, 1, 5, 5}, {kInputButtonDown, 1, 5, 5}}, 5, 5);
    EXPECT_EQ(Text("destroyed"), "2");
    EXPECT_EQ(Text("scene:layers()[1]:id() .. ' ' .. #scene:layers()"), "game 1");
    Frame({{kInputButtonUp, 1, 5, 5}}, 5, 5);
    Frame({{kInputButtonDown, 1, 5, 5}}, 5, 5);
    // The second press of the first frame already went to the new screen.
    EXPECT_EQ(Text("fired_text()"), "start player player");
}

TEST_F(ContainersTest, RemovingAllLayersFromOnUpdateStopsTheWalks) {
    Run("a = make_layer(scene, 'A') b = make_layer(scene, 'B')\n"
        "make_object(a, 'a', 0, 0, 1, 1, {on_update = function() note('a') end})\n"
        "make_object(b, 'b1', 0, 0, 1, 1, {on_update = function() note('b1') scene:remove_all_layers() end,\n"
        "                                  on_destroy = function(self) note('destroy ' .. self:id()) end})\n"
        "make_object(b, 'b2', 0, 0, 1, 1, {on_update = function() note('b2') end})");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "b1 destroy b1");
    EXPECT_EQ(Text("tostring(#scene:layers())"), "0");
}

TEST_F(ContainersTest, RemovingAllObjectsFromAScheduledCall) {
    Run("layer = make_layer(scene, 'l')\n"
        "function layer:clear() note('clear') self:remove_all_objects() end\n"
        "layer:schedule_call('clear', 0.05)\n"
        "make_object(layer, 'o', 0, 0, 1, 1, {on_update = function() note('o') end,\n"
        "                                     on_destroy = function() note('gone') end})");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "clear gone");
    EXPECT_EQ(Text("tostring(#layer:objects())"), "0");
}

TEST_F(ContainersTest, ObjectKilledByItsClickStillHoversAndGoesInThatFrame) {
    Run("layer = make_layer(scene, 'l')\n"
        "make_object(layer, 'o', 0, 0, 10, 10, {on_left_click = function(self) note('click') self:kill() end,\n"
        "  on_mouse_in = function() note('in') end, on_kill = function() note('kill') end,\n"
        "  on_destroy = function() note('destroy') end})");
    Frame({{kInputButtonDown, 1, 5, 5}}, 5, 5);
    EXPECT_EQ(Text("fired_text()"), "click kill in destroy");
    EXPECT_EQ(Text("select('#', scene:object_under_cursor())"), "0");
}

TEST_F(ContainersTest, ObjectsAttachedDuringAWalkWaitForTheNextFrame) {
    Run("layer = make_layer(scene, 'l') spawned = 0\n"
        "make_object(layer, 'spawner', 0, 0, 1, 1, {on_update = function()\n"
        "  spawned = spawned + 1\n"
        "  make_object(layer, 'child' .. spawned, 0, 0, 1, 1, {on_update = function(self) note(self:id()) end})\n"
        "end})");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "");
    Idle(500, 500);
    EXPECT_EQ(Text("fired_text()"), "child1");
    EXPECT_EQ(Text("tostring(#layer:objects())"), "3");
}

// The own on_left_down deletes the object; the layer's forwarded function is still told
// about it, and on_right_down no longer fires.
TEST_F(ContainersTest, RightDownAfterLeftDownDeletedTheObject) {
    Run("layer = make_layer(scene, 'l')\n"
        "function layer:told(object) note('told ' .. object:id()) end\n"
        "make_object(layer, 'o', 0, 0, 10, 10, {\n"
        "  on_left_down = function() note('left') layer:remove_all_objects() end,\n"
        "  on_right_down = function() note('right') end,\n"
        "  on_destroy = function() note('destroy') end}, {on_left_down = 'told', on_right_down = 'told'})");
    Frame({{kInputButtonDown, 1, 5, 5}, {kInputButtonDown, 2, 5, 5}}, 5, 5);
    EXPECT_EQ(Text("fired_text()"), "left told o destroy");
    EXPECT_EQ(Text("select('#', scene:object_under_cursor())"), "0");
}

TEST_F(ContainersTest, RemovalOutsideAnyWalkIsImmediate) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 1, 1)\n"
        "o.on_destroy = function() note('destroy') end o:finalize_setup()\n"
        "layer:remove_all_objects() after = fired_text()");
    EXPECT_EQ(Global("after"), "destroy");
    EXPECT_EQ(SceneWalk::pendingCount(), 0u);
}

TEST_F(ContainersTest, OnDestroySeesTheWholeObject) {
    Run("layer = make_layer(scene, 'l')\n"
        "layer.on_destroy = function(self) note('layer has ' .. #self:objects()) end layer:finalize_setup()\n"
        "o, shape = make_object(layer, 'o', 0, 0, 20, 10)\n"
        "o.on_destroy = function(self) note('object has ' .. #self:components()) end o:finalize_setup()\n"
        "shape.on_destroy = function(self) local x0, y0, x1, y1 = self:box() note('box ' .. x1 .. 'x' .. y1) end\n"
        "shape:finalize_setup()\n"
        "scene:remove_all_layers()");
    EXPECT_EQ(Text("fired_text()"), "layer has 1 object has 1 box 20x10");
}

TEST_F(ContainersTest, DyingTransformParentIsReplacedByTheLayer) {
    Run("layer = make_layer(scene, 'l') layer:set_xy(100, 0)\n"
        "a = make_object(layer, 'a', 50, 0, 1, 1) b = GameObject() layer:attach_object(b)\n"
        "b:setup({relative_to = 'a', x = 5})");
    Run("scene:render() before = b:x_abs() a:kill()");
    EXPECT_EQ(Number("before"), 155);
    Idle(500, 500);
    Run("scene:render() after = b:x_abs()");
    EXPECT_EQ(Number("after"), 105);
}

TEST_F(ContainersTest, DroppedSceneDeletesItsTree) {
    Run("layer = make_layer(scene, 'l') make_object(layer, 'o', 0, 0, 1, 1, {on_destroy = function() note('o') end})\n"
        "layer.on_destroy = function() note('layer') end layer:finalize_setup()\n"
        "scene = nil layer = nil collectgarbage('collect')");
    LuaDeleteDroppedObjects(L);
    EXPECT_EQ(CurrentScene, nullptr);
    EXPECT_EQ(Text("fired_text()"), "layer o");
}

}  // namespace
