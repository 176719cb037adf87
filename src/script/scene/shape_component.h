#pragma once
// The base of the hit-test shapes: auto fit and pass through, and what the input and
// hover passes ask of a shape.
#include "script/scene/root_component.h"

class ShapeComponent : public RootComponent {
public:
    static constexpr const char* kClassName = "ShapeComponent";
    static const MethodEntry<ShapeComponent> methods[];

    ShapeComponent() = default;
    ~ShapeComponent() override;

    void registerMethods(lua_State* L) override;
    // The keys every shape reads: the component's own, then "pass_through".
    void setup(lua_State* L) override;
    void prepare() override { fitToOwner(); }
    // Also becomes the owner's shape, replacing any shape attached before.
    void attachTo(GameObject* object) override;
    void detachFromOwner() override;

    virtual bool isPointInside(float x, float y) = 0;
    virtual void fitToOwner() = 0;
    bool isPassThrough() const { return passThrough; }

    bool autoFit = true;
    bool passThrough = false;

private:
    int luaPointInside(lua_State* L);
    int luaIsPassThrough(lua_State* L);
    int luaSetPassThrough(lua_State* L);
};
