#include "script/components/fluid_box_component.h"

#include <cmath>
#include <utility>

#include "core/log.h"
#include "graphics/sprite_batch.h"
#include "script/lua_base.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

// Column-major, as the patches: first letter left, middle, right; second top, middle, bottom.
constexpr const char* kPatchSprites[3][3] = {{"lt", "lm", "lb"}, {"mt", "mm", "mb"}, {"rt", "rm", "rb"}};

// How many times a stretched patch of `patch` units spans `size` beyond the area's `area`;
// never below 1, and 1 for a patch of no size.
float Repeats(float size, float area, float patch) {
    if (!(patch > 0)) return 1;
    const float repeats = (size - area + patch) / patch;
    return repeats > 1 ? repeats : 1;
}

}  // namespace

const MethodEntry<FluidBoxComponent> FluidBoxComponent::methods[] = {
    {"set_size", &FluidBoxComponent::luaSetSize},
    {"set_center_position", &FluidBoxComponent::luaSetCenterPosition},
    {nullptr, nullptr},
};

void FluidBoxComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<FluidBoxComponent>::registerMethods(L);
}

void FluidBoxComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    if (LuaTableIsBoolean(L, "mirror_x")) mirrorX = LuaTableGetBool(L, "mirror_x");
    if (LuaTableIsBoolean(L, "mirror_y")) mirrorY = LuaTableGetBool(L, "mirror_y");
    if (const char* name = LuaTableGetString(L, "bitmap")) texture_.reset(LoadTexture(name));
    if (!texture_) VELK_ERROR("FluidBoxComponent is missing texture definition\n");
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row) loadPatch(kPatchSprites[column][row], column, row);
    // A sprite's own pending crop is never spent on the box's parts.
    const SpriteRect area = SpriteRectOf(texture_.get(), "area");
    areaWidth = area.width;
    areaHeight = area.height;
    const float au0 = mirrorX ? patches[0][0].u0 - area.u1 : area.u0;
    const float av0 = mirrorY ? patches[0][0].v0 - area.v1 : area.v0;
    areaOffsetX = std::floor(static_cast<float>(texture_->width) * au0);
    areaOffsetY = std::floor(static_cast<float>(texture_->height) * av0);
    width = areaWidth;
    height = areaHeight;
    if (LuaTableIsNumber(L, "w")) width = static_cast<float>(LuaTableGetNumber(L, "w"));
    if (LuaTableIsNumber(L, "h")) height = static_cast<float>(LuaTableGetNumber(L, "h"));
    fit.read(L);
    layout();
    if (LuaTableIsNumber(L, "cx") && LuaTableIsNumber(L, "cy")) {
        centerX = static_cast<float>(LuaTableGetNumber(L, "cx"));
        centerY = static_cast<float>(LuaTableGetNumber(L, "cy"));
    } else {
        // The area's pivot at the laid-out size; an area of no size has its centre at 0.
        centerX = areaWidth > 0 ? std::floor(width * area.pivotX / areaWidth) : 0;
        centerY = areaHeight > 0 ? std::floor(height * area.pivotY / areaHeight) : 0;
    }
    if (mirrorX) centerX = width - centerX;
    if (mirrorY) centerY = height - centerY;
}

void FluidBoxComponent::loadPatch(const char* sprite, int column, int row) {
    const SpriteRect rect = SpriteRectOf(texture_.get(), sprite);
    Patch& patch = patches[mirrorX ? 2 - column : column][mirrorY ? 2 - row : row];
    patch = Patch{};
    patch.spriteWidth = rect.width;
    patch.spriteHeight = rect.height;
    patch.u0 = rect.u0;
    patch.v0 = rect.v0;
    patch.u1 = rect.u1;
    patch.v1 = rect.v1;
    if (mirrorX) std::swap(patch.u0, patch.u1);
    if (mirrorY) std::swap(patch.v0, patch.v1);
}

void FluidBoxComponent::layout() {
    const float cw = patches[1][0].spriteWidth, ch = patches[0][1].spriteHeight;
    const float nx = Repeats(width, areaWidth, cw), ny = Repeats(height, areaHeight, ch);
    width = cw * (nx - 1) + areaWidth;
    height = ch * (ny - 1) + areaHeight;
    for (int i = 0; i < 3; ++i) {
        patches[1][i].repeatX = nx;
        patches[i][1].repeatY = ny;
    }
    for (auto& column : patches)
        for (Patch& patch : column) {
            patch.drawnWidth = std::ceil(patch.spriteWidth * patch.repeatX);
            patch.drawnHeight = std::ceil(patch.spriteHeight * patch.repeatY);
        }
}

void FluidBoxComponent::prepare() {
    float w = 0, h = 0;
    switch (FitSize(fit, *this, w, h)) {
        case FitResult::kTargetMissing:
            VELK_ERROR("fluid_box/fit_to_component: component %s not found", fit.target.c_str());
        case FitResult::kResize: setSize(w, h); break;
        case FitResult::kNothing: break;
    }
}

void FluidBoxComponent::setSize(float w, float h) {
    ResizeKeepingCentre(*this, w, h);
    layout();
    RefitOwnerShape(*this);
}

void FluidBoxComponent::render() {
    updateAbsoluteValues();
    if (!texture_) return;  // attached without setup
    beginRender();
    const Transform t = effectiveTransform();
    const float angle = t.angle * kDegreesToRadians;
    const float c = std::cos(angle), s = std::sin(angle);
    const float alpha = effectiveAlpha();
    float down = -(areaOffsetY + centerY) * t.scale_y;
    for (int row = 0; row < 3; ++row) {
        float across = -(areaOffsetX + centerX) * t.scale_x;
        for (const auto& column : patches) {
            const Patch& p = column[row];
            DrawTexturedQuad(t.x + across * c - down * s, t.y + across * s + down * c, 0, p.drawnWidth, p.drawnHeight,
                             p.u0, p.v0, p.u1, p.v1, texture_.get(), t.angle, alpha, t.scale_x, t.scale_y, color, 0,
                             0, 0, 0, 0, 0);
            across += t.scale_x * p.drawnWidth;
        }
        down += t.scale_y * patches[0][row].drawnHeight;
    }
    endRender();
}

int FluidBoxComponent::luaSetSize(lua_State* L) {
    setSize(LuaArgNumberOr(L, 2, 0), LuaArgNumberOr(L, 3, 0));
    return 0;
}

int FluidBoxComponent::luaSetCenterPosition(lua_State* L) {
    centerX = LuaArgNumberOr(L, 2, 0);
    centerY = LuaArgNumberOr(L, 3, 0);
    return 0;
}
