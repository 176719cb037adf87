#pragma once
// A circle (an ellipse under unequal scale) around the object's position; fits its
// radius to the width of the object's visual components until a radius is given.
#include "graphics/texture.h"
#include "script/scene/shape_component.h"

class CircleShapeComponent : public ShapeComponent {
public:
    static constexpr const char* kClassName = "CircleShapeComponent";
    static const MethodEntry<CircleShapeComponent> methods[];

    CircleShapeComponent();

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void render() override;
    bool isPointInside(float px, float py) override;
    void fitToOwner() override;

    // Negative until fitted or set: contains no point.
    float radius = -1;

private:
    int luaSetRadius(lua_State* L);
    int luaRadius(lua_State* L);

    // The developer overlay's circle image, when the game data has one.
    TextureReference debugTexture_;
};
