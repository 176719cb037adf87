#pragma once
// The root of every script-visible native class, the boxes that name native objects
// in script tables, and the readers of object arguments (value readers: lua_arguments.h).
//
// A box holds no pointer to the object, only a handle to an engine-owned record, and
// the object never writes into the box: whatever the script does to a box's lifetime
// (the debug library included), neither side reaches the other's freed memory. Deleting
// the object (by its container or by the collector) retires the record, so a script
// that kept the table, or the box itself, gets the "deleted C++ object" error.
#include <lua.hpp>

#include <string>

#include "script/lua_arguments.h"

struct ObjectRecord;

class LuaClass {
public:
    static constexpr const char* kClassName = "LuaClass";

    LuaClass() = default;
    LuaClass(const LuaClass&) = delete;
    LuaClass& operator=(const LuaClass&) = delete;
    virtual ~LuaClass();

    virtual void registerMethods(lua_State*) {}

    bool isBound() const { return state_ != nullptr; }
    // The main script state while bound (never a coroutine's), else null.
    lua_State* luaState() const { return state_; }

    bool hasLuaFunction(const char* name) const;
    // f(table), f(table, number) and f(table, other's table); nothing while unbound.
    void callLuaFunction(const char* name);
    void callLuaFunction(const char* name, float number);
    void callLuaFunction(const char* name, const LuaClass* other);
    // Pushes the object's table, or nil when there is no object or it is not bound.
    static void pushTable(lua_State* L, const LuaClass* object);
    // Binds the table at stack index 2 (the child argument of an attach method).
    void bindTable(lua_State* L);
    void unbindTable();

protected:
    // Pushes a call of table[name] with the table: kMethodCallArguments values that
    // LuaCallProtected counts as arguments, before the method's own. The lookup runs
    // inside that call (the table's metamethods may raise). False (nothing pushed) while
    // unbound or without a table.
    bool pushFunctionCall(const char* name) const;
    static constexpr int kMethodCallArguments = 2;

private:
    friend struct ObjectModel;

    // Pushes the bound table; false (nothing pushed) when the registry holds no table for it.
    bool pushOwnTable() const;

    lua_State* state_ = nullptr;
    // Its record while a box may name it; null once the collector let go of it.
    ObjectRecord* record_ = nullptr;
    // The light userdata that keys its table in the registry while bound: a number counted
    // up at each binding, not its address. Lua hashes a light userdata by its value, so
    // objects bound one after another sit in neighbouring registry slots, and a frame over
    // thousands of them reads the registry in order rather than at random.
    void* registryKey_ = nullptr;
};

// {bound, forward, method}: the object's own function and/or its parent's function
// named `method`, told about the object.
struct ScriptCallback {
    bool bound = false;
    bool forward = false;
    std::string method;

    static void fire(const char* name, const ScriptCallback& callback, LuaClass* parent, LuaClass* object);
};

// Sets up the per-state record of the object model (idempotent); every class
// registration calls it before any object exists.
void LuaOpenObjectModel(lua_State* L);
// Closes the state: every object the collector owns is deleted while the state still
// works, and whatever a script's tampering kept from its finaliser is deleted after.
void LuaCloseObjectsAndState(lua_State* L);
// The body of LuaBinder::push, in two steps: a new table holding an empty box at [0],
// then the object in the box and its methods in the table. The constructor makes the
// table and the box before the object, so that running out of memory on the way
// leaves no object without an owner.
void LuaPushEmptyObject(lua_State* L, const char* className);
void LuaFillObject(lua_State* L, LuaClass* object);
// The body of LuaBinder::gc. The object is not deleted inside the collector, which can
// run in the middle of a native method of one of its children: it is queued and deleted
// by LuaDeleteDroppedObjects, or at once while the state closes.
int LuaCollectObject(lua_State* L, const char* className);
// Queues an object for deletion at the next safe point (what the collector does).
void LuaDeleteLater(lua_State* L, LuaClass* object);
// The safe point: deletes every queued object. Call it from the frame, outside any
// script call.
void LuaDeleteDroppedObjects(lua_State* L);
std::size_t LuaDroppedObjectCount(lua_State* L);

// The live object whose box is at [0] of argument 1 of the running method; the fatal
// "deleted C++ object" error when that object is gone, a script error when [0] holds
// something that is no object box.
LuaClass* LuaMethodObject(lua_State* L, const char* method, const char* className, const char* file, int line);
[[noreturn]] void LuaRaiseWrongClass(lua_State* L, const char* method, const char* className);

// The live object whose box is the value at the index; null for anything else.
LuaClass* LuaToObject(lua_State* L, int index);

// Object arguments (the object is argument 1, the first real argument is 2); the value
// readers are in lua_arguments.h.
// The live object of argument 2; a script error for anything else.
LuaClass* LuaArgAnyObject(lua_State* L);
// The live object of argument 2, or null for anything else.
LuaClass* LuaArgAnyObjectOrNull(lua_State* L);
[[noreturn]] void LuaRaiseArgumentClass(lua_State* L, const char* className);
template <class T>
T* LuaArgObject(lua_State* L) {
    T* object = dynamic_cast<T*>(LuaArgAnyObject(L));
    if (!object) LuaRaiseArgumentClass(L, T::kClassName);
    return object;
}
void LuaDisownBox(lua_State* L);

// The attach methods: read the child (refusing one already attached to any container),
// append it to the container's list, then LuaAdoptChild.
void LuaRefuseAttached(lua_State* L, const LuaClass& child);
template <class T>
T* LuaArgChild(lua_State* L) {
    T* child = LuaArgObject<T>(L);
    LuaRefuseAttached(L, *child);
    return child;
}
// The container now owns the child: the collector lets go of it and the table is bound.
void LuaAdoptChild(lua_State* L, LuaClass& child);
