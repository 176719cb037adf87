#pragma once
// An axis-aligned box in the object's rotated and scaled space; fits itself to the
// bounds of the object's visual components until a size is given.
#include <cfloat>

#include "script/scene/shape_component.h"

class BoxShapeComponent : public ShapeComponent {
public:
    static constexpr const char* kClassName = "BoxShapeComponent";
    static const MethodEntry<BoxShapeComponent> methods[];

    BoxShapeComponent() { id = "box_shape"; }

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void render() override;
    bool isPointInside(float px, float py) override;
    void fitToOwner() override;

    // Empty until fitted or set: contains no point.
    float x0 = FLT_MAX, y0 = FLT_MAX, x1 = -FLT_MAX, y1 = -FLT_MAX;

private:
    int luaBox(lua_State* L);
    int luaSetBox(lua_State* L);
    template <float BoxShapeComponent::*Field>
    int luaCorner(lua_State* L);
    template <float BoxShapeComponent::*Field>
    int luaSetCorner(lua_State* L);
};
