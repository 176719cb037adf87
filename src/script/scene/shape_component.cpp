#include "script/scene/shape_component.h"

#include "core/config.h"
#include "core/input.h"
#include "graphics/sprite_batch.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"

namespace {

constexpr int kDebugOverlayKey = 0x74;  // F5
constexpr float kRed[3] = {1, 0, 0};

}  // namespace

const MethodEntry<ShapeComponent> ShapeComponent::methods[] = {
    {"point_inside", &ShapeComponent::luaPointInside},
    {"is_pass_through", &ShapeComponent::luaIsPassThrough},
    {"set_pass_through", &ShapeComponent::luaSetPassThrough},
    {nullptr, nullptr},
};

ShapeComponent::~ShapeComponent() {
    if (owner && owner->shape == this) owner->shape = nullptr;
}

void ShapeComponent::registerMethods(lua_State* L) {
    RootComponent::registerMethods(L);
    LuaBinder<ShapeComponent>::registerMethods(L);
}

void ShapeComponent::setup(lua_State* L) {
    RootComponent::setup(L);
    if (LuaTableIsBoolean(L, "pass_through")) passThrough = LuaTableGetBool(L, "pass_through");
}

void ShapeComponent::attachTo(GameObject* object) {
    RootComponent::attachTo(object);
    object->shape = this;
}

bool ShapeComponent::overlayShown() { return g_config.dev_mode && g_input.keys.down[kDebugOverlayKey] == kKeyHeld; }

const float* ShapeComponent::overlayColor(const float* idle) const { return owner && owner->hovered ? kRed : idle; }

void ShapeComponent::drawBoxOverlay(float x0, float y0, float x1, float y1, const float* idle) {
    const Transform own = effectiveTransform();
    DrawTexturedQuad(own.x, own.y, 0, x1 - x0, y1 - y0, 0, 0, 0, 0, nullptr, own.angle, kOverlayAlpha, own.scale_x,
                     own.scale_y, overlayColor(idle), -x0, -y0, 0, 0, 0, 0);
}

int ShapeComponent::luaPointInside(lua_State* L) {
    const float px = LuaArgNumber(L, 2);
    const float py = LuaArgNumber(L, 3);
    lua_pushboolean(L, isPointInside(px, py));
    return 1;
}

int ShapeComponent::luaIsPassThrough(lua_State* L) {
    lua_pushboolean(L, passThrough);
    return 1;
}

int ShapeComponent::luaSetPassThrough(lua_State* L) {
    passThrough = LuaArgBool(L);
    return 0;
}
