#pragma once
// The binding of one script-visible class: its global constructor, its box metatable
// and the closures of its method table. T provides `kClassName` and `methods`, a
// table of rows ended by a row whose name is null; a row's index is its closure's
// upvalue, so the order of rows is part of the binding.
#include <lua.hpp>

#include "script/lua_base.h"
#include "script/lua_bound.h"

template <class T>
struct MethodEntry {
    const char* name;
    int (T::*method)(lua_State*);
};

template <class T>
class LuaBinder {
public:
    static void Register(lua_State* L) {
        LuaOpenObjectModel(L);
        lua_pushcfunction(L, create);
        lua_setglobal(L, T::kClassName);
        luaL_newmetatable(L, T::kClassName);
        lua_pushcfunction(L, gc);
        lua_setfield(L, -2, "__gc");
        lua_pop(L, 1);
    }

    // The global constructor; the box owns the new object until it is attached.
    static int create(lua_State* L) {
        LuaPushEmptyObject(L, T::kClassName);
        LuaFillObject(L, new T());
        return 1;
    }

    static void push(lua_State* L, T* object) {
        LuaPushEmptyObject(L, T::kClassName);
        LuaFillObject(L, object);
    }

    static int gc(lua_State* L) { return LuaCollectObject(L, T::kClassName); }

    // table[name] = closure(thunk, row index), for the table on the stack top. The
    // closures differ only by row, so every object of the class shares one set per state:
    // an object costs a table, not a table and a closure per method.
    static void registerMethods(lua_State* L) {
        pushSharedClosures(L);
        for (int row = 0; T::methods[row].name; ++row) {
            lua_rawgeti(L, -1, row + 1);
            lua_setfield(L, -3, T::methods[row].name);
        }
        lua_pop(L, 1);
    }

    static int thunk(lua_State* L) {
        const lua_Integer row = lua_tointeger(L, lua_upvalueindex(1));
        if (row < 0 || row >= rowCount()) return LuaErrorf(L, "No such method of %s type", T::kClassName);
        const MethodEntry<T>& entry = T::methods[row];
        LuaClass* object = LuaMethodObject(L, entry.name, T::kClassName, __FILE__, __LINE__);
        T* self = dynamic_cast<T*>(object);
        if (!self) LuaRaiseWrongClass(L, entry.name, T::kClassName);
        return (self->*entry.method)(L);
    }

private:
    // The class's closures, indexed by row + 1, kept in the registry under this binder's key.
    static void pushSharedClosures(lua_State* L) {
        lua_pushlightuserdata(L, const_cast<char*>(&kClosuresKey));
        lua_rawget(L, LUA_REGISTRYINDEX);
        if (lua_istable(L, -1)) return;
        lua_pop(L, 1);
        lua_createtable(L, static_cast<int>(rowCount()), 0);
        for (int row = 0; T::methods[row].name; ++row) {
            lua_pushnumber(L, row);
            lua_pushcclosure(L, thunk, 1);
            lua_rawseti(L, -2, row + 1);
        }
        lua_pushlightuserdata(L, const_cast<char*>(&kClosuresKey));
        lua_pushvalue(L, -2);
        lua_rawset(L, LUA_REGISTRYINDEX);
    }

    static inline const char kClosuresKey = 0;

    static lua_Integer rowCount() {
        static const lua_Integer count = [] {
            lua_Integer rows = 0;
            while (T::methods[rows].name) ++rows;
            return rows;
        }();
        return count;
    }
};
