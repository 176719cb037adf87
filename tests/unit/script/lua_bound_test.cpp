#include "script/lua_bound.h"

#include <gtest/gtest.h>

#include "fixtures/failing_allocator.h"
#include "object_fixture.h"

namespace {

using ObjectModelDeathTest = ObjectModelTest;

TEST_F(ObjectModelTest, ConstructorGivesATableWithBoxAndEveryLevelsMethods) {
    Run("leaf = TestLeaf()"
        "kinds = type(leaf[0]) .. ' ' .. type(leaf.set_x) .. ' ' .. type(leaf.collect_then_owner_id)"
        "meta = type(getmetatable(leaf)) .. ' ' .. type(getmetatable(leaf[0]).__gc)");
    EXPECT_EQ(Global("kinds"), "userdata function function");
    EXPECT_EQ(Global("meta"), "nil function");
    // The later level's row of the same name replaces the GameClass one.
    Run("x = leaf:x()");
    EXPECT_EQ(Global("x"), "leaf x");
}

TEST_F(ObjectModelTest, DroppedObjectIsDeletedWithoutCallingTheScript) {
    Run("leaf = TestLeaf() leaf.on_destroy = function() fired = true end leaf = nil");
    CollectAndDelete();
    EXPECT_EQ(TestLeaf::destroyed, 1);
    EXPECT_EQ(Global("fired"), "nil");
}

TEST_F(ObjectModelTest, AttachedObjectOutlivesEveryScriptReference) {
    Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf) leaf:set_id('kept') leaf = nil");
    CollectAndDelete();
    EXPECT_EQ(TestLeaf::destroyed, 0);
    Run("again = box:child(0) id = again:id() meta = type(getmetatable(again[0]))");
    EXPECT_EQ(Global("id"), "kept");
    EXPECT_EQ(Global("meta"), "nil");
    // Only the registry holds the box now; collecting must not free it under the object.
    Run("again[0] = nil again = nil");
    CollectAndDelete();
    Run("box:remove_all()");
    EXPECT_EQ(TestLeaf::destroyed, 1);
}

TEST_F(ObjectModelTest, ContainerDeletionUnbindsTheChildTable) {
    Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf)"
        "leaf.on_destroy = function(self) seen = type(self[0]) end leaf:finalize_setup() box:remove_all()");
    EXPECT_EQ(TestLeaf::destroyed, 1);
    EXPECT_EQ(Global("seen"), "userdata");  // the table is still bound during on_destroy
    Run("zero = leaf[0]");
    EXPECT_EQ(Number("zero"), 0);
}

TEST_F(ObjectModelDeathTest, MethodOnADeletedChildNamesItsLevel) {
    Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf) box:remove_all()");
    EXPECT_EXIT(Run("leaf:set_x(5)"), testing::ExitedWithCode(kExitFatal),
                "Trying to call method 'set_x' from a deleted C\\+\\+ object of GameClass type");
    EXPECT_EXIT(Run("leaf:collect_then_owner_id()"), testing::ExitedWithCode(kExitFatal),
                "Trying to call method 'collect_then_owner_id' from a deleted C\\+\\+ object of TestLeaf type");
}

// A script may keep the box itself in another table; deleting the object must clear
// the box, not only the original table's [0].
TEST_F(ObjectModelDeathTest, CopiedBoxOfADeletedChildIsCleared) {
    Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf)"
        "copy = {[0] = leaf[0], set_x = leaf.set_x} box:remove_all()");
    EXPECT_EXIT(Run("copy:set_x(5)"), testing::ExitedWithCode(kExitFatal), "from a deleted C\\+\\+ object");
}

TEST_F(ObjectModelDeathTest, CollectedBoxNoLongerReachesTheObject) {
    Run("leaf = TestLeaf() getmetatable(leaf[0]).__gc(leaf[0])");
    EXPECT_EXIT(Run("leaf:set_x(5)"), testing::ExitedWithCode(kExitFatal),
                "Trying to call method 'set_x' from a deleted C\\+\\+ object of GameClass type");
}

