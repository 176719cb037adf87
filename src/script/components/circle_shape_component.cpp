#include "script/components/circle_shape_component.h"

#include <cfloat>
#include <cmath>

#include "core/config.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"

namespace {

constexpr const char* kDebugCircle = "framework/gfx/dev_circle";
constexpr float kDebugCircleRadius = 128;

}  // namespace

const MethodEntry<CircleShapeComponent> CircleShapeComponent::methods[] = {
    {"set_radius", &CircleShapeComponent::luaSetRadius},
    {"radius", &CircleShapeComponent::luaRadius},
    {nullptr, nullptr},
};

CircleShapeComponent::CircleShapeComponent() {
    id = "circle_shape";
    if (g_config.dev_mode && TextureExists(kDebugCircle)) debugTexture_.reset(LoadTexture(kDebugCircle));
}

void CircleShapeComponent::registerMethods(lua_State* L) {
    ShapeComponent::registerMethods(L);
    LuaBinder<CircleShapeComponent>::registerMethods(L);
}

void CircleShapeComponent::setup(lua_State* L) {
    ShapeComponent::setup(L);
    if (!LuaTableIsNumber(L, "radius")) return;
    radius = static_cast<float>(LuaTableGetNumber(L, "radius"));
    autoFit = false;
}

// Squares are compared: a negative radius hits as its size (the unfitted -1 as 1).
bool CircleShapeComponent::isPointInside(float px, float py) {
    const Transform own = effectiveTransform();
    const float dx = (px - own.x) / own.scale_x;
    const float dy = (py - own.y) / own.scale_y;
    return dx * dx + dy * dy <= radius * radius;
}

void CircleShapeComponent::fitToOwner() {
    if (!autoFit || !owner) return;
    Bounds bounds{FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX};
    if (owner->computeBounds(bounds)) radius = std::floor((bounds.right - bounds.left) * 0.5f);
}

void CircleShapeComponent::render() {
    updateAbsoluteValues();
    if (!debugTexture_ || !overlayShown()) return;
    const Transform own = effectiveTransform();
    const float scale = radius / kDebugCircleRadius;
    DrawSprite(debugTexture_.get(), "main", own.x, own.y, 0, 0, kOverlayAlpha, scale * own.scale_x, scale * own.scale_y,
               overlayColor(kWhite), 0, 0, 0, 0);
}

int CircleShapeComponent::luaSetRadius(lua_State* L) {
    radius = LuaArgNumber(L, 2);
    return 0;
}

int CircleShapeComponent::luaRadius(lua_State* L) {
    lua_pushnumber(L, radius);
    return 1;
}
