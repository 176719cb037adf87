#include "script/game_class.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/input.h"
#include "object_fixture.h"

namespace {

class GameClassTest : public ObjectModelTest {
protected:
    // An attached leaf in the global `leaf`, its container in `box`.
    TestLeaf* AttachedLeaf(const std::string& extra = "") {
        Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf) runs = {} " + extra);
        return Native<TestLeaf>("leaf");
    }
    double Runs(const char* name) {
        Run(std::string("count = runs['") + name + "'] or 0");
        return Number("count");
    }
};

TEST_F(GameClassTest, MethodRowsAreInTableOrder) {
    const char* const names[] = {
        "setup", "finalize_setup", "set_id", "id", "set_enabled", "enabled", "kill", "dead", "schedule_call",
        "reschedule_call", "cancel_scheduled_call", "cancel_all_scheduled_calls", "list_scheduled_calls",
        "mouse_xy", "set_x", "set_y", "set_z", "set_xy", "set_xyz", "set_angle", "set_scale_x", "set_scale_y",
        "set_scale", "x", "y", "z", "xy", "xyz", "angle", "scale_x", "scale_y", "x_abs", "y_abs", "xy_abs",
        "xyz_abs", "angle_abs", "scale_x_abs", "scale_y_abs", "is_x_interpolating", "is_y_interpolating",
        "is_angle_interpolating", "is_scale_x_interpolating", "is_scale_y_interpolating"};
    Run("object = TestContainer()");
    lua_getglobal(L, "object");
    for (int row = 0; row < 43; ++row) {
        lua_getfield(L, -1, names[row]);
        ASSERT_TRUE(lua_iscfunction(L, -1)) << names[row];
        ASSERT_NE(lua_getupvalue(L, -1, 1), nullptr) << names[row];
        EXPECT_EQ(lua_tonumber(L, -1), row) << names[row];
        lua_pop(L, 2);
    }
    lua_pop(L, 1);
}

TEST_F(GameClassTest, SetupReadsTheDefinition) {
    Run("leaf = TestLeaf() leaf:setup({id = 12, enabled = false, on_kill = 'gone', z = '3.5',"
        " x = '4', y = '0=0 1=10', angle = true, scale_x = 5, scale_y = 6, scale = 2})");
    const TestLeaf* leaf = Native<TestLeaf>("leaf");
    EXPECT_EQ(leaf->id, "12");
    EXPECT_FALSE(leaf->enabled);
    EXPECT_TRUE(leaf->onKill.forward);
    EXPECT_EQ(leaf->onKill.method, "gone");
    EXPECT_FALSE(leaf->onKill.bound);
    EXPECT_FLOAT_EQ(leaf->z, 3.5f);
    EXPECT_FLOAT_EQ(leaf->x.value(), 4);  // a numeric string is set at once
    EXPECT_FALSE(leaf->x.isInterpolating());
    EXPECT_TRUE(leaf->y.isInterpolating());
    EXPECT_FLOAT_EQ(leaf->angle.value(), 0);  // a boolean is no value
    EXPECT_FLOAT_EQ(leaf->scale_x.value(), 2);  // "scale" is read last
    EXPECT_FLOAT_EQ(leaf->scale_y.value(), 2);
    Run("leaf:setup() leaf:setup({id = {}, enabled = 1})");  // absent or mistyped keys change nothing
    EXPECT_EQ(leaf->id, "12");
    EXPECT_FALSE(leaf->enabled);
}