// At close every box is collected; a script that still runs then (on_destroy of a child
// deleted with its container) must find the boxes cleared, not freed objects.
TEST_F(ObjectModelDeathTest, BoxesCollectedAtCloseAreCleared) {
    Run("box = TestContainer() child = TestLeaf() box:attach(child)"
        "child.on_destroy = function() other:set_x(1) end child:finalize_setup()"
        "other = TestLeaf()");
    EXPECT_EXIT(LuaCloseState(), testing::ExitedWithCode(kExitFatal),
                "Trying to call method 'set_x' from a deleted C\\+\\+ object of GameClass type");
    Native<TestLeaf>("child")->onDestroy.bound = false;
}

// The table and the box come before the object: wherever memory runs out, every object
// made has an owner that deletes it.
TEST_F(ObjectModelTest, ConstructorThatRunsOutOfMemoryLeavesNoObjectBehind) {
    const MemoryRuns runs = RunWithScarceMemory(L, "TestLeaf()", 120);
    EXPECT_GT(runs.outOfMemory, 0);
    EXPECT_LT(runs.outOfMemory, 120);
    EXPECT_EQ(runs.otherErrors, 0);
    CollectAndDelete();
    EXPECT_GT(TestLeaf::created, 0);
    EXPECT_EQ(TestLeaf::destroyed, TestLeaf::created);
}

TEST_F(ObjectModelTest, ClosingTheStateDeletesEveryObjectItOwns) {
    Run("box = TestContainer() box:attach(TestLeaf()) box:attach(TestLeaf()) loose = TestLeaf()"
        "dropped = TestContainer() dropped = nil");
    lua_gc(L, LUA_GCCOLLECT, 0);  // queued, not yet deleted
    EXPECT_EQ(TestContainer::destroyed, 0);
    LuaCloseState();
    EXPECT_EQ(TestLeaf::destroyed, 3);
    EXPECT_EQ(TestContainer::destroyed, 2);
}

TEST_F(ObjectModelTest, MethodOnATableWithoutAFittingBoxIsAScriptError) {
    lua_pushlightuserdata(L, &TestLeaf::destroyed);
    lua_setglobal(L, "light");
    Run("leaf = TestLeaf() box = TestContainer()");
    struct Case {
        const char* call;
        const char* message;
    } const cases[] = {
        {"leaf.collect_then_owner_id(box)", "called on an object of another type"},
        {"box.attach({[0] = light}, leaf)", "called on a table that holds no object"},
        {"leaf.set_x({[0] = newproxy(true)}, 1)", "called on a table that holds no object"},
        {"leaf.set_x(5)", "called without its object"},
        {"box:attach(box)", "Argument 2 is not an object of TestLeaf type"},
        {"box:attach({[0] = light})", "Argument 2 is not an object table"},
        {"box:attach(42)", "Argument 2 is not an object table"},
    };
    for (const Case& c : cases) EXPECT_NE(Fail(c.call).find(c.message), std::string::npos) << c.call;
    EXPECT_EQ(Native<TestContainer>("box")->children.size(), 0u);
}

