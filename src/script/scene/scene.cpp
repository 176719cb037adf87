#include "script/scene/scene.h"

#include "core/input.h"
#include "core/log.h"
#include "graphics/texture.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"
#include "script/scene/layer.h"
#include "script/scene_walk.h"

Scene* CurrentScene = nullptr;

namespace {

bool OfferedToObjects(int type) {
    return type == kInputButtonDown || type == kInputButtonUp || type == kInputTouchBegin || type == kInputTouchEnd;
}

bool Drawn(const Layer* layer) { return layer->enabled && !layer->dead; }

}  // namespace

const MethodEntry<Scene> Scene::methods[] = {
    {"attach_layer", &Scene::luaAttachLayer},
    {"layer", &Scene::luaLayer},
    {"layers", &Scene::luaLayers},
    {"object_under_cursor", &Scene::luaObjectUnderCursor},
    {"update", &Scene::luaUpdate},
    {"render", &Scene::luaRender},
    {"sort", &Scene::luaSort},
    {"remove_all_layers", &Scene::luaRemoveAllLayers},
    {"remove_everything", &Scene::luaRemoveEverything},
    {"switch_to_prerendered", &Scene::luaSwitchToPrerendered},
    {"switch_to_regular", &Scene::luaSwitchToRegular},
    {"set_prerendered_alpha", &Scene::luaSetPrerenderedAlpha},
    {"lock_input", &Scene::luaLockInput},
    {"lock_update", &Scene::luaLockUpdate},
    {"set_solo_update", &Scene::luaSetSoloUpdate},
    {"clear_solo_update", &Scene::luaClearSoloUpdate},
    {"ignore_next_click_message", &Scene::luaIgnoreNextClickMessage},
    {nullptr, nullptr},
};

Scene::Scene() {
    LogPrintf("Scene constructor\n");
    CurrentScene = this;
}

// Deletions the scripts ask for while the layers go wait until the scene is gone.
Scene::~Scene() {
    const SceneWalk walk;
    LogPrintf("Scene destructor\n");
    leaving = true;
    layers.deleteAll(*this, [this](Layer* layer) { letGo(layer); });
    prerendered.drop();
    ReleaseUnusedTextures();
    if (CurrentScene == this) CurrentScene = nullptr;
}

void Scene::registerMethods(lua_State* L) {
    GameClass::registerMethods(L);
    LuaBinder<Scene>::registerMethods(L);
}

bool Scene::isEligible(const Layer* layer) const {
    return layer->enabled && !layer->dead && !layer->updateLocked && (!soloLayer || soloLayer == layer);
}

template <class F>
void Scene::forEligibleLayers(F&& visit) {
    layers.forEachReverseWhile([&](Layer* layer) { return !isEligible(layer) || visit(layer); });
}

void Scene::update(float dt) {
    const SceneWalk walk;
    updateInterpolators(dt);
    forEligibleLayers([dt](Layer* layer) {
        layer->updateInterpolators(dt);
        return true;
    });
    dispatchInput();
    updateHover();
    fireButtonsHeld();
    forEligibleLayers([dt, this](Layer* layer) {
        layer->update(dt);
        return true;
    });
    if (g_input.mouse.left.up || g_input.mouse.right.up) ignoreNextClick = false;
    removeDeadLayers();
}

void Scene::dispatchInput() {
    // Callbacks may queue input; only this frame's events at the start are offered.
    const std::size_t count = InputEventCount();
    for (std::size_t i = 0; i < count; ++i) {
        const InputEvent* queued = GetInputEvent(i);
        if (!queued || !OfferedToObjects(queued->type)) continue;
        const InputEvent event = *queued;
        objectUnderCursor = nullptr;
        bool searching = true;
        forEligibleLayers([&](Layer* layer) {
            layer->dispatchInputEvent(event, searching);
            return searching;
        });
    }
}

void Scene::updateHover() {
    objectUnderCursor = nullptr;
    bool searching = true;
    GameObject* found = nullptr;
    forEligibleLayers([&](Layer* layer) {
        layer->updateHover(g_input.mouse.x, g_input.mouse.y, searching, found);
        return true;
    });
    // An object removed by its own hover callback (or with its layer) is no longer under
    // the cursor.
    objectUnderCursor = found && !found->leaving && !found->layer->leaving ? found : nullptr;
}

