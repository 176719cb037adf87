#include "script/scene/layer.h"

#include "core/config.h"
#include "core/input.h"
#include "core/log.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"
#include "script/scene/scene.h"
#include "script/scene/shape_component.h"
#include "script/scene_walk.h"

namespace {

int PushBool(lua_State* L, bool value) {
    lua_pushboolean(L, value);
    return 1;
}

// The shape first: most objects have none, and the walk over them then reads one cache
// line of each instead of two.
bool Hittable(const GameObject* object) { return object->shape && object->enabled && object->shape->enabled; }

// Touch screens click on release.
bool FiresClick(int type) { return type == (g_config.ios_simulation ? kInputButtonUp : kInputButtonDown); }

}  // namespace

const MethodEntry<Layer> Layer::methods[] = {
    {"attach_object", &Layer::luaAttachObject},
    {"object", &Layer::luaObject},
    {"objects", &Layer::luaObjects},
    {"sort", &Layer::luaSort},
    {"remove_all_objects", &Layer::luaRemoveAllObjects},
    {"remove_everything", &Layer::luaRemoveEverything},
    {"switch_to_prerendered", &Layer::luaSwitchToPrerendered},
    {"switch_to_regular", &Layer::luaSwitchToRegular},
    {"set_prerendered_alpha", &Layer::luaSetPrerenderedAlpha},
    {"lock_input", &Layer::luaLockInput},
    {"is_input_locked", &Layer::luaIsInputLocked},
    {"lock_update", &Layer::luaLockUpdate},
    {"is_update_locked", &Layer::luaIsUpdateLocked},
    {"set_alpha", &Layer::luaSetAlpha},
    {"alpha", &Layer::luaAlpha},
    {"is_alpha_interpolating", &Layer::luaIsAlphaInterpolating},
    {nullptr, nullptr},
};

Layer::Layer() {
    id = "layer";
    LogPrintf("Layer constructor\n");
}

// The layer is whole while its on_destroy and its objects' run; it lets go of its scene
// last. Deletions the scripts ask for meanwhile wait until it is gone.
Layer::~Layer() {
    const SceneWalk walk;
    LogPrintf("Layer destructor (%s)\n", id.c_str());
    leaving = true;
    if (onDestroy.bound) callLuaFunction("on_destroy");
    objects.deleteAll(*this, [this](GameObject* object) { letGo(object); });
    prerendered.drop();
    scene = nullptr;
    transformParent = nullptr;
}

void Layer::registerMethods(lua_State* L) {
    GameClass::registerMethods(L);
    LuaBinder<Layer>::registerMethods(L);
}

void Layer::setup(lua_State* L) {
    GameClass::setup(L);
    if (LuaTableIsBoolean(L, "solo_update") && LuaTableGetBool(L, "solo_update") && scene) scene->soloLayer = this;
    ReadInterpolatedField(L, "alpha", alpha);
}

void Layer::finalizeSetup() {
    GameClass::finalizeSetup();
    if (hasLuaFunction("on_update")) onUpdateBound = true;
    if (hasLuaFunction("on_render")) onRenderBound = true;
}

void Layer::updateInterpolators(float dt) {
    GameClass::updateInterpolators(dt);
    alpha.update(dt);
}

void Layer::kill() {
    const SceneWalk walk;
    if (onKill.bound) callLuaFunction("on_kill");
    dead = true;
}

void Layer::dispatchInputEvent(const InputEvent& event, bool& searching) {
    if (inputLocked || !searching) return;
    const float px = static_cast<float>(event.x) + g_input.mouse.offset_x;
    const float py = static_cast<float>(event.y) + g_input.mouse.offset_y;
    objects.forEachReverseWhile([&](GameObject* object) {
        if (!Hittable(object) || !object->shape->isPointInside(px, py)) return true;
        const bool passThrough = object->shape->isPassThrough();
        if (FiresClick(event.type) && !(scene && scene->ignoreNextClick)) {
            if (event.value == 1) object->fireMouseEvent(kLeftClick);
            if (event.value == 2) object->fireMouseEvent(kRightClick);
        }
        if (passThrough) return true;
        searching = false;
        return false;
    });
}

void Layer::updateHover(float mouseX, float mouseY, bool& searching, GameObject*& underCursor) {
    if (inputLocked) return;
    objects.forEachReverseWhile([&](GameObject* object) {
        if (!Hittable(object)) return true;
        if (searching && object->shape->isPointInside(mouseX, mouseY)) {
            const bool passThrough = object->shape->isPassThrough();
            if (!object->hovered) {
                object->hovered = true;
                object->fireMouseEvent(kMouseIn);
            }
            object->fireMouseEvent(kMouseOver);
            underCursor = object;
            if (!passThrough) searching = false;
        } else if (object->hovered) {
            object->hovered = false;
            object->fireMouseEvent(kMouseOut);
        }
        return true;
    });
}