TEST_F(GameClassTest, ValueSettersTakeNumbersAndSpecsAndIgnoreTheRest) {
    Run("leaf = TestLeaf() leaf:set_x(3) leaf:set_y('0=0 1=10') leaf:set_scale(4)"
        "leaf:set_xyz(1, 2, 9) leaf:set_angle(nil) leaf:set_angle({}) leaf:set_angle(false)"
        "x, y, z = leaf:xyz() ax, ay, az = leaf:xyz_abs() sx, sy = leaf:scale_x(), leaf:scale_y()"
        "moving = leaf:is_y_interpolating() and not leaf:is_x_interpolating() and 'yes' or 'no'");
    EXPECT_EQ(Number("x"), 1);
    EXPECT_EQ(Number("y"), 2);
    EXPECT_EQ(Number("z"), 9);
    EXPECT_EQ(Number("az"), 9);  // xyz_abs gives the plain z
    EXPECT_EQ(Number("sx"), 4);
    EXPECT_EQ(Number("sy"), 4);
    EXPECT_EQ(Global("moving"), "no");  // set_xyz set y at once
    Run("leaf:set_y('0=0 1=10') moving = leaf:is_y_interpolating() and 'yes' or 'no'");
    EXPECT_EQ(Global("moving"), "yes");
    Native<TestLeaf>("leaf")->updateInterpolators(0.5f);
    Run("y = leaf:y()");
    EXPECT_EQ(Number("y"), 5);
}

TEST_F(GameClassTest, FinalizeSetupRecordsCallbacksOnlyOnceBound) {
    Run("leaf = TestLeaf() function leaf:on_kill() end function leaf:on_destroy() end leaf:finalize_setup()");
    TestLeaf* leaf = Native<TestLeaf>("leaf");
    EXPECT_FALSE(leaf->onKill.bound);
    Run("box = TestContainer() box:attach(leaf) leaf:finalize_setup()");
    EXPECT_TRUE(leaf->onKill.bound);
    EXPECT_TRUE(leaf->onDestroy.bound);
    Run("leaf.on_kill = nil leaf:finalize_setup()");
    EXPECT_TRUE(leaf->onKill.bound);  // never cleared
    leaf->onDestroy.bound = false;
}

TEST_F(GameClassTest, AbsoluteValuesFollowTheParentsTransform) {
    GameClass parent, child, grandchild;
    parent.x.setImmediate(100);
    parent.y.setImmediate(50);
    parent.angle.setImmediate(90);
    parent.scale_x.setImmediate(2);
    parent.scale_y.setImmediate(3);
    child.x.setImmediate(10);
    child.y.setImmediate(1);
    child.angle.setImmediate(15);
    child.scale_x.setImmediate(0.5f);
    child.z = 7;
    child.transformParent = &parent;
    child.updateAbsoluteValues();
    // (10, 1) scaled to (20, 3), turned by 90 degrees to (-3, 20), moved by (100, 50).
    EXPECT_NEAR(child.x_abs, 97, 1e-4);
    EXPECT_NEAR(child.y_abs, 70, 1e-4);
    EXPECT_FLOAT_EQ(child.angle_abs, 105);
    EXPECT_FLOAT_EQ(child.scale_x_abs, 1);
    EXPECT_FLOAT_EQ(child.scale_y_abs, 3);
    // A grandchild reads the child's absolute values.
    grandchild.x.setImmediate(2);
    grandchild.transformParent = &child;
    grandchild.updateAbsoluteValues();
    EXPECT_NEAR(grandchild.x_abs, 97 + 2 * std::cos(105 * 0.017453292f), 1e-4);
    EXPECT_NEAR(grandchild.y_abs, 70 + 2 * std::sin(105 * 0.017453292f), 1e-4);
    // Without a parent the absolute values keep what they hold.
    parent.x_abs = 1234;
    parent.updateAbsoluteValues();
    EXPECT_EQ(parent.x_abs, 1234);
}

TEST_F(GameClassTest, LocalMousePositionUndoesTheTransform) {
    GameClass object;
    object.x.setImmediate(100);
    object.y.setImmediate(50);
    object.scale_x.setImmediate(2);
    object.scale_y.setImmediate(2);
    float x = 0, y = 0;
    object.localMousePosition(120, 50, x, y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 0);
    object.angle.setImmediate(90);
    object.localMousePosition(100, 70, x, y);  // 20 below, turned back by 90 degrees
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 0);
}

TEST_F(GameClassTest, MouseXyReadsTheFramesMousePosition) {
    g_input.mouse.x = 120;
    g_input.mouse.y = 50;
    Run("leaf = TestLeaf() leaf:set_xy(100, 50) leaf:set_scale(2) mx, my = leaf:mouse_xy()");
    EXPECT_EQ(Number("mx"), 10);
    EXPECT_EQ(Number("my"), 0);
}

