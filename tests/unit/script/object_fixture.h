#pragma once
// Small script classes over GameClass for the object-model tests: a leaf that reports
// its destruction and a container that owns leaves, attached the way the scene graph
// attaches its children.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "script/game_class.h"
#include "script/lua_base.h"
#include "script/lua_binder.h"
#include "script/scene_walk.h"

class TestContainer;

class TestLeaf : public GameClass {
public:
    static constexpr const char* kClassName = "TestLeaf";
    static const MethodEntry<TestLeaf> methods[];
    static inline int destroyed = 0;
    static inline int created = 0;

    TestLeaf() {
        id = "leaf";
        ++created;
    }
    ~TestLeaf() override {
        ++destroyed;
        if (onDestroy.bound) callLuaFunction("on_destroy");
    }
    void registerMethods(lua_State* L) override {
        GameClass::registerMethods(L);
        LuaBinder<TestLeaf>::registerMethods(L);
    }

    // Replaces the GameClass-level "x" in the table.
    int luaX(lua_State* L) {
        lua_pushstring(L, "leaf x");
        return 1;
    }
    // A native method during which the collector runs, then the owner is used.
    int luaCollectThenOwnerId(lua_State* L);

    TestContainer* owner = nullptr;
};

class TestContainer : public GameClass {
public:
    static constexpr const char* kClassName = "TestContainer";
    static const MethodEntry<TestContainer> methods[];
    static inline int destroyed = 0;

    TestContainer() { id = "container"; }
    ~TestContainer() override {
        ++destroyed;
        removeAll();
        SceneWalk::deleteQueuedChildren(*this);
    }
    void registerMethods(lua_State* L) override {
        GameClass::registerMethods(L);
        LuaBinder<TestContainer>::registerMethods(L);
    }
    // As the scene's containers do: nothing is deleted while a walk is open.
    void removeAll() {
        for (TestLeaf* child : children) SceneWalk::deleteLater(child, this);
        children.clear();
    }

    int luaAttach(lua_State* L) {
        TestLeaf* child = LuaArgChild<TestLeaf>(L);
        children.push_back(child);
        child->owner = this;
        LuaAdoptChild(L, *child);
        return 0;
    }
    int luaRemoveAll(lua_State*) {
        removeAll();
        return 0;
    }
    int luaCount(lua_State* L) {
        lua_pushnumber(L, static_cast<lua_Number>(children.size()));
        return 1;
    }
    int luaChild(lua_State* L) {
        const auto index = static_cast<std::size_t>(LuaArgNumber(L, 2));
        pushTable(L, index < children.size() ? children[index] : nullptr);
        return 1;
    }

    std::vector<TestLeaf*> children;
};

inline int TestLeaf::luaCollectThenOwnerId(lua_State* L) {
    lua_gc(L, LUA_GCCOLLECT, 0);
    lua_pushstring(L, owner ? owner->id.c_str() : "none");
    return 1;
}

inline const MethodEntry<TestLeaf> TestLeaf::methods[] = {
    {"x", &TestLeaf::luaX},
    {"collect_then_owner_id", &TestLeaf::luaCollectThenOwnerId},
    {nullptr, nullptr},
};

inline const MethodEntry<TestContainer> TestContainer::methods[] = {
    {"attach", &TestContainer::luaAttach},
    {"remove_all", &TestContainer::luaRemoveAll},
    {"count", &TestContainer::luaCount},
    {"child", &TestContainer::luaChild},
    {nullptr, nullptr},
};

class ObjectModelTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        g_config.create_log = true;  // fatal texts reach stderr only with the log on
        TestLeaf::destroyed = 0;
        TestLeaf::created = 0;
        TestContainer::destroyed = 0;
        LuaCreateState();
        L = LuaGetState();
        LuaBinder<TestLeaf>::Register(L);
        LuaBinder<TestContainer>::Register(L);
    }
    void TearDown() override { LuaCloseState(); }

    void Run(const std::string& code) { ASSERT_EQ(luaL_dostring(L, code.c_str()), 0) << lua_tostring(L, -1); }
    // The message of a script that must fail.
    std::string Fail(const std::string& code) {
        if (luaL_dostring(L, code.c_str()) == 0) return "<no error>";
        std::string message = lua_tostring(L, -1);
        lua_pop(L, 1);
        return message;
    }
    std::string Global(const char* name) {
        lua_getglobal(L, name);
        std::string text = lua_isstring(L, -1) ? lua_tostring(L, -1) : luaL_typename(L, -1);
        lua_pop(L, 1);
        return text;
    }
    double Number(const char* name) {
        lua_getglobal(L, name);
        const double number = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return number;
    }
    void CollectAndDelete() {
        lua_gc(L, LUA_GCCOLLECT, 0);
        LuaDeleteDroppedObjects(L);
    }
    // The native object behind a global object table.
    template <class T>
    T* Native(const char* name) {
        lua_getglobal(L, name);
        lua_rawgeti(L, -1, 0);
        T* object = dynamic_cast<T*>(LuaToObject(L, -1));
        lua_pop(L, 2);
        return object;
    }

    lua_State* L = nullptr;
};
