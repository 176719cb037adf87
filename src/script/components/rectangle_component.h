#pragma once
// A solid, untextured rectangle in the component's colour; can grow, when prepared, to
// fit another component of its object (or all of them) plus a padding.
#include "script/components/component_fit.h"
#include "script/components/visual_component.h"

class RectangleComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "RectangleComponent";
    static const MethodEntry<RectangleComponent> methods[];

    RectangleComponent() { id = "rectangle"; }

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void render() override;
    // Only fits: the box is placed by its own transform, not relative_to.
    void prepare() override;
    void setSize(float w, float h);

    ComponentFit fit;

private:
    int luaSetSize(lua_State* L);
};