TEST_F(GameClassTest, OneShotCallRunsInTheFirstFrameItsTimeIsPassed) {
    TestLeaf* leaf = AttachedLeaf("function leaf:ding() runs.ding = (runs.ding or 0) + 1 end "
                                  "leaf:schedule_call('ding', 1)");
    leaf->updateScheduledCalls(0.5f);
    leaf->updateScheduledCalls(0.5f);
    EXPECT_EQ(Runs("ding"), 0);  // 1.0 is not above 1
    leaf->updateScheduledCalls(0.5f);
    EXPECT_EQ(Runs("ding"), 1);
    EXPECT_TRUE(leaf->scheduledCalls().empty());
}

TEST_F(GameClassTest, LoopingCallRunsOncePerFrameAndKeepsTheRemainder) {
    TestLeaf* leaf = AttachedLeaf("function leaf:tick() runs.tick = (runs.tick or 0) + 1 end "
                                  "leaf:schedule_call('tick', 1, true)");
    leaf->updateScheduledCalls(2.5f);
    EXPECT_EQ(Runs("tick"), 1);
    Run("calls = leaf:list_scheduled_calls() c = calls[1]"
        "summary = #calls .. ' ' .. c.function_name .. ' ' .. c.time_left .. ' ' .. tostring(c.loop) .. ' ' .."
        " c.total_time");
    EXPECT_EQ(Global("summary"), "1 tick 0.5 true 1");
}

TEST_F(GameClassTest, LoopingCallEndsOnlyWhenItReturnsTrue) {
    struct Case {
        const char* result;
        bool removed;
    } const cases[] = {{"true", true}, {"false", false}, {"nil", false}, {"1", false}, {"'true'", false}};
    for (const Case& c : cases) {
        TestLeaf* leaf = AttachedLeaf(std::string("function leaf:tick() return ") + c.result +
                                      " end leaf:schedule_call('tick', 0.1, true)");
        leaf->updateScheduledCalls(0.2f);
        EXPECT_EQ(leaf->scheduledCalls().empty(), c.removed) << c.result;
    }
}

TEST_F(GameClassTest, LoopingCallWithoutPeriodRunsEveryFrame) {
    TestLeaf* leaf = AttachedLeaf("function leaf:tick() runs.tick = (runs.tick or 0) + 1 end "
                                  "leaf:schedule_call('tick', 0, true) leaf:schedule_call('tick', -1, true)");
    for (int frame = 0; frame < 3; ++frame) leaf->updateScheduledCalls(0.25f);
    EXPECT_EQ(Runs("tick"), 6);
    for (const ScheduledCall& call : leaf->scheduledCalls()) EXPECT_EQ(call.elapsed, 0);
}

TEST_F(GameClassTest, CancelAndRescheduleMatchWholeNames) {
    TestLeaf* leaf = AttachedLeaf("leaf:schedule_call('a', 5) leaf:schedule_call('ab', 5) leaf:schedule_call('a', 6)"
                                  "leaf:cancel_scheduled_call('a')");
    ASSERT_EQ(leaf->scheduledCalls().size(), 1u);
    EXPECT_EQ(leaf->scheduledCalls()[0].function_name, "ab");
    leaf->updateScheduledCalls(1);
    Run("leaf:reschedule_call('ab', 0) leaf:reschedule_call('ab', -2) leaf:reschedule_call('a', 9)");
    EXPECT_EQ(leaf->scheduledCalls()[0].total_time, 5);
    Run("leaf:reschedule_call('ab', 8)");
    EXPECT_EQ(leaf->scheduledCalls()[0].total_time, 8);
    EXPECT_EQ(leaf->scheduledCalls()[0].elapsed, 1);
    Run("leaf:cancel_all_scheduled_calls()");
    EXPECT_TRUE(leaf->scheduledCalls().empty());
}

