#pragma once
// The unit scripts place on a layer: an animatable container of components with an
// alpha, mouse callbacks, a kill timer and a follow-the-mouse mode.
#include "script/game_class.h"
#include "script/scene/child_list.h"

class Layer;
class RootComponent;
class ShapeComponent;
struct Bounds;

enum MouseEvent {
    kMouseOver = 0,
    kMouseIn = 1,
    kMouseOut = 2,
    kLeftClick = 3,
    kRightClick = 4,
    kLeftDown = 5,
    kRightDown = 6,
    kMouseEventCount = 7,
};

class GameObject : public GameClass {
public:
    static constexpr const char* kClassName = "GameObject";
    static const MethodEntry<GameObject> methods[];
    static const char* const kMouseEventNames[kMouseEventCount];

    GameObject() = default;
    ~GameObject() override;

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void finalizeSetup() override;
    void updateInterpolators(float dt) override;
    void kill() override;

    void update(float dt);
    void prerender();
    void render();
    void fireMouseEvent(int event);
    // Widens `bounds` by the bounds of the enabled components that take part in the
    // shape, except `leaveOut`; true when one did.
    bool computeBounds(Bounds& bounds, const RootComponent* leaveOut = nullptr);
    // For walks over many objects: asks for the component list (step 0) or the components.
    void prefetchChildren(int step) const;

    ChildList<RootComponent> components;
    ShapeComponent* shape = nullptr;
    Layer* layer = nullptr;
    float highlight = 0;
    bool hovered = false;
    bool killTimerActive = false;
    float killTimer = 0;
    bool onUpdateBound = false;
    bool onRenderBound = false;
    InterpolatedValue alpha{1};
    bool followMouse = false;
    ScriptCallback mouseCallbacks[kMouseEventCount];

private:
    void followTheMouse();
    void updateHighlight(float dt);
    void updateKillTimer(float dt);
    void updateComponents(float dt);
    void removeDeadComponents();
    // The component left the list: no longer the shape.
    void letGo(RootComponent* component);

    int luaAttachComponent(lua_State* L);
    int luaComponent(lua_State* L);
    int luaComponents(lua_State* L);
    int luaLayer(lua_State* L);
    int luaPrepareComponents(lua_State* L);
    int luaSetKillTimer(lua_State* L);
    int luaSetAlpha(lua_State* L);
    int luaAlpha(lua_State* L);
    int luaAlphaAbs(lua_State* L);
    int luaIsAlphaInterpolating(lua_State* L);
};
