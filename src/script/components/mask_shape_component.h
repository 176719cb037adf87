#pragma once
// A 1-bit collision mask placed at the object with a hotspot, turned and scaled with it.
// Holds one reference on the shared mask from setup until it is destroyed.
#include "effects/collision_mask.h"
#include "script/scene/shape_component.h"

class MaskShapeComponent : public ShapeComponent {
public:
    static constexpr const char* kClassName = "MaskShapeComponent";
    static const MethodEntry<MaskShapeComponent> methods[];

    MaskShapeComponent();
    ~MaskShapeComponent() override;

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void render() override;
    // Placed relative_to, never fitted.
    void prepare() override { RootComponent::prepare(); }
    bool isPointInside(float px, float py) override;
    void fitToOwner() override {}

    // The mask's extent around the hotspot (debug overlay, script methods).
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;

private:
    void releaseMask();
    template <float MaskShapeComponent::*Field>
    int luaCorner(lua_State* L);

    CollisionMaskRef mask_;
};