// What a script can do to a box with the base and debug libraries. Each row runs in a
// fresh state on an attached leaf (with an on_destroy) and a loose one, then the
// container is emptied, the dropped objects deleted and the state closed: every object
// is deleted exactly once and nothing reaches freed memory (the sanitized run checks).
TEST_F(ObjectModelTest, TamperedBoxesNeitherCrashNorLeak) {
    struct Case {
        const char* name;
        const char* tamper;
        const char* error;  // what the tampering ends in; null when it runs through
    } const cases[] = {
        {"registry entries of the attached leaf cleared, its box collected",
         "local r = debug.getregistry() for k, v in pairs(r) do if v == leaf or v == leaf[0] then r[k] = nil end "
         "end leaf[0] = nil leaf = nil collectgarbage()",
         nullptr},
        {"registry entry of the attached leaf's table replaced by a number",
         "local r = debug.getregistry() for k, v in pairs(r) do if v == leaf then r[k] = 5 end end "
         "leaf:finalize_setup()",
         nullptr},
        {"attached box given its class metatable back, then collected",
         "local b = leaf[0] debug.setmetatable(b, debug.getregistry().TestLeaf) leaf[0] = 0 b = nil "
         "collectgarbage() count = box:count()",
         nullptr},
        {"loose box without a metatable, dropped", "debug.setmetatable(loose[0], nil) loose = nil collectgarbage()",
         nullptr},
        {"class finaliser taken from the metatable",
         "getmetatable(loose[0]).__gc = nil loose = nil collectgarbage()", nullptr},
        {"class metatable given a raising metatable",
         "setmetatable(getmetatable(loose[0]), {__index = error, __newindex = error, __gc = error}) "
         "loose = nil collectgarbage()",
         nullptr},
        {"finaliser called by hand on a loose box, twice",
         "local b = loose[0] getmetatable(b).__gc(b) getmetatable(b).__gc(b) loose = nil", nullptr},
        {"finaliser called by hand on the attached box", "debug.getregistry().TestLeaf.__gc(leaf[0])",
         "TestLeaf expected"},
        {"finaliser of another class called on a box", "debug.getregistry().TestContainer.__gc(loose[0])",
         "TestContainer expected"},
        {"[0] replaced by another userdata", "leaf[0] = newproxy(true) leaf:set_x(1)", "holds no object"},
        {"[0] replaced by a box of another class", "leaf[0] = box[0] leaf:x()", "of another type"},
        {"method called with every userdata of the registry as a forged box",
         "for _, v in pairs(debug.getregistry()) do if type(v) == 'userdata' then "
         "local ok, e = pcall(leaf.set_x, {[0] = v}, 1) assert(not ok) last = e end end error(last)",
         "holds no object"},
        {"metatables of the registry's userdata and a loose box swapped, finalisers called by hand",
         "for _, v in pairs(debug.getregistry()) do local m = type(v) == 'userdata' and getmetatable(v) "
         "if m and m.__gc then debug.setmetatable(v, getmetatable(loose[0])) debug.setmetatable(loose[0], m) "
         "pcall(m.__gc, v) pcall(getmetatable(v).__gc, v) end end loose = nil collectgarbage()",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (&c != cases) SetUp();
        Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf) loose = TestLeaf()"
            "leaf.on_destroy = function() destroyed_leaf = true end leaf:finalize_setup()");
        const std::string error = Fail(c.tamper);
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        } else {
            EXPECT_EQ(error, "<no error>");
        }
        Run("pcall(box.remove_all, box) collectgarbage()");
        LuaDeleteDroppedObjects(L);
        LuaCloseState();
        EXPECT_EQ(TestLeaf::created, 2);
        EXPECT_EQ(TestLeaf::destroyed, 2);
        EXPECT_EQ(TestContainer::destroyed, 1);
    }
}

// Records are reused: a box kept past its object's deletion must not reach the object
// that takes the record next.
TEST_F(ObjectModelDeathTest, StaleBoxMissesTheRecordsNextObject) {
    Run("old = TestLeaf() kept = old[0] getmetatable(kept).__gc(kept) old = nil");
    LuaDeleteDroppedObjects(L);
    Run("new = TestLeaf() new:set_x(3)");
    EXPECT_EXIT(Run("new.set_x({[0] = kept}, 5)"), testing::ExitedWithCode(kExitFatal),
                "from a deleted C\\+\\+ object");
}

TEST_F(ObjectModelTest, AttachingTwiceOrToASecondContainerIsRefused) {
    Run("first = TestContainer() second = TestContainer() leaf = TestLeaf() first:attach(leaf)");
    EXPECT_NE(Fail("first:attach(leaf)").find("already attached"), std::string::npos);
    EXPECT_NE(Fail("second:attach(leaf)").find("already attached"), std::string::npos);
    Run("a = first:count() b = second:count()");
    EXPECT_EQ(Number("a"), 1);
    EXPECT_EQ(Number("b"), 0);
}