// Each callback may delete the object or its layer: the link is read again after each.
void Scene::fireButtonsHeld() {
    if (objectUnderCursor && g_input.mouse.left.down) objectUnderCursor->fireMouseEvent(kLeftDown);
    if (objectUnderCursor && g_input.mouse.right.down) objectUnderCursor->fireMouseEvent(kRightDown);
}

void Scene::prerender() {
    const SceneWalk walk;
    updateAbsoluteValues();
    layers.forEach([](Layer* layer) {
        if (Drawn(layer)) layer->prerender();
    });
}

void Scene::render() {
    const SceneWalk walk;
    updateAbsoluteValues();
    if (prerendered.active()) {
        prerendered.draw(effectiveTransform());
        return;
    }
    renderLayers();
}

void Scene::renderLayers() {
    layers.forEach([](Layer* layer) {
        if (Drawn(layer)) layer->render();
    });
}

bool Scene::switchToPrerendered() {
    const SceneWalk walk;
    return prerendered.capture(false, [this] {
        updateAbsoluteValues();
        renderLayers();
    });
}

void Scene::letGo(Layer* layer) {
    layer->leaveContainer();
    if (soloLayer == layer) soloLayer = nullptr;
    if (objectUnderCursor && objectUnderCursor->layer == layer) objectUnderCursor = nullptr;
}

void Scene::removeDeadLayers() {
    layers.removeIf(*this, [](const Layer* layer) { return layer->dead; }, [this](Layer* layer) { letGo(layer); });
}

void Scene::removeAllLayers() {
    const SceneWalk walk;
    layers.removeAll(*this, [this](Layer* layer) { letGo(layer); });
}

void PrerenderScene() {
    if (CurrentScene) CurrentScene->prerender();
}

int Scene::luaAttachLayer(lua_State* L) {
    Layer* layer = LuaArgChildOrNull<Layer>(L, *this);
    if (!layer) return 0;
    layers.append(layer);
    layer->scene = this;
    layer->transformParent = this;
    LuaAdoptChild(L, *layer);
    return 0;
}

int Scene::luaLayer(lua_State* L) {
    Layer* layer = layers.findById(LuaArgString(L));
    if (!layer) return 0;
    LuaClass::pushTable(L, layer);
    return 1;
}

int Scene::luaLayers(lua_State* L) {
    layers.pushTables(L);
    return 1;
}

int Scene::luaObjectUnderCursor(lua_State* L) {
    if (!objectUnderCursor) return 0;
    LuaClass::pushTable(L, objectUnderCursor);
    return 1;
}

int Scene::luaUpdate(lua_State* L) {
    update(LuaArgNumber(L, 2));
    return 0;
}

int Scene::luaRender(lua_State*) {
    render();
    return 0;
}

int Scene::luaSort(lua_State*) {
    layers.sortByDepth();
    return 0;
}

int Scene::luaRemoveAllLayers(lua_State*) {
    removeAllLayers();
    return 0;
}

int Scene::luaRemoveEverything(lua_State*) {
    removeAllLayers();
    prerendered.drop();
    ReleaseUnusedTextures();
    return 0;
}

int Scene::luaSwitchToPrerendered(lua_State* L) {
    lua_pushboolean(L, switchToPrerendered());
    return 1;
}

int Scene::luaSwitchToRegular(lua_State*) {
    prerendered.drop();
    return 0;
}

int Scene::luaSetPrerenderedAlpha(lua_State* L) {
    prerendered.alpha = LuaArgNumber(L, 2);
    return 0;
}

int Scene::luaLockInput(lua_State* L) {
    const bool locked = LuaArgBool(L);
    layers.forEach([locked](Layer* layer) { layer->inputLocked = locked; });
    return 0;
}

int Scene::luaLockUpdate(lua_State* L) {
    const bool locked = LuaArgBool(L);
    layers.forEach([locked](Layer* layer) { layer->updateLocked = locked; });
    return 0;
}

// Only a layer of this scene can be the solo layer; anything else clears the setting.
int Scene::luaSetSoloUpdate(lua_State* L) {
    auto* layer = dynamic_cast<Layer*>(LuaArgAnyObjectOrNull(L));
    if (layer && (layer->scene != this || layer->leaving)) {
        VELK_WARNING("set_solo_update: the layer '%s' is not in this scene", layer->id.c_str());
        layer = nullptr;
    }
    soloLayer = layer;
    return 0;
}

int Scene::luaClearSoloUpdate(lua_State*) {
    soloLayer = nullptr;
    return 0;
}

int Scene::luaIgnoreNextClickMessage(lua_State*) {
    ignoreNextClick = true;
    return 0;
}
