#include "script/lua_bound.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <vector>

#include "core/log.h"
#include "script/lua_base.h"

struct ObjectModel;

// What a box names. Records are reused: a box keeps the generation it was made with,
// so once its object is gone the record's next object is out of its reach.
struct ObjectRecord {
    LuaClass* object = nullptr;
    uint64_t generation = 0;
    // Until the object is attached its box's finaliser deletes it; then its container does.
    bool ownedByBox = false;
    ObjectModel* model = nullptr;
    ObjectRecord* nextFree = nullptr;
};

// One per state, engine-owned (nothing a script does to the registry reaches it): the
// main thread (a method may run in a coroutine, whose state must not be remembered),
// the objects the collector let go of, and the records the boxes name.
struct ObjectModel {
    ObjectModel(const void* registry, lua_State* main) : registry(registry), main(main) {}

    const void* registry;  // the state's identity, the same from every thread
    lua_State* main;
    std::vector<LuaClass*> dropped;
    bool closing = false;  // the state is being closed
    bool deletingAtOnce = false;  // its finalisers have run: nothing waits for a safe point
    std::deque<ObjectRecord> records;  // a deque: records never move
    ObjectRecord* freeRecords = nullptr;

    ObjectRecord& take(LuaClass& object);
    static void retire(LuaClass& object);
    void deleteQueued();
    void deleteLeftovers();
    void forgetState();
    void letGoOfObjects();
};

ObjectRecord& ObjectModel::take(LuaClass& object) {
    ObjectRecord* record = freeRecords;
    if (record) {
        freeRecords = record->nextFree;
    } else {
        record = &records.emplace_back();
        record->model = this;
    }
    record->object = &object;
    record->ownedByBox = true;
    object.record_ = record;
    return *record;
}

void ObjectModel::retire(LuaClass& object) {
    ObjectRecord* record = object.record_;
    if (!record) return;
    object.record_ = nullptr;
    record->object = nullptr;
    record->ownedByBox = false;
    ++record->generation;
    record->nextFree = record->model->freeRecords;
    record->model->freeRecords = record;
}

void ObjectModel::deleteQueued() {
    while (!dropped.empty()) {
        // Deleting can run on_destroy scripts, which can drop more objects.
        std::vector<LuaClass*> batch;
        batch.swap(dropped);
        for (LuaClass* object : batch) delete object;
    }
}

// Every box has been finalised: what waits in the queue goes, and so does what a box
// still owns (a script took its finaliser away). Deleting can run on_destroy scripts,
// which can make more objects.
void ObjectModel::deleteLeftovers() {
    deletingAtOnce = true;
    deleteQueued();
    for (bool deleted = true; deleted;) {
        deleted = false;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!records[i].object || !records[i].ownedByBox) continue;
            delete records[i].object;
            deleted = true;
        }
    }
    std::vector<LuaClass*>().swap(dropped);
}

void ObjectModel::forgetState() {
    for (const ObjectRecord& record : records)
        if (record.object) record.object->state_ = nullptr;
}

void ObjectModel::letGoOfObjects() {
    for (const ObjectRecord& record : records)
        if (record.object) record.object->record_ = nullptr;
}

