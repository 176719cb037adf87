#pragma once
// The base of every component: the owning object, the relative_to placement, the
// exclude_from_shape flag, and the component's kill and destruction.
#include <string>

#include "script/game_class.h"

class GameObject;
class Layer;

// {left, top, right, bottom} in the owner's space.
struct Bounds {
    float left, top, right, bottom;
};

class RootComponent : public GameClass {
public:
    static constexpr const char* kClassName = "RootComponent";
    static const MethodEntry<RootComponent> methods[];

    RootComponent() { id = "component"; }

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void kill() override;

    virtual void update(float) {}
    virtual void prerender() {}
    virtual void render() {}
    // Resolves relative_to among the owner's components.
    virtual void prepare();
    virtual void attachTo(GameObject* object);
    virtual bool getBounds(Bounds&) { return false; }
    // on_destroy while the component and its owner are whole; then its links go.
    void beforeDestroy() override;

    // The owner's layer, or null.
    Layer* ownerLayer() const;

    GameObject* owner = nullptr;
    bool excludeFromShape = false;
    std::string relativeTo;

private:
    int luaObject(lua_State* L);
};