void Layer::update(float dt) {
    const SceneWalk walk;
    updateScheduledCalls(dt);
    if (onUpdateBound) callLuaFunction("on_update", dt);
    // A layer taken out of its scene by a callback stops updating its objects.
    objects.forEach([dt, this](GameObject* object) {
        if (leaving || !object->enabled || object->dead) return;
        object->updateInterpolators(dt);
        object->update(dt);
    });
    removeDeadObjects();
}

void Layer::prerender() {
    const SceneWalk walk;
    updateAbsoluteValues();
    objects.forEach([](GameObject* object) {
        if (object->enabled && !object->dead) object->prerender();
    });
}

void Layer::render() {
    const SceneWalk walk;
    updateAbsoluteValues();
    if (prerendered.active()) {
        prerendered.draw(effectiveTransform());
        return;
    }
    renderObjects();
}

void Layer::renderObjects() {
    objects.forEach([](GameObject* object) {
        if (object->enabled && !object->dead) object->render();
    });
    if (onRenderBound) callLuaFunction("on_render");
}

// Two passes: the first keeps the largest alpha drawn at each pixel, the second the
// normally blended colours.
bool Layer::switchToPrerendered() {
    const SceneWalk walk;
    return prerendered.capture(true, [this] {
        updateAbsoluteValues();
        SetBlendMode(kBlendMax);
        SetColorMask(false, false, false, true);
        renderObjects();
        SetBlendMode(kBlendAlpha);
        SetColorMask(true, true, true, false);
        renderObjects();
        SetBlendMode(kBlendAlpha);
        SetColorMask(true, true, true, true);
    });
}

void Layer::letGo(GameObject* object) {
    object->leaveContainer();
    if (scene && scene->objectUnderCursor == object) scene->objectUnderCursor = nullptr;
}

void Layer::removeDeadObjects() {
    objects.removeIf(*this, [](const GameObject* o) { return o->dead; }, [this](GameObject* o) { letGo(o); });
}

void Layer::removeAllObjects() {
    const SceneWalk walk;
    objects.removeAll(*this, [this](GameObject* o) { letGo(o); });
}

int Layer::luaAttachObject(lua_State* L) {
    GameObject* object = LuaArgChildOrNull<GameObject>(L, *this);
    if (!object) return 0;
    objects.append(object);
    object->layer = this;
    LuaAdoptChild(L, *object);
    return 0;
}

int Layer::luaObject(lua_State* L) {
    GameObject* object = objects.findById(LuaArgString(L));
    if (!object) return 0;
    LuaClass::pushTable(L, object);
    return 1;
}

int Layer::luaObjects(lua_State* L) {
    objects.pushTables(L);
    return 1;
}

int Layer::luaSort(lua_State*) {
    objects.sortByDepth();
    return 0;
}

int Layer::luaRemoveAllObjects(lua_State*) {
    removeAllObjects();
    return 0;
}

int Layer::luaRemoveEverything(lua_State*) {
    removeAllObjects();
    prerendered.drop();
    return 0;
}

int Layer::luaSwitchToPrerendered(lua_State* L) { return PushBool(L, switchToPrerendered()); }

int Layer::luaSwitchToRegular(lua_State*) {
    prerendered.drop();
    return 0;
}

int Layer::luaSetPrerenderedAlpha(lua_State* L) {
    prerendered.alpha = LuaArgNumber(L, 2);
    return 0;
}

int Layer::luaLockInput(lua_State* L) {
    inputLocked = LuaArgBool(L);
    return 0;
}

int Layer::luaIsInputLocked(lua_State* L) { return PushBool(L, inputLocked); }

int Layer::luaLockUpdate(lua_State* L) {
    updateLocked = LuaArgBool(L);
    return 0;
}

int Layer::luaIsUpdateLocked(lua_State* L) { return PushBool(L, updateLocked); }

int Layer::luaSetAlpha(lua_State* L) {
    ReadInterpolatedArg(L, 2, alpha);
    return 0;
}

int Layer::luaAlpha(lua_State* L) {
    lua_pushnumber(L, alpha.value());
    return 1;
}

int Layer::luaIsAlphaInterpolating(lua_State* L) { return PushBool(L, alpha.isInterpolating()); }
