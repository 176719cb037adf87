#include "script/components/box_shape_component.h"

#include "core/string_utils.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace

template <float BoxShapeComponent::*Field>
int BoxShapeComponent::luaCorner(lua_State* L) {
    lua_pushnumber(L, this->*Field);
    return 1;
}

template <float BoxShapeComponent::*Field>
int BoxShapeComponent::luaSetCorner(lua_State* L) {
    this->*Field = LuaArgNumber(L, 2);
    return 0;
}

const MethodEntry<BoxShapeComponent> BoxShapeComponent::methods[] = {
    {"x0", &BoxShapeComponent::luaCorner<&BoxShapeComponent::x0>},
    {"y0", &BoxShapeComponent::luaCorner<&BoxShapeComponent::y0>},
    {"x1", &BoxShapeComponent::luaCorner<&BoxShapeComponent::x1>},
    {"y1", &BoxShapeComponent::luaCorner<&BoxShapeComponent::y1>},
    {"set_x0", &BoxShapeComponent::luaSetCorner<&BoxShapeComponent::x0>},
    {"set_y0", &BoxShapeComponent::luaSetCorner<&BoxShapeComponent::y0>},
    {"set_x1", &BoxShapeComponent::luaSetCorner<&BoxShapeComponent::x1>},
    {"set_y1", &BoxShapeComponent::luaSetCorner<&BoxShapeComponent::y1>},
    {"box", &BoxShapeComponent::luaBox},
    {"set_box", &BoxShapeComponent::luaSetBox},
    {nullptr, nullptr},
};

void BoxShapeComponent::registerMethods(lua_State* L) {
    ShapeComponent::registerMethods(L);
    LuaBinder<BoxShapeComponent>::registerMethods(L);
}

void BoxShapeComponent::setup(lua_State* L) {
    ShapeComponent::setup(L);
    const auto number = [L](const char* key) { return static_cast<float>(LuaTableGetNumber(L, key)); };
    const float cx = LuaTableIsNumber(L, "cx") ? number("cx") : 0;
    const float cy = LuaTableIsNumber(L, "cy") ? number("cy") : 0;
    if (LuaTableIsNumber(L, "w") && LuaTableIsNumber(L, "h")) {
        x0 = 0 - cx;  // not -cx: a zero centre gives 0, never -0
        y0 = 0 - cy;
        x1 = x0 + number("w");
        y1 = y0 + number("h");
        autoFit = false;
    }
    if (LuaTableIsNumber(L, "x0") && LuaTableIsNumber(L, "y0") && LuaTableIsNumber(L, "x1") &&
        LuaTableIsNumber(L, "y1")) {
        x0 = number("x0") - cx;
        y0 = number("y0") - cy;
        x1 = number("x1") - cx;
        y1 = number("y1") - cy;
        autoFit = false;
    }
}

bool BoxShapeComponent::isPointInside(float px, float py) {
    const Transform own = effectiveTransform();
    float dx = px - own.x;
    float dy = py - own.y;
    RotatePoint(dx, dy, own.angle * kDegreesToRadians);
    dx /= own.scale_x;
    dy /= own.scale_y;
    return x0 <= dx && dx < x1 && y0 <= dy && dy < y1;
}

void BoxShapeComponent::fitToOwner() {
    if (!autoFit || !owner) return;
    Bounds bounds{FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
    if (!owner->computeBounds(bounds)) return;
    x0 = bounds.left;
    y0 = bounds.top;
    x1 = bounds.right;
    y1 = bounds.bottom;
}

void BoxShapeComponent::render() {
    updateAbsoluteValues();
    if (overlayShown()) drawBoxOverlay(x0, y0, x1, y1, kWhite);
}

int BoxShapeComponent::luaBox(lua_State* L) {
    for (const float corner : {x0, y0, x1, y1}) lua_pushnumber(L, corner);
    return 4;
}

int BoxShapeComponent::luaSetBox(lua_State* L) {
    x0 = LuaArgNumber(L, 2);
    y0 = LuaArgNumber(L, 3);
    x1 = LuaArgNumber(L, 4);
    y1 = LuaArgNumber(L, 5);
    return 0;
}
