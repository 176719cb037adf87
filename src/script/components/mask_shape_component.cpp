#include "script/components/mask_shape_component.h"

#include "effects/collision_mask_registry.h"
#include "script/lua_base.h"

namespace {

constexpr float kLightGreen[3] = {0.7f, 1.0f, 0.7f};

}  // namespace

template <float MaskShapeComponent::*Field>
int MaskShapeComponent::luaCorner(lua_State* L) {
    lua_pushnumber(L, this->*Field);
    return 1;
}

const MethodEntry<MaskShapeComponent> MaskShapeComponent::methods[] = {
    {"x0", &MaskShapeComponent::luaCorner<&MaskShapeComponent::x0>},
    {"y0", &MaskShapeComponent::luaCorner<&MaskShapeComponent::y0>},
    {"x1", &MaskShapeComponent::luaCorner<&MaskShapeComponent::x1>},
    {"y1", &MaskShapeComponent::luaCorner<&MaskShapeComponent::y1>},
    {nullptr, nullptr},
};

MaskShapeComponent::MaskShapeComponent() {
    id = "mask_shape";
    autoFit = false;
}

MaskShapeComponent::~MaskShapeComponent() { releaseMask(); }

void MaskShapeComponent::releaseMask() {
    if (mask_.mask) CollisionMask_Release(mask_.mask);
    mask_ = CollisionMaskRef{};
}

void MaskShapeComponent::registerMethods(lua_State* L) {
    ShapeComponent::registerMethods(L);
    LuaBinder<MaskShapeComponent>::registerMethods(L);
}

void MaskShapeComponent::setup(lua_State* L) {
    ShapeComponent::setup(L);
    const float cx = LuaTableIsNumber(L, "cx") ? static_cast<float>(LuaTableGetNumber(L, "cx")) : 0;
    const float cy = LuaTableIsNumber(L, "cy") ? static_cast<float>(LuaTableGetNumber(L, "cy")) : 0;
    const char* name = LuaTableGetString(L, "mask");
    if (!name) VELK_ERROR("Mask not found: %s", "nil");
    // Loaded before the old one goes, so setting the same mask again keeps it alive.
    CollisionMask* mask = CollisionMask_Load(name, kMaskRed);
    releaseMask();
    CollisionMaskRef_Init(mask_, mask, cx, cy);
    x0 = 0 - cx;  // not -cx: a zero centre gives 0, never -0
    y0 = 0 - cy;
    x1 = x0 + static_cast<float>(mask->width);
    y1 = y0 + static_cast<float>(mask->height);
}

bool MaskShapeComponent::isPointInside(float px, float py) {
    if (!mask_.mask) return false;
    const Transform own = effectiveTransform();
    return CollisionMask_Test(*mask_.mask, px, py, own.x, own.y, mask_.hotspotX, mask_.hotspotY, own.angle, own.scale_x,
                              own.scale_y);
}

void MaskShapeComponent::render() {
    updateAbsoluteValues();
    if (overlayShown()) drawBoxOverlay(x0, y0, x1, y1, kLightGreen);
}