TEST_F(ObjectModelTest, AttachingADeletedObjectIsRefused) {
    Run("first = TestContainer() leaf = TestLeaf() first:attach(leaf) first:remove_all() second = TestContainer()");
    EXPECT_NE(Fail("second:attach(leaf)").find("not an object table"), std::string::npos);
}

// A container the script dropped must not be deleted while a native method of one of
// its children runs: the collector only queues it.
TEST_F(ObjectModelTest, DroppedContainerWaitsForTheSafePoint) {
    Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf) box = nil "
        "owner = leaf:collect_then_owner_id()");
    EXPECT_EQ(Global("owner"), "container");
    EXPECT_EQ(TestContainer::destroyed, 0);
    EXPECT_EQ(LuaDroppedObjectCount(L), 1u);
    LuaDeleteDroppedObjects(L);
    EXPECT_EQ(TestContainer::destroyed, 1);
    EXPECT_EQ(TestLeaf::destroyed, 1);
    EXPECT_EQ(LuaDroppedObjectCount(L), 0u);
}

TEST_F(ObjectModelTest, BindingAgainUnbindsThePreviousTable) {
    Run("leaf = TestLeaf() first = {} second = {}");
    TestLeaf* leaf = Native<TestLeaf>("leaf");
    for (const char* name : {"first", "second"}) {
        lua_pushnil(L);
        lua_getglobal(L, name);
        leaf->bindTable(L);
        lua_pop(L, 2);
    }
    Run("a = first[0]");
    EXPECT_EQ(Number("a"), 0);
    LuaClass::pushTable(L, leaf);
    lua_getglobal(L, "second");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_pop(L, 2);
    leaf->unbindTable();
    Run("b = second[0]");
    EXPECT_EQ(Number("b"), 0);
    LuaClass::pushTable(L, leaf);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
}

// Bound tables are keyed by light userdata that no other bound object shares, also
// after objects were unbound and bound again in any order.
TEST_F(ObjectModelTest, EveryBoundTableHasARegistryKeyOfItsOwn) {
    Run("a = TestLeaf() b = TestLeaf() ta = {} tb = {} tb2 = {}");
    TestLeaf* leaves[] = {Native<TestLeaf>("a"), Native<TestLeaf>("b")};
    const auto bind = [&](TestLeaf* leaf, const char* table) {
        lua_pushnil(L);
        lua_getglobal(L, table);
        leaf->bindTable(L);
        lua_pop(L, 2);
    };
    bind(leaves[0], "ta");
    bind(leaves[1], "tb");
    leaves[0]->unbindTable();
    bind(leaves[1], "tb2");
    bind(leaves[0], "ta");
    const char* const expected[] = {"ta", "tb2"};
    for (int i = 0; i < 2; ++i) {
        LuaClass::pushTable(L, leaves[i]);
        lua_getglobal(L, expected[i]);
        EXPECT_TRUE(lua_rawequal(L, -1, -2)) << expected[i];
        lua_pop(L, 2);
    }
    Run("keys = {} for k, v in pairs(debug.getregistry()) do if v == ta or v == tb or v == tb2 then "
        "keys[#keys + 1] = type(k) end end keys = table.concat(keys, ' ')");
    EXPECT_EQ(Global("keys"), "userdata userdata");
    leaves[0]->unbindTable();
    leaves[1]->unbindTable();
}

TEST_F(ObjectModelTest, BoundObjectRemembersTheMainStateNotACoroutine) {
    Run("box = TestContainer() leaf = TestLeaf()"
        "co = coroutine.create(function() box:attach(leaf) end) coroutine.resume(co) co = nil");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(Native<TestLeaf>("leaf")->luaState(), L);
    Run("leaf.on_kill = function() killed = 'yes' end leaf:finalize_setup()");
    ScriptCallback::fire("on_kill", Native<TestLeaf>("leaf")->onKill, nullptr, Native<TestLeaf>("leaf"));
    EXPECT_EQ(Global("killed"), "yes");
}

