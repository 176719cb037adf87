#include "script/components/text_component.h"

#include <algorithm>
#include <cmath>

#include "core/config.h"
#include "core/string_utils.h"
#include "script/lua_arguments.h"
#include "script/lua_base.h"
#include "text/text_placement.h"
#include "text/text_renderer.h"
#include "text/text_words.h"
#include "text/true_text_layout.h"
#include "text/true_text_render.h"

namespace {

// Near-zero scales would blow the measured size up.
constexpr float kSmallestScale = 1e-4f;

}  // namespace

const MethodEntry<TextComponent> TextComponent::methods[] = {
    {"set_align", &TextComponent::luaSetAlign},
    {"set_text", &TextComponent::luaSetText},
    {"text", &TextComponent::luaText},
    {"font", &TextComponent::luaFont},
    {"set_font", &TextComponent::luaSetFont},
    {"set_max_width", &TextComponent::luaSetMaxWidth},
    {nullptr, nullptr},
};

std::string ScaleTextComponentFontName(const std::string& name, float factor) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == 0) return name;
    // Sizes beyond any font saturate before they could overflow.
    double size = 0;
    for (std::size_t i = digits; i < name.size(); ++i) size = std::min(size * 10 + (name[i] - '0'), 1e6);
    const double scaled = std::trunc(size * factor);
    return name.substr(0, digits) + std::to_string(static_cast<long>(std::clamp(scaled, 0.0, 1e7)));
}

void TextComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<TextComponent>::registerMethods(L);
}

void TextComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    const float scale = GlobalFontScale();
    if (const char* name = LuaTableGetString(L, "font")) font = name;
    // The default name too: "system12" is "system18" at 1.5.
    if (scale < 0.9f || scale > 1.1f) font = ScaleTextComponentFontName(font, scale);
    if (const char* words = LuaTableGetString(L, "align")) align = ParseAlignment(words);
    if (LuaTableIsNumber(L, "max_width")) maxWidth = static_cast<float>(LuaTableGetNumber(L, "max_width")) * scale;
    if (LuaTableIsNumber(L, "max_height")) maxHeight = static_cast<float>(LuaTableGetNumber(L, "max_height")) * scale;
    if (const char* value = LuaTableGetString(L, "text")) text = value;
}

float TextComponent::measureScale() const {
    const float s = std::fabs(effectiveTransform().scale_x);
    return s > kSmallestScale && std::isfinite(s) ? s : 1.0f;
}

void TextComponent::prepare() {
    VisualComponent::prepare();
    layout();
}

void TextComponent::layout() {
    centerX = centerY = 0;
    if (g_config.true_text) {
        std::string face;
        float size = 0;
        SplitFontSize(font, face, size);
        const float s = measureScale();
        float w = 0, h = 0;
        TrueText_TextSize(text.c_str(), w, h, face, size * s, maxWidth * s, maxHeight * s, align);
        width = w / s;
        height = h / s;
        return;
    }
    TextRenderer& renderer = GetTextRenderer();
    width = maxWidth;
    height = maxHeight;
    if (renderer.SelectFont(font, 0)) {
        OldFont_MeasureText(text.c_str(), width, height, static_cast<int>(align));
    } else {
        width = height = 0;
    }
    width /= GlobalFontScale();
    height /= GlobalFontScale();
}

void TextComponent::renderTrueText(bool layoutOnly) {
    std::string face;
    float size = 0;
    SplitFontSize(font, face, size);
    const Transform t = effectiveTransform();
    const TextPoint at = LetterboxTextPoint(t.x, t.y, true);
    // Unlike measuring, drawing takes the scale as it is: at 0 the text vanishes.
    const float s = std::isfinite(t.scale_x) ? std::fabs(t.scale_x) * at.factor : 0.0f;
    const uint32_t colour = PackARGB(color[0], color[1], color[2], effectiveAlpha());
    TrueText_Render(text.c_str(), layoutOnly, face, size * s, at.x, at.y, t.angle, 1, 1, maxWidth * s, maxHeight * s,
                    align, colour);
}

void TextComponent::renderBitmapText() {
    TextRenderer& renderer = GetTextRenderer();
    if (!renderer.SelectFont(font, 0)) return;
    const Transform t = effectiveTransform();
    const TextPoint at = LetterboxTextPoint(t.x, t.y, false);
    renderer.x = at.x;
    renderer.y = at.y;
    renderer.angle = t.angle;
    renderer.scaleX = t.scale_x / GlobalFontScale() * at.factor;
    renderer.scaleY = t.scale_y / GlobalFontScale() * at.factorY;
    const uint32_t colour = PackARGB(color[0], color[1], color[2], effectiveAlpha());
    OldFont_RenderText(text.c_str(), colour, 0, 0, maxWidth, maxHeight, static_cast<int>(align));
}

void TextComponent::prerender() {
    updateAbsoluteValues();
    renderTrueText(true);
}

void TextComponent::render() {
    // The transform again: a scene that did not prerender left it as it was.
    updateAbsoluteValues();
    beginRender();
    if (g_config.true_text)
        renderTrueText(false);
    else
        renderBitmapText();
    endRender();
}

int TextComponent::luaSetAlign(lua_State* L) {
    align = ParseAlignment(LuaArgString(L));
    return 0;
}

int TextComponent::luaSetText(lua_State* L) {
    text = LuaArgString(L);
    layout();
    return 0;
}

int TextComponent::luaText(lua_State* L) {
    lua_pushstring(L, text.c_str());
    return 1;
}

int TextComponent::luaFont(lua_State* L) {
    lua_pushstring(L, font.c_str());
    return 1;
}

int TextComponent::luaSetFont(lua_State* L) {
    font = LuaArgString(L);
    layout();
    return 0;
}

int TextComponent::luaSetMaxWidth(lua_State* L) {
    maxWidth = LuaArgNumber(L, 2);
    layout();
    return 0;
}
