#pragma once
// A nine-patch box (panel, speech bubble) cut from nine sprites of one texture, whose
// middle column and row stretch to the requested size; optionally mirrored. Like the
// rectangle it can grow, when prepared, to fit other components of its object.
#include "graphics/texture.h"
#include "script/components/component_fit.h"
#include "script/components/visual_component.h"

class FluidBoxComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "FluidBoxComponent";
    static const MethodEntry<FluidBoxComponent> methods[];

    struct Patch {
        float spriteWidth = 0, spriteHeight = 0;
        float drawnWidth = 0, drawnHeight = 0;
        float repeatX = 1, repeatY = 1;
        float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    };

    FluidBoxComponent() { id = "fluid_box"; }

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void render() override;
    // Only fits: the box is placed by its own transform, not relative_to.
    void prepare() override;
    void setSize(float w, float h);
    // The middle column and row stretched so the box is at least the area's size.
    void layout();

    // By column, then row.
    Patch patches[3][3];
    float areaWidth = 0, areaHeight = 0;
    float areaOffsetX = 0, areaOffsetY = 0;
    bool mirrorX = false, mirrorY = false;
    ComponentFit fit;

private:
    void loadPatch(const char* sprite, int column, int row);
    int luaSetSize(lua_State* L);
    int luaSetCenterPosition(lua_State* L);

    TextureReference texture_;
};