TEST_F(ObjectModelTest, UnboundObjectsCallNothing) {
    Run("leaf = TestLeaf() leaf.on_kill = function() killed = true end");
    TestLeaf* leaf = Native<TestLeaf>("leaf");
    EXPECT_FALSE(leaf->hasLuaFunction("on_kill"));
    leaf->callLuaFunction("on_kill");
    EXPECT_EQ(Global("killed"), "nil");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ObjectModelTest, CallbacksFireOwnFunctionThenTheParents) {
    Run("box = TestContainer() leaf = TestLeaf() box:attach(leaf) order = ''"
        "function leaf:on_kill() order = order .. 'own ' end "
        "function box:leaf_died(child) order = order .. 'parent:' .. child:id() end");
    TestLeaf* leaf = Native<TestLeaf>("leaf");
    TestContainer* box = Native<TestContainer>("box");
    lua_settop(L, 0);
    lua_pushnil(L);  // bound as a container attached to its own parent would be
    lua_getglobal(L, "box");
    box->bindTable(L);
    lua_settop(L, 0);
    const ScriptCallback callback{true, true, "leaf_died"};
    ScriptCallback::fire("on_kill", callback, box, leaf);
    EXPECT_EQ(Global("order"), "own parent:leaf");
    const ScriptCallback forwardOnly{false, true, "leaf_died"};
    Run("order = ''");
    ScriptCallback::fire("on_kill", forwardOnly, nullptr, leaf);
    EXPECT_EQ(Global("order"), "");
    EXPECT_EQ(lua_gettop(L), 0);
}

struct ReaderCase {
    const char* call;
    bool accepted;
};

class ArgumentReaders : public ObjectModelTest, public testing::WithParamInterface<ReaderCase> {};
using ArgumentReadersDeathTest = ArgumentReaders;

void PrintTo(const ReaderCase& c, std::ostream* out) { *out << c.call; }

TEST_P(ArgumentReadersDeathTest, AcceptOrStopWithWrongArgument) {
    Run("leaf = TestLeaf()");
    const ReaderCase& c = GetParam();
    if (c.accepted) {
        Run(c.call);
    } else {
        EXPECT_EXIT(Run(c.call), testing::ExitedWithCode(kExitFatal), "Wrong argument for function");
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, ArgumentReadersDeathTest,
                         testing::Values(ReaderCase{"leaf:set_z('12')", true}, ReaderCase{"leaf:set_z(3)", true},
                                         ReaderCase{"leaf:set_z('twelve')", false},
                                         ReaderCase{"leaf:set_z()", false}, ReaderCase{"leaf:set_id(7)", true},
                                         ReaderCase{"leaf:set_id()", false},
                                         ReaderCase{"leaf:set_id(true)", false},
                                         ReaderCase{"leaf:set_enabled(false)", true},
                                         ReaderCase{"leaf:set_enabled(0)", false},
                                         ReaderCase{"leaf:set_enabled(1)", false},
                                         ReaderCase{"leaf:set_enabled(nil)", false},
                                         ReaderCase{"leaf:set_enabled()", false}));

TEST_F(ObjectModelTest, ReadersConvertNumbersAndStrings) {
    Run("leaf = TestLeaf() leaf:set_z('12') z = leaf:z() leaf:set_id(7) id = leaf:id()"
        "id_type = type(leaf:id())");
    EXPECT_EQ(Number("z"), 12);
    EXPECT_EQ(Global("id"), "7");
    EXPECT_EQ(Global("id_type"), "string");
    lua_settop(L, 0);
    lua_pushnil(L);
    lua_pushstring(L, "2.5");
    lua_pushboolean(L, 1);
    EXPECT_FLOAT_EQ(LuaArgNumberOr(L, 2, 9), 2.5f);
    EXPECT_FLOAT_EQ(LuaArgNumberOr(L, 3, 9), 9);
    EXPECT_FLOAT_EQ(LuaArgNumberOr(L, 4, 9), 9);
    lua_settop(L, 0);
}

}  // namespace
