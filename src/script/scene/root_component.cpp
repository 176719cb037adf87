#include "script/scene/root_component.h"

#include "script/lua_base.h"
#include "script/scene/game_object.h"
#include "script/scene/layer.h"
#include "script/scene_walk.h"

const MethodEntry<RootComponent> RootComponent::methods[] = {
    {"object", &RootComponent::luaObject},
    {nullptr, nullptr},
};

void RootComponent::registerMethods(lua_State* L) {
    GameClass::registerMethods(L);
    LuaBinder<RootComponent>::registerMethods(L);
}

void RootComponent::setup(lua_State* L) {
    GameClass::setup(L);
    if (LuaTableIsBoolean(L, "exclude_from_shape")) excludeFromShape = LuaTableGetBool(L, "exclude_from_shape");
    if (const char* id = LuaTableGetString(L, "relative_to")) relativeTo = id;  // read once (see GameClass::setup)
}

Layer* RootComponent::ownerLayer() const { return owner ? owner->layer : nullptr; }

void RootComponent::kill() {
    const SceneWalk walk;  // the callbacks may remove the owner and this component with it
    ScriptCallback::fire("on_kill", onKill, ownerLayer(), this);
    dead = true;
}

void RootComponent::beforeDestroy() {
    ScriptCallback::fire("on_destroy", onDestroy, ownerLayer(), this);
    owner = nullptr;
    transformParent = nullptr;
}

void RootComponent::prepare() {
    // A removed owner places nothing relative to its components: they may go in any order.
    if (relativeTo.empty() || !owner || owner->leaving) return;
    if (RootComponent* parent = owner->components.findById(relativeTo.c_str())) transformParent = parent;
}

void RootComponent::attachTo(GameObject* object) {
    owner = object;
    transformParent = object;
}

int RootComponent::luaObject(lua_State* L) {
    LuaClass::pushTable(L, owner);
    return 1;
}
