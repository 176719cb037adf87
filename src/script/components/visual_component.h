#pragma once
// The base of every drawable component: size and centre, animated alpha, colour,
// blending, alpha test and mouse highlight, and the render-state bracket around the
// drawing of every drawable leaf.
#include <cstdint>

#include "graphics/render.h"
#include "script/scene/root_component.h"

class VisualComponent : public RootComponent {
public:
    static constexpr const char* kClassName = "VisualComponent";
    static const MethodEntry<VisualComponent> methods[];

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void updateInterpolators(float dt) override;
    bool getBounds(Bounds& bounds) override;

    // Layer alpha x object alpha x (the object's highlight level with mouse highlight
    // on, else the own alpha); a missing owner or layer counts as 1.
    float effectiveAlpha() const;
    void beginRender();
    void endRender();

    // The animated values first, beside each other (see GameClass).
    InterpolatedValue alpha{1};
    InterpolatedValue alphaTestValue;
    float width = 0, height = 0;
    float centerX = 0, centerY = 0;
    bool mouseHighlight = false;
    float color[3] = {1, 1, 1};
    int blendMode = 1;
    int blendSrc = 0, blendDst = 0;
    bool explicitFactors = false;
    int alphaTestFunction = 7;

private:
    bool changesBlending() const { return explicitFactors || blendMode != 1; }
    void setColor(const char* text);
    void setBlending(const char* word);

    int luaSetAlpha(lua_State* L);
    int luaAlpha(lua_State* L);
    int luaAlphaAbs(lua_State* L);
    int luaSetMouseHighlight(lua_State* L);
    int luaMouseHighlight(lua_State* L);
    int luaSize(lua_State* L);
    int luaCenterPosition(lua_State* L);
    int luaSetColor(lua_State* L);
    int luaColor(lua_State* L);
    int luaIsAlphaInterpolating(lua_State* L);
    int luaSetAlphaTestValue(lua_State* L);
    int luaAlphaTestValue(lua_State* L);
    template <float VisualComponent::*Field>
    int luaNumber(lua_State* L);

    BlendState saved_{};  // the blending in force before beginRender, put back by endRender
};
