#include "script/scene/game_object.h"

#include <algorithm>
#include <cfloat>

#include "core/input.h"
#include "script/lua_base.h"
#include "script/scene/layer.h"
#include "script/scene/root_component.h"
#include "script/scene/scene.h"
#include "script/scene/shape_component.h"
#include "script/scene_walk.h"

namespace {

constexpr float kHighlightRate = 5.0f;
constexpr float kHighlightFloor = 0.1f;

}  // namespace

const char* const GameObject::kMouseEventNames[kMouseEventCount] = {
    "on_mouse_over", "on_mouse_in", "on_mouse_out", "on_left_click", "on_right_click", "on_left_down", "on_right_down",
};

const MethodEntry<GameObject> GameObject::methods[] = {
    {"attach_component", &GameObject::luaAttachComponent},
    {"component", &GameObject::luaComponent},
    {"components", &GameObject::luaComponents},
    {"layer", &GameObject::luaLayer},
    {"prepare_components", &GameObject::luaPrepareComponents},
    {"set_kill_timer", &GameObject::luaSetKillTimer},
    {"set_alpha", &GameObject::luaSetAlpha},
    {"alpha", &GameObject::luaAlpha},
    {"alpha_abs", &GameObject::luaAlphaAbs},
    {"is_alpha_interpolating", &GameObject::luaIsAlphaInterpolating},
    {nullptr, nullptr},
};

// The object is whole while its on_destroy and its components' run; it lets go of its
// layer last. Deletions the scripts ask for meanwhile wait until it is gone.
GameObject::~GameObject() {
    const SceneWalk walk;
    leaving = true;
    if (onDestroy.bound) callLuaFunction("on_destroy");
    components.deleteAll(*this, [this](RootComponent* component) { letGo(component); });
    layer = nullptr;
    transformParent = nullptr;
}

void GameObject::registerMethods(lua_State* L) {
    GameClass::registerMethods(L);
    LuaBinder<GameObject>::registerMethods(L);
}

void GameObject::setup(lua_State* L) {
    GameClass::setup(L);
    for (int event = 0; event < kMouseEventCount; ++event) {
        const char* method = LuaTableGetString(L, kMouseEventNames[event]);  // read once (see GameClass::setup)
        if (!method) continue;
        mouseCallbacks[event].method = method;
        mouseCallbacks[event].forward = true;
    }
    // A removed layer places nothing relative to its objects: they may go in any order.
    if (LuaTableHasValue(L, "relative_to") && layer && !layer->leaving) {
        if (GameObject* parent = layer->objects.findById(LuaTableGetString(L, "relative_to")))
            transformParent = parent;
    }
    if (!transformParent && layer) transformParent = layer;
    if (LuaTableIsBoolean(L, "follow_mouse")) followMouse = LuaTableGetBool(L, "follow_mouse");
    if (LuaTableIsNumber(L, "kill_timer")) {
        killTimer = static_cast<float>(LuaTableGetNumber(L, "kill_timer"));
        killTimerActive = true;
    }
    ReadInterpolatedField(L, "alpha", alpha);
}

void GameObject::finalizeSetup() {
    GameClass::finalizeSetup();
    for (int event = 0; event < kMouseEventCount; ++event)
        if (hasLuaFunction(kMouseEventNames[event])) mouseCallbacks[event].bound = true;
    if (hasLuaFunction("on_update")) onUpdateBound = true;
    if (hasLuaFunction("on_render")) onRenderBound = true;
}

void GameObject::updateInterpolators(float dt) {
    GameClass::updateInterpolators(dt);
    alpha.update(dt);
}

void GameObject::kill() {
    const SceneWalk walk;
    ScriptCallback::fire("on_kill", onKill, layer, this);
    dead = true;
}

void GameObject::fireMouseEvent(int event) {
    const SceneWalk walk;
    ScriptCallback::fire(kMouseEventNames[event], mouseCallbacks[event], layer, this);
}

void GameObject::update(float dt) {
    const SceneWalk walk;
    updateScheduledCalls(dt);
    if (followMouse) followTheMouse();
    updateHighlight(dt);
    if (onUpdateBound) callLuaFunction("on_update", dt);
    if (leaving) return;  // taken out of its layer by a callback
    updateKillTimer(dt);
    updateComponents(dt);
    removeDeadComponents();
}

