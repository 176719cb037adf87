#pragma once
// The root of the scene graph: an ordered list of layers. Its update dispatches the
// frame's button and touch events, finds the object under the mouse and fires the
// hover, click and button-held callbacks, and updates the layers.
#include "script/game_class.h"
#include "script/scene/child_list.h"
#include "script/scene/prerendered_target.h"

class GameObject;
class Layer;

class Scene : public GameClass {
public:
    static constexpr const char* kClassName = "Scene";
    static const MethodEntry<Scene> methods[];

    Scene();
    ~Scene() override;

    void registerMethods(lua_State* L) override;

    void update(float dt);
    void render();
    void prerender();
    bool switchToPrerendered();
    void removeAllLayers();

    ChildList<Layer> layers;
    GameObject* objectUnderCursor = nullptr;
    Layer* soloLayer = nullptr;
    PrerenderedTarget prerendered;
    bool ignoreNextClick = false;

private:
    // Enabled, alive, not update-locked, and the solo layer when one is set.
    bool isEligible(const Layer* layer) const;
    // For each eligible layer, last to first, until `visit` returns false.
    template <class F>
    void forEligibleLayers(F&& visit);
    void dispatchInput();
    void updateHover();
    void fireButtonsHeld();
    void renderLayers();
    void removeDeadLayers();
    // The layer left the list: it takes the solo setting and the cursor object with it.
    void letGo(Layer* layer);

    int luaAttachLayer(lua_State* L);
    int luaLayer(lua_State* L);
    int luaLayers(lua_State* L);
    int luaObjectUnderCursor(lua_State* L);
    int luaUpdate(lua_State* L);
    int luaRender(lua_State* L);
    int luaSort(lua_State* L);
    int luaRemoveAllLayers(lua_State* L);
    int luaRemoveEverything(lua_State* L);
    int luaSwitchToPrerendered(lua_State* L);
    int luaSwitchToRegular(lua_State* L);
    int luaSetPrerenderedAlpha(lua_State* L);
    int luaLockInput(lua_State* L);
    int luaLockUpdate(lua_State* L);
    int luaSetSoloUpdate(lua_State* L);
    int luaClearSoloUpdate(lua_State* L);
    int luaIgnoreNextClickMessage(lua_State* L);
};

// The most recently constructed scene, or null.
extern Scene* CurrentScene;

// Before the frame's drawing: prerenders the current scene, when there is one.
void PrerenderScene();
