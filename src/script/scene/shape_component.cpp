#include "script/scene/shape_component.h"

#include "script/lua_base.h"
#include "script/scene/game_object.h"

const MethodEntry<ShapeComponent> ShapeComponent::methods[] = {
    {"point_inside", &ShapeComponent::luaPointInside},
    {"is_pass_through", &ShapeComponent::luaIsPassThrough},
    {"set_pass_through", &ShapeComponent::luaSetPassThrough},
    {nullptr, nullptr},
};

ShapeComponent::~ShapeComponent() {
    if (owner && owner->shape == this) owner->shape = nullptr;
}

void ShapeComponent::registerMethods(lua_State* L) {
    RootComponent::registerMethods(L);
    LuaBinder<ShapeComponent>::registerMethods(L);
}

void ShapeComponent::setup(lua_State* L) {
    RootComponent::setup(L);
    if (LuaTableIsBoolean(L, "pass_through")) passThrough = LuaTableGetBool(L, "pass_through");
}

void ShapeComponent::attachTo(GameObject* object) {
    RootComponent::attachTo(object);
    object->shape = this;
}

void ShapeComponent::detachFromOwner() {
    if (owner && owner->shape == this) owner->shape = nullptr;
    RootComponent::detachFromOwner();
}

int ShapeComponent::luaPointInside(lua_State* L) {
    const float px = LuaArgNumber(L, 2);
    const float py = LuaArgNumber(L, 3);
    lua_pushboolean(L, isPointInside(px, py));
    return 1;
}

int ShapeComponent::luaIsPassThrough(lua_State* L) {
    lua_pushboolean(L, passThrough);
    return 1;
}

int ShapeComponent::luaSetPassThrough(lua_State* L) {
    passThrough = LuaArgBool(L);
    return 0;
}