void GameObject::followTheMouse() {
    if (!layer) return;
    float localX = 0, localY = 0;
    layer->localMousePosition(g_input.mouse.x, g_input.mouse.y, localX, localY);
    x.setImmediate(localX);
    y.setImmediate(localY);
}

void GameObject::updateHighlight(float dt) {
    if (hovered) {
        highlight = std::max(kHighlightFloor, std::min(1.0f, highlight + kHighlightRate * dt));
    } else {
        highlight = std::max(0.0f, highlight - kHighlightRate * dt);
    }
}

void GameObject::updateKillTimer(float dt) {
    if (!killTimerActive) return;
    killTimer -= dt;
    if (killTimer > 0) return;
    killTimerActive = false;
    kill();
}

void GameObject::updateComponents(float dt) {
    components.forEach([dt](RootComponent* component) {
        if (!component->enabled || component->dead) return;
        component->updateInterpolators(dt);
        component->update(dt);
    });
}

void GameObject::prefetchChildren(int step) const { components.prefetch(step); }

void GameObject::prerender() {
    const SceneWalk walk;
    updateAbsoluteValues();
    components.forEach([](RootComponent* component) {
        if (component->enabled && !component->dead) component->prerender();
    });
}

void GameObject::render() {
    const SceneWalk walk;
    updateAbsoluteValues();
    components.forEach([](RootComponent* component) {
        if (component->enabled && !component->dead) component->render();
    });
    if (onRenderBound) callLuaFunction("on_render");
}

bool GameObject::computeBounds(Bounds& bounds, const RootComponent* leaveOut) {
    bool found = false;
    components.forEach([&](RootComponent* component) {
        if (component == leaveOut || !component->enabled || component->excludeFromShape) return;
        Bounds local{FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
        if (!component->getBounds(local)) return;
        bounds.left = std::min(bounds.left, local.left);
        bounds.top = std::min(bounds.top, local.top);
        bounds.right = std::max(bounds.right, local.right);
        bounds.bottom = std::max(bounds.bottom, local.bottom);
        found = true;
    });
    return found;
}

void GameObject::letGo(RootComponent* component) {
    component->leaveContainer();
    if (shape == component) shape = nullptr;
}

void GameObject::removeDeadComponents() {
    components.removeIf(*this, [](const RootComponent* c) { return c->dead; },
                        [this](RootComponent* c) { letGo(c); });
}

int GameObject::luaAttachComponent(lua_State* L) {
    RootComponent* component = LuaArgChildOrNull<RootComponent>(L, *this);
    if (!component) return 0;
    components.append(component);
    component->attachTo(this);
    LuaAdoptChild(L, *component);
    return 0;
}

int GameObject::luaComponent(lua_State* L) {
    RootComponent* component = components.findById(LuaArgString(L));
    if (!component) return 0;
    LuaClass::pushTable(L, component);
    return 1;
}

int GameObject::luaComponents(lua_State* L) {
    components.pushTables(L);
    return 1;
}

int GameObject::luaLayer(lua_State* L) {
    LuaClass::pushTable(L, layer);
    return 1;
}

int GameObject::luaPrepareComponents(lua_State*) {
    const SceneWalk walk;
    components.forEach([](RootComponent* component) { component->prepare(); });
    return 0;
}

int GameObject::luaSetKillTimer(lua_State* L) {
    killTimer = LuaArgNumber(L, 2);
    killTimerActive = true;
    return 0;
}

int GameObject::luaSetAlpha(lua_State* L) {
    ReadInterpolatedArg(L, 2, alpha);
    return 0;
}

int GameObject::luaAlpha(lua_State* L) {
    lua_pushnumber(L, alpha.value());
    return 1;
}

// An object outside any layer takes the layer's factor as 1.
int GameObject::luaAlphaAbs(lua_State* L) {
    lua_pushnumber(L, (layer ? layer->alpha.value() : 1.0f) * alpha.value());
    return 1;
}

int GameObject::luaIsAlphaInterpolating(lua_State* L) {
    lua_pushboolean(L, alpha.isInterpolating());
    return 1;
}
