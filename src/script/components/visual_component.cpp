#include "script/components/visual_component.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"
#include "script/scene/layer.h"

namespace {

constexpr std::size_t kShortColorText = 7;

int PushNumber(lua_State* L, float value) {
    lua_pushnumber(L, value);
    return 1;
}

}  // namespace

template <float VisualComponent::*Field>
int VisualComponent::luaNumber(lua_State* L) {
    return PushNumber(L, this->*Field);
}

const MethodEntry<VisualComponent> VisualComponent::methods[] = {
    {"set_alpha", &VisualComponent::luaSetAlpha},
    {"alpha", &VisualComponent::luaAlpha},
    {"alpha_abs", &VisualComponent::luaAlphaAbs},
    {"set_mouse_highlight", &VisualComponent::luaSetMouseHighlight},
    {"mouse_highlight", &VisualComponent::luaMouseHighlight},
    {"size", &VisualComponent::luaSize},
    {"center_position", &VisualComponent::luaCenterPosition},
    {"set_color", &VisualComponent::luaSetColor},
    {"color", &VisualComponent::luaColor},
    {"is_alpha_interpolating", &VisualComponent::luaIsAlphaInterpolating},
    {"set_alpha_test_value", &VisualComponent::luaSetAlphaTestValue},
    {"alpha_test_value", &VisualComponent::luaAlphaTestValue},
    {"width", &VisualComponent::luaNumber<&VisualComponent::width>},
    {"height", &VisualComponent::luaNumber<&VisualComponent::height>},
    {"center_x", &VisualComponent::luaNumber<&VisualComponent::centerX>},
    {"center_y", &VisualComponent::luaNumber<&VisualComponent::centerY>},
    {nullptr, nullptr},
};

void VisualComponent::registerMethods(lua_State* L) {
    RootComponent::registerMethods(L);
    LuaBinder<VisualComponent>::registerMethods(L);
}

void VisualComponent::setup(lua_State* L) {
    RootComponent::setup(L);
    if (LuaTableIsBoolean(L, "mouse_highlight")) mouseHighlight = LuaTableGetBool(L, "mouse_highlight");
    ReadInterpolatedField(L, "alpha", alpha);
    if (const char* text = LuaTableGetString(L, "color")) setColor(text);
    if (const char* word = LuaTableGetString(L, "blending")) setBlending(word);
    if (LuaTableHasValue(L, "blending_src") && LuaTableHasValue(L, "blending_dst")) {
        blendSrc = ParseBlendFactor(LuaTableGetString(L, "blending_src"));
        blendDst = ParseBlendFactor(LuaTableGetString(L, "blending_dst"));
        explicitFactors = true;
    }
    if (LuaTableHasValue(L, "alpha_test_function"))
        alphaTestFunction = ParseCompareFunc(LuaTableGetString(L, "alpha_test_function"));
    ReadInterpolatedField(L, "alpha_test_value", alphaTestValue);
}

void VisualComponent::setColor(const char* text) {
    // Only the red, green and blue bytes are used; a short text's alpha is opaque.
    const auto packed = static_cast<uint32_t>(ParseHexColor(text));
    const uint32_t argb = std::strlen(text) <= kShortColorText ? (packed | 0xFF000000u) : packed;
    color[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    color[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    color[2] = static_cast<float>(argb & 0xFF) / 255.0f;
}

void VisualComponent::setBlending(const char* word) { blendMode = ParseBlendModeWord(word, blendMode); }

void VisualComponent::updateInterpolators(float dt) {
    RootComponent::updateInterpolators(dt);
    alpha.update(dt);
    alphaTestValue.update(dt);
}

bool VisualComponent::getBounds(Bounds& bounds) {
    const float sx = scale_x.value();
    const float sy = scale_y.value();
    bounds.left = (x.value() - centerX) * sx;
    bounds.top = (y.value() - centerY) * sy;
    bounds.right = bounds.left + width * sx;
    bounds.bottom = bounds.top + height * sy;
    return true;
}

float VisualComponent::effectiveAlpha() const {
    const Layer* layer = ownerLayer();
    const float layerAlpha = layer ? layer->alpha.value() : 1.0f;
    const float objectAlpha = owner ? owner->alpha.value() : 1.0f;
    const float level = mouseHighlight ? (owner ? owner->highlight : 0.0f) : alpha.value();
    return layerAlpha * objectAlpha * level;
}

void VisualComponent::beginRender() {
    if (changesBlending()) {
        saved_ = g_renderer.blend;
        explicitFactors ? SetBlendFunc(blendSrc, blendDst) : SetBlendMode(blendMode);
    }
    if (alphaTestFunction != kCompareAlways)
        SetAlphaTest(alphaTestFunction, static_cast<int>(alphaTestValue.value() * 255.0f));
}

void VisualComponent::endRender() {
    if (changesBlending()) RestoreBlendState(saved_);
    if (alphaTestFunction != kCompareAlways) SetAlphaTest(kCompareAlways, 0);
}

int VisualComponent::luaSetAlpha(lua_State* L) {
    ReadInterpolatedArg(L, 2, alpha);
    return 0;
}

int VisualComponent::luaAlpha(lua_State* L) { return PushNumber(L, alpha.value()); }
int VisualComponent::luaAlphaAbs(lua_State* L) { return PushNumber(L, effectiveAlpha()); }

int VisualComponent::luaSetMouseHighlight(lua_State* L) {
    mouseHighlight = LuaArgBool(L);
    return 0;
}

int VisualComponent::luaMouseHighlight(lua_State* L) {
    lua_pushboolean(L, mouseHighlight);
    return 1;
}

int VisualComponent::luaSize(lua_State* L) {
    lua_pushnumber(L, width);
    lua_pushnumber(L, height);
    return 2;
}

int VisualComponent::luaCenterPosition(lua_State* L) {
    lua_pushnumber(L, centerX);
    lua_pushnumber(L, centerY);
    return 2;
}

int VisualComponent::luaSetColor(lua_State* L) {
    setColor(LuaArgString(L));
    return 0;
}

int VisualComponent::luaColor(lua_State* L) {
    char text[16];
    std::snprintf(text, sizeof text, "%.6x", PackARGB(color[0], color[1], color[2], 1.0f) & 0xFFFFFFu);
    lua_pushstring(L, text);
    return 1;
}

int VisualComponent::luaIsAlphaInterpolating(lua_State* L) {
    lua_pushboolean(L, alpha.isInterpolating());
    return 1;
}

int VisualComponent::luaSetAlphaTestValue(lua_State* L) {
    ReadInterpolatedArg(L, 2, alphaTestValue);
    return 0;
}

int VisualComponent::luaAlphaTestValue(lua_State* L) { return PushNumber(L, alphaTestValue.value()); }