// Callbacks change the list under the walk: appends that move the storage, cancels of
// calls ahead and of the running call, and a reschedule.
TEST_F(GameClassTest, WalkSurvivesCallbacksThatChangeTheList) {
    TestLeaf* leaf = AttachedLeaf(
        "function leaf:a() runs.a = (runs.a or 0) + 1"
        "  for i = 1, 100 do self:schedule_call('late', 0) end"
        "  self:cancel_scheduled_call('c') self:cancel_scheduled_call('a') self:reschedule_call('b', 0.5) end "
        "function leaf:b() runs.b = (runs.b or 0) + 1 end "
        "function leaf:c() runs.c = (runs.c or 0) + 1 end "
        "function leaf:late() runs.late = (runs.late or 0) + 1 end "
        "leaf:schedule_call('a', 0, true) leaf:schedule_call('b', 2) leaf:schedule_call('c', 0)");
    leaf->updateScheduledCalls(1);
    EXPECT_EQ(Runs("a"), 1);
    EXPECT_EQ(Runs("b"), 1);  // rescheduled to 0.5 before its turn
    EXPECT_EQ(Runs("c"), 0);
    EXPECT_EQ(Runs("late"), 0);  // added during the walk: next frame
    EXPECT_EQ(leaf->scheduledCalls().size(), 100u);
    leaf->updateScheduledCalls(1);
    EXPECT_EQ(Runs("late"), 100);
    EXPECT_TRUE(leaf->scheduledCalls().empty());
}

// The first call cancels everything: the walk stops without running the rest. Or it has
// the object removed from its container: the object stays whole until the walk is
// over (the rest still runs) and is deleted then.
TEST_F(GameClassTest, CallbackThatEndsTheListOrRemovesTheObject) {
    struct Case {
        const char* action;
        int laterCallsRun;
        int deleted;
    } const cases[] = {{"self:cancel_all_scheduled_calls()", 0, 0}, {"box:remove_all()", 1, 1}};
    for (const Case& c : cases) {
        TestLeaf::destroyed = 0;
        TestLeaf* leaf = AttachedLeaf(std::string("function leaf:a() ") + c.action + " end " +
                                      "function leaf:b() runs.b = 1 end "
                                      "leaf:schedule_call('a', 0) leaf:schedule_call('b', 0)");
        leaf->updateScheduledCalls(1);
        EXPECT_EQ(Runs("b"), c.laterCallsRun) << c.action;
        EXPECT_EQ(TestLeaf::destroyed, c.deleted) << c.action;
        if (!c.deleted) {
            EXPECT_TRUE(leaf->scheduledCalls().empty());
        }
    }
}

TEST_F(GameClassTest, UnboundObjectRunsNoScheduledCall) {
    Run("leaf = TestLeaf() runs = {} function leaf:a() runs.a = 1 end leaf:schedule_call('a', 0)");
    TestLeaf* leaf = Native<TestLeaf>("leaf");
    leaf->updateScheduledCalls(1);
    EXPECT_EQ(Runs("a"), 0);
    EXPECT_EQ(leaf->scheduledCalls().size(), 1u);
}

using GameClassDeathTest = GameClassTest;

TEST_F(GameClassDeathTest, MissingScheduledFunctionIsAFatalScriptError) {
    TestLeaf* leaf = AttachedLeaf("leaf:schedule_call('nowhere', 0)");
    EXPECT_EXIT(leaf->updateScheduledCalls(1), testing::ExitedWithCode(kExitFatal),
                "GameClass::updateScheduledCalls <[^\n]*game_class[^\n]*>\n[^\n]*attempt to call a nil value");
}

TEST_F(GameClassTest, FindChildByIdTakesTheFirstExactMatch) {
    GameClass a, b, c;
    a.id = "item";
    b.id = "item_2";
    c.id = "item";
    const std::vector<GameClass*> children{&a, &b, &c};
    EXPECT_EQ(GameClass::findChildById(children, "item"), &a);
    EXPECT_EQ(GameClass::findChildById(children, "item_2"), &b);
    EXPECT_EQ(GameClass::findChildById(children, "Item"), nullptr);
    EXPECT_EQ(GameClass::findChildById(children, nullptr), nullptr);
}

}  // namespace
