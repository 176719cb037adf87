#include "script/lua_bound.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

#include "core/log.h"
#include "script/lua_base.h"

namespace {

constexpr uint64_t kBoxTag = 0x76656c6b426f7821ULL;

// One per state, in a registry userdata made before any object: the main thread (a
// method may run in a coroutine, whose state must not be remembered) and the objects
// that the collector let go of.
struct ObjectModel {
    lua_State* main;
    std::vector<LuaClass*> dropped;
    bool closing = false;
};

char g_modelKey;

ObjectModel* FindModel(lua_State* L) {
    lua_pushlightuserdata(L, &g_modelKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* model = static_cast<ObjectModel*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return model;
}

lua_State* MainState(lua_State* L) {
    const ObjectModel* model = FindModel(L);
    return model ? model->main : L;
}

void DeleteQueued(ObjectModel& model) {
    while (!model.dropped.empty()) {
        // Deleting can run on_destroy scripts, which can drop more objects.
        std::vector<LuaClass*> batch;
        batch.swap(model.dropped);
        for (LuaClass* object : batch) delete object;
    }
}

// The record is the last of our userdata to be finalised when the state closes (it
// was made first): everything the collector queued by then is deleted here, while
// the state still works, and from now on dropped objects go at once.
int CloseModel(lua_State* L) {
    auto* model = static_cast<ObjectModel*>(lua_touserdata(L, 1));
    if (!model || model->closing) return 0;
    model->closing = true;
    DeleteQueued(*model);
    // The record itself stays readable until the state frees it; only its buffer goes.
    std::vector<LuaClass*>().swap(model->dropped);
    return 0;
}

// Our box, or null for any other value.
ObjectBox* ToBox(lua_State* L, int index) {
    if (lua_type(L, index) != LUA_TUSERDATA || lua_objlen(L, index) != sizeof(ObjectBox)) return nullptr;
    auto* box = static_cast<ObjectBox*>(lua_touserdata(L, index));
    return box->tag == kBoxTag ? box : nullptr;
}

// Pushes element [0] of the table at the index (nil for a non-table).
void PushElementZero(lua_State* L, int index) {
    if (lua_istable(L, index)) {
        lua_rawgeti(L, index, 0);
    } else {
        lua_pushnil(L);
    }
}

// The box of the object table that is argument 2, or null.
ObjectBox* ArgumentBox(lua_State* L) {
    PushElementZero(L, 2);
    ObjectBox* box = ToBox(L, -1);
    lua_pop(L, 1);
    return box;
}

[[noreturn]] void RaiseScriptError(lua_State* L, const char* message) {
    LuaErrorf(L, "%s", message);
    std::abort();  // LuaErrorf does not return
}

[[noreturn]] void RaiseMethodError(lua_State* L, const char* format, const char* method, const char* className) {
    char message[512];
    std::snprintf(message, sizeof message, format, method, className);
    RaiseScriptError(L, message);
}

void SetRegistryEntry(lua_State* L, const void* key, int valueIndex) {
    lua_pushlightuserdata(L, const_cast<void*>(key));
    lua_pushvalue(L, valueIndex);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

void ClearRegistryEntry(lua_State* L, const void* key) {
    lua_pushlightuserdata(L, const_cast<void*>(key));
    lua_pushnil(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

}  // namespace

LuaClass::~LuaClass() {
    releaseBox();
    unbindTable();
}

void LuaClass::releaseBox() {
    if (!box_) return;
    box_->object = nullptr;
    if (boxAnchor_) ClearRegistryEntry(boxAnchor_, box_);
    box_ = nullptr;
    boxAnchor_ = nullptr;
}

void LuaClass::pushOwnTable() const {
    lua_pushlightuserdata(state_, const_cast<LuaClass*>(this));
    lua_rawget(state_, LUA_REGISTRYINDEX);
}

bool LuaClass::hasLuaFunction(const char* name) const {
    if (!state_) return false;
    pushOwnTable();
    lua_getfield(state_, -1, name);
    const bool function = lua_isfunction(state_, -1);
    lua_pop(state_, 2);
    return function;
}

bool LuaClass::pushFunctionCall(const char* name) const {
    if (!state_) return false;
    pushOwnTable();
    lua_getfield(state_, -1, name);
    lua_insert(state_, -2);
    return true;
}

void LuaClass::callLuaFunction(const char* name) {
    if (pushFunctionCall(name)) LuaCallProtected(1, 0, "LuaClass::callLuaFunction", __FILE__, __LINE__);
}

void LuaClass::callLuaFunction(const char* name, float number) {
    if (!pushFunctionCall(name)) return;
    lua_pushnumber(state_, number);
    LuaCallProtected(2, 0, "LuaClass::callLuaFunction", __FILE__, __LINE__);
}

void LuaClass::callLuaFunction(const char* name, const LuaClass* other) {
    if (!pushFunctionCall(name)) return;
    pushTable(state_, other);
    LuaCallProtected(2, 0, "LuaClass::callLuaFunction", __FILE__, __LINE__);
}

void LuaClass::pushTable(lua_State* L, const LuaClass* object) {
    if (!object || !object->state_) {
        lua_pushnil(L);
        return;
    }
    lua_pushlightuserdata(L, const_cast<LuaClass*>(object));
    lua_rawget(L, LUA_REGISTRYINDEX);
}

void LuaClass::bindTable(lua_State* L) {
    unbindTable();
    SetRegistryEntry(L, this, 2);
    state_ = MainState(L);
}

void LuaClass::unbindTable() {
    if (!state_) return;
    pushOwnTable();
    if (lua_istable(state_, -1)) {
        lua_pushnumber(state_, 0);
        lua_rawseti(state_, -2, 0);
    }
    lua_pop(state_, 1);
    ClearRegistryEntry(state_, this);
    state_ = nullptr;
}

void ScriptCallback::fire(const char* name, const ScriptCallback& callback, LuaClass* parent, LuaClass* object) {
    // The own function may delete the object, and the callback with it.
    const bool forward = callback.forward;
    const std::string method = callback.method;
    if (callback.bound) object->callLuaFunction(name);
    if (forward && parent) parent->callLuaFunction(method.c_str(), object);
}

void LuaOpenObjectModel(lua_State* L) {
    if (FindModel(L)) return;
    lua_pushlightuserdata(L, &g_modelKey);
    new (lua_newuserdata(L, sizeof(ObjectModel))) ObjectModel{L, {}, false};
    lua_newtable(L);
    lua_pushcfunction(L, CloseModel);
    lua_setfield(L, -2, "__gc");
    lua_setmetatable(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

void LuaPushEmptyObject(lua_State* L, const char* className) {
    // Room for [0] and the GameClass level's methods from the start: no rehash on the way.
    lua_createtable(L, 0, 48);
    auto* box = static_cast<ObjectBox*>(lua_newuserdata(L, sizeof(ObjectBox)));
    *box = ObjectBox{nullptr, kBoxTag};
    luaL_getmetatable(L, className);
    lua_setmetatable(L, -2);
    lua_rawseti(L, -2, 0);
}

void LuaFillObject(lua_State* L, LuaClass* object) {
    lua_rawgeti(L, -1, 0);
    auto* box = static_cast<ObjectBox*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    box->object = object;
    object->box_ = box;
    // From here on the box owns the object: a failing allocation leaves it to the collector.
    object->registerMethods(L);
}

int LuaCollectObject(lua_State* L, const char* className) {
    auto* box = static_cast<ObjectBox*>(luaL_checkudata(L, 1, className));
    LuaClass* object = box->object;
    if (!object) return 0;
    box->object = nullptr;
    object->box_ = nullptr;
    LuaDeleteLater(L, object);
    return 0;
}

void LuaDeleteLater(lua_State* L, LuaClass* object) {
    ObjectModel* model = FindModel(L);
    if (!model || model->closing) {
        delete object;
        return;
    }
    model->dropped.push_back(object);
}

void LuaDeleteDroppedObjects(lua_State* L) {
    if (ObjectModel* model = FindModel(L)) DeleteQueued(*model);
}

std::size_t LuaDroppedObjectCount(lua_State* L) {
    const ObjectModel* model = FindModel(L);
    return model ? model->dropped.size() : 0;
}

LuaClass* LuaMethodObject(lua_State* L, const char* method, const char* className, const char* file, int line) {
    if (!lua_istable(L, 1))
        RaiseMethodError(L, "Method '%s' of %s type called without its object (use ':')", method, className);
    lua_rawgeti(L, 1, 0);
    const int type = lua_type(L, -1);
    const ObjectBox* box = ToBox(L, -1);
    lua_pop(L, 1);
    if (type == LUA_TLIGHTUSERDATA || (type == LUA_TUSERDATA && !box))
        RaiseMethodError(L, "Method '%s' of %s type called on a table that holds no object", method, className);
    if (!box || !box->object)
        LogError(file, line, "Trying to call method '%s' from a deleted C++ object of %s type", method, className);
    return box->object;
}

void LuaRaiseWrongClass(lua_State* L, const char* method, const char* className) {
    RaiseMethodError(L, "Method '%s' of %s type called on an object of another type", method, className);
}

LuaClass* LuaArgAnyObject(lua_State* L) {
    const ObjectBox* box = ArgumentBox(L);
    if (!box) RaiseScriptError(L, "Argument 2 is not an object table");
    if (!box->object) RaiseScriptError(L, "Argument 2 is a deleted C++ object");
    return box->object;
}

LuaClass* LuaArgAnyObjectOrNull(lua_State* L) {
    const ObjectBox* box = ArgumentBox(L);
    return box ? box->object : nullptr;
}

void LuaRaiseArgumentClass(lua_State* L, const char* className) {
    char message[256];
    std::snprintf(message, sizeof message, "Argument 2 is not an object of %s type", className);
    RaiseScriptError(L, message);
}

void LuaDisownBox(lua_State* L) {
    PushElementZero(L, 2);
    ObjectBox* box = ToBox(L, -1);
    if (box && box->object) {
        lua_pushnil(L);
        lua_setmetatable(L, -2);
        // Nothing but the registry may be left holding the box once the script lets go
        // of the table's [0]: the object clears it when it is deleted.
        LuaClass* object = box->object;
        SetRegistryEntry(L, box, lua_gettop(L));
        object->boxAnchor_ = MainState(L);
    }
    lua_pop(L, 1);
}

void LuaRefuseAttached(lua_State* L, const LuaClass& child) {
    if (child.isBound()) RaiseScriptError(L, "The object is already attached to a container");
}

void LuaAdoptChild(lua_State* L, LuaClass& child) {
    LuaDisownBox(L);
    child.bindTable(L);
}
