#include "script/components/rectangle_component.h"

#include "core/log.h"
#include "graphics/sprite_batch.h"
#include "script/lua_base.h"

const MethodEntry<RectangleComponent> RectangleComponent::methods[] = {
    {"set_size", &RectangleComponent::luaSetSize},
    {nullptr, nullptr},
};

void RectangleComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<RectangleComponent>::registerMethods(L);
}

void RectangleComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    const auto number = [L](const char* key) { return static_cast<float>(LuaTableGetNumber(L, key)); };
    if (LuaTableIsNumber(L, "cx")) centerX = number("cx");
    if (LuaTableIsNumber(L, "cy")) centerY = number("cy");
    if (LuaTableIsNumber(L, "w") && LuaTableIsNumber(L, "h")) {
        width = number("w");
        height = number("h");
    }
    fit.read(L);
}

void RectangleComponent::prepare() {
    float w = 0, h = 0;
    switch (FitSize(fit, *this, w, h)) {
        case FitResult::kTargetMissing:
            VELK_ERROR("rectangle/fit_to_component: component %s not found", fit.target.c_str());
        case FitResult::kResize: setSize(w, h); break;
        case FitResult::kNothing: break;
    }
}

void RectangleComponent::setSize(float w, float h) {
    ResizeKeepingCentre(*this, w, h);
    RefitOwnerShape(*this);
}

void RectangleComponent::render() {
    updateAbsoluteValues();
    if (width == 0 || height == 0) return;  // also a rectangle attached without setup
    beginRender();
    const Transform t = effectiveTransform();
    DrawTexturedQuad(t.x, t.y, 0, width, height, 0, 0, 0, 0, nullptr, t.angle, effectiveAlpha(), t.scale_x, t.scale_y,
                     color, centerX, centerY, 0, 0, 0, 0);
    endRender();
}

int RectangleComponent::luaSetSize(lua_State* L) {
    setSize(LuaArgNumberOr(L, 2, 0), LuaArgNumberOr(L, 3, 0));
    return 0;
}
