#pragma once
// An ordered list of game objects inside a scene: updated first to last, offered input
// and hover last to first (top-most first), drawn first to last, optionally drawn once
// into a render target and then shown as that one quad.
#include "script/game_class.h"
#include "script/scene/child_list.h"
#include "script/scene/prerendered_target.h"

class GameObject;
class Scene;
struct InputEvent;

class Layer : public GameClass {
public:
    static constexpr const char* kClassName = "Layer";
    static const MethodEntry<Layer> methods[];

    Layer();
    ~Layer() override;

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void finalizeSetup() override;
    void updateInterpolators(float dt) override;
    void kill() override;

    // Clears `searching` when a shape that is not pass-through was hit.
    void dispatchInputEvent(const InputEvent& event, bool& searching);
    void updateHover(float mouseX, float mouseY, bool& searching, GameObject*& underCursor);
    void update(float dt);
    void prerender();
    void render();
    bool switchToPrerendered();
    void removeAllObjects();

    ChildList<GameObject> objects;
    bool onUpdateBound = false;
    bool onRenderBound = false;
    Scene* scene = nullptr;
    PrerenderedTarget prerendered;
    InterpolatedValue alpha{1};
    bool inputLocked = false;
    bool updateLocked = false;

private:
    void renderObjects();
    void removeDeadObjects();
    // The object left the list: no longer hit, hovered or under the cursor.
    void letGo(GameObject* object);

    int luaAttachObject(lua_State* L);
    int luaObject(lua_State* L);
    int luaObjects(lua_State* L);
    int luaSort(lua_State* L);
    int luaRemoveAllObjects(lua_State* L);
    int luaRemoveEverything(lua_State* L);
    int luaSwitchToPrerendered(lua_State* L);
    int luaSwitchToRegular(lua_State* L);
    int luaSetPrerenderedAlpha(lua_State* L);
    int luaLockInput(lua_State* L);
    int luaIsInputLocked(lua_State* L);
    int luaLockUpdate(lua_State* L);
    int luaIsUpdateLocked(lua_State* L);
    int luaSetAlpha(lua_State* L);
    int luaAlpha(lua_State* L);
    int luaIsAlphaInterpolating(lua_State* L);
};