namespace {

constexpr uint64_t kBoxTag = 0x76656c6b426f7821ULL;

// The full userdata at element [0] of an object's table.
struct ObjectBox {
    ObjectRecord* record;
    uint64_t generation;
    uint64_t tag;  // tells our boxes from any other userdata of the same size
};

std::vector<std::unique_ptr<ObjectModel>> g_models;

char g_closeKey;

ObjectModel* FindModel(lua_State* L) {
    const void* registry = lua_topointer(L, LUA_REGISTRYINDEX);
    for (const auto& model : g_models)
        if (model->registry == registry) return model.get();
    return nullptr;
}

lua_State* MainState(lua_State* L) {
    const ObjectModel* model = FindModel(L);
    return model ? model->main : L;
}

// The finaliser of an empty userdata made before any box, so it runs after every box's
// when the state closes. Called by a script, it does nothing.
int FinishClosing(lua_State* L) {
    ObjectModel* model = FindModel(L);
    if (model && model->closing && !model->deletingAtOnce) model->deleteLeftovers();
    return 0;
}

ObjectModel& OpenModel(lua_State* L) {
    if (ObjectModel* model = FindModel(L)) return *model;
    auto& model = g_models.emplace_back(std::make_unique<ObjectModel>(lua_topointer(L, LUA_REGISTRYINDEX), L));
    lua_pushlightuserdata(L, &g_closeKey);
    lua_newuserdata(L, 0);
    lua_newtable(L);
    lua_pushcfunction(L, FinishClosing);
    lua_setfield(L, -2, "__gc");
    lua_setmetatable(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return *model;
}

// Named by a box made but never filled (memory ran out in between): matches no box.
ObjectRecord g_noRecord{nullptr, 1};

// Our box, or null for any other full userdata at the index.
ObjectBox* UserdataBox(lua_State* L, int index) {
    if (lua_objlen(L, index) != sizeof(ObjectBox)) return nullptr;
    auto* box = static_cast<ObjectBox*>(lua_touserdata(L, index));
    return box->tag == kBoxTag ? box : nullptr;
}

// Our box, or null for any other value.
ObjectBox* ToBox(lua_State* L, int index) {
    return lua_type(L, index) == LUA_TUSERDATA ? UserdataBox(L, index) : nullptr;
}

// The record of the box's object while that object lives, else null.
ObjectRecord* LiveRecord(const ObjectBox* box) {
    if (!box || box->record->generation != box->generation) return nullptr;
    return box->record;
}

LuaClass* BoxObject(const ObjectBox* box) {
    const ObjectRecord* record = LiveRecord(box);
    return record ? record->object : nullptr;
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
const ObjectBox* ArgumentBox(lua_State* L) {
    PushElementZero(L, 2);
    const ObjectBox* box = ToBox(L, -1);
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

// Small numbers, which no address of the program's own (the registry's other light
// userdata keys) can be.
void* NextRegistryKey() {
    static std::uintptr_t bindings = 0;
    return reinterpret_cast<void*>(++bindings);
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

// Called with an object's table, a function name and the arguments: calls table[name]
// with the table and the arguments, and returns what it returns.
int CallNamedMethod(lua_State* L) {
    lua_pushvalue(L, 2);
    lua_gettable(L, 1);
    lua_replace(L, 2);  // table, function, arguments
    lua_pushvalue(L, 2);
    lua_insert(L, 1);
    lua_remove(L, 3);  // function, table, arguments
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

}  // namespace

LuaClass::~LuaClass() {
    ObjectModel::retire(*this);
    unbindTable();
}

bool LuaClass::pushOwnTable() const {
    lua_pushlightuserdata(state_, registryKey_);
    lua_rawget(state_, LUA_REGISTRYINDEX);
    if (lua_istable(state_, -1)) return true;
    // The debug library can take the table out of the registry: nothing to call then.
    lua_pop(state_, 1);
    return false;
}

bool LuaClass::hasLuaFunction(const char* name) const {
    if (!state_ || !pushOwnTable()) return false;
    lua_getfield(state_, -1, name);
    const bool function = lua_isfunction(state_, -1);
    lua_pop(state_, 2);
    return function;
}

bool LuaClass::pushFunctionCall(const char* name) const {
    if (!state_) return false;
    LuaPushSharedFunction(state_, CallNamedMethod);
    if (!pushOwnTable()) {
        lua_pop(state_, 1);
        return false;
    }
    lua_pushstring(state_, name);
    return true;
}

void LuaClass::callLuaFunction(const char* name) {
    if (pushFunctionCall(name))
        LuaCallProtected(kMethodCallArguments, 0, "LuaClass::callLuaFunction", __FILE__, __LINE__);
}

void LuaClass::callLuaFunction(const char* name, float number) {
    if (!pushFunctionCall(name)) return;
    lua_pushnumber(state_, number);
    LuaCallProtected(kMethodCallArguments + 1, 0, "LuaClass::callLuaFunction", __FILE__, __LINE__);
}

void LuaClass::callLuaFunction(const char* name, const LuaClass* other) {
    if (!pushFunctionCall(name)) return;
    pushTable(state_, other);
    LuaCallProtected(kMethodCallArguments + 1, 0, "LuaClass::callLuaFunction", __FILE__, __LINE__);
}

void LuaClass::pushTable(lua_State* L, const LuaClass* object) {
    if (!object || !object->state_) {
        lua_pushnil(L);
        return;
    }
    lua_pushlightuserdata(L, object->registryKey_);
    lua_rawget(L, LUA_REGISTRYINDEX);
}

void LuaClass::bindTable(lua_State* L) {
    unbindTable();
    registryKey_ = NextRegistryKey();
    SetRegistryEntry(L, registryKey_, 2);
    state_ = MainState(L);
}

void LuaClass::unbindTable() {
    if (!state_) return;
    if (pushOwnTable()) {
        lua_pushnumber(state_, 0);
        lua_rawseti(state_, -2, 0);
        lua_pop(state_, 1);
    }
    ClearRegistryEntry(state_, registryKey_);
    state_ = nullptr;
}

void ScriptCallback::fire(const char* name, const ScriptCallback& callback, LuaClass* parent, LuaClass* object) {
    // The own function may delete the object, and the callback with it.
    const bool forward = callback.forward;
    const std::string method = callback.method;
    if (callback.bound) object->callLuaFunction(name);
    if (forward && parent) parent->callLuaFunction(method.c_str(), object);
}

// The function every callback goes through is made here, with memory to spare: an
// object's on_destroy must not be the first to need it.
void LuaOpenObjectModel(lua_State* L) {
    OpenModel(L);
    LuaPushSharedFunction(L, CallNamedMethod);
    lua_pop(L, 1);
}

void LuaCloseObjectsAndState(lua_State* L) {
    ObjectModel* model = FindModel(L);
    if (model) model->closing = true;
    lua_close(L);
    if (!model) return;
    // Only when a script kept the last finaliser from running is anything left: the
    // state is gone, so it is deleted without it.
    model->forgetState();
    model->deleteLeftovers();
    model->letGoOfObjects();
    std::erase_if(g_models, [model](const auto& entry) { return entry.get() == model; });
}

void LuaPushEmptyObject(lua_State* L, const char* className) {
    // Room for [0] and the GameClass level's methods from the start: no rehash on the way.
    lua_createtable(L, 0, 48);
    auto* box = static_cast<ObjectBox*>(lua_newuserdata(L, sizeof(ObjectBox)));
    *box = ObjectBox{&g_noRecord, 0, kBoxTag};
    luaL_getmetatable(L, className);
    lua_setmetatable(L, -2);
    lua_rawseti(L, -2, 0);
}

void LuaFillObject(lua_State* L, LuaClass* object) {
    lua_rawgeti(L, -1, 0);
    auto* box = static_cast<ObjectBox*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    ObjectRecord& record = OpenModel(L).take(*object);
    box->record = &record;
    box->generation = record.generation;
    // From here on the box owns the object: a failing allocation leaves it to the collector.
    object->registerMethods(L);
}

int LuaCollectObject(lua_State* L, const char* className) {
    luaL_checkudata(L, 1, className);
    // Another userdata given this metatable, an attached object's box given it back, or a
    // box finalised twice by hand: none of them owns an object.
    const ObjectRecord* record = LiveRecord(ToBox(L, 1));
    if (!record || !record->ownedByBox) return 0;
    LuaClass* object = record->object;
    ObjectModel::retire(*object);
    LuaDeleteLater(L, object);
    return 0;
}

void LuaDeleteLater(lua_State* L, LuaClass* object) {
    ObjectModel* model = FindModel(L);
    if (!model || model->deletingAtOnce) {
        delete object;
        return;
    }
    model->dropped.push_back(object);
}

void LuaDeleteDroppedObjects(lua_State* L) {
    if (ObjectModel* model = FindModel(L)) model->deleteQueued();
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
    const ObjectBox* box = type == LUA_TUSERDATA ? UserdataBox(L, -1) : nullptr;
    lua_pop(L, 1);
    if (type == LUA_TLIGHTUSERDATA || (type == LUA_TUSERDATA && !box))
        RaiseMethodError(L, "Method '%s' of %s type called on a table that holds no object", method, className);
    LuaClass* object = BoxObject(box);
    if (!object) LogError(file, line, "Trying to call method '%s' from a deleted C++ object of %s type", method, className);
    return object;
}

void LuaRaiseWrongClass(lua_State* L, const char* method, const char* className) {
    RaiseMethodError(L, "Method '%s' of %s type called on an object of another type", method, className);
}

LuaClass* LuaToObject(lua_State* L, int index) { return BoxObject(ToBox(L, index)); }

LuaClass* LuaArgAnyObject(lua_State* L) {
    const ObjectBox* box = ArgumentBox(L);
    if (!box) RaiseScriptError(L, "Argument 2 is not an object table");
    LuaClass* object = BoxObject(box);
    if (!object) RaiseScriptError(L, "Argument 2 is a deleted C++ object");
    return object;
}

LuaClass* LuaArgAnyObjectOrNull(lua_State* L) { return BoxObject(ArgumentBox(L)); }

void LuaRaiseArgumentClass(lua_State* L, const char* className) {
    char message[256];
    std::snprintf(message, sizeof message, "Argument 2 is not an object of %s type", className);
    RaiseScriptError(L, message);
}

void LuaDisownBox(lua_State* L) {
    PushElementZero(L, 2);
    if (ObjectRecord* record = LiveRecord(ToBox(L, -1))) {
        lua_pushnil(L);
        lua_setmetatable(L, -2);
        // The box may be collected or finalised from now on: its record no longer owns the object.
        record->ownedByBox = false;
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
