#include "script/api/lua_api_text.h"

#include <cmath>
#include <string>

#include "core/config.h"
#include "graphics/render.h"
#include "script/api/lua_api_gfx.h"
#include "script/lua_arguments.h"
#include "text/debug_font.h"
#include "text/text_placement.h"
#include "text/text_renderer.h"
#include "text/text_words.h"
#include "text/true_text.h"
#include "text/true_text_layout.h"
#include "text/true_text_render.h"

namespace {

std::string StringArgument(lua_State* L, int index) {
    const char* text = ReadStringArgument(L, index);
    return text ? text : "";
}

uint32_t AlignmentArgument(lua_State* L, int index) {
    const int type = lua_type(L, index);
    return type == LUA_TSTRING || type == LUA_TNUMBER ? ParseAlignment(lua_tostring(L, index)) : 0;
}

float NumberArgument(lua_State* L, int index) { return static_cast<float>(ReadNumberArgument(L, index, 0.0)); }

}  // namespace

int Api_gfx_load_font(lua_State* L) {
    if (const char* pattern = ReadStringArgument(L, 1)) GetTextRenderer().LoadFonts(pattern);
    return 0;
}

int Api_gfx_release_font(lua_State* L) {
    if (const char* name = ReadStringArgument(L, 1)) GetTextRenderer().ReleaseFont(name);
    return 0;
}

int Api_gfx_set_font(lua_State* L) {
    const double size = ReadNumberArgument(L, 2, 0.0);
    const int whole = size > -1e9 && size < 1e9 ? static_cast<int>(size) : 0;
    GetTextRenderer().SelectFont(StringArgument(L, 1), whole);
    return 0;
}

int Api_gfx_render_text(lua_State* L) {
    const float x = NumberArgument(L, 2), y = NumberArgument(L, 3);
    const char* text = ReadStringArgument(L, 4);
    const uint32_t flags = AlignmentArgument(L, 5);
    const float boxWidth = NumberArgument(L, 6), boxHeight = NumberArgument(L, 7);
    uint32_t colour = ReadColorArgument(L, 9, 8, 0, 0.0f);
    if (text || colour != 0) colour = ReadColorArgument(L, 9, 8, 0xFFFFFFFF, 1.0f);
    const std::string font = StringArgument(L, 1);
    if (g_config.true_text) {
        std::string name;
        float size = 0;
        SplitFontSize(font, name, size);
        const TextPoint at = LetterboxTextPoint(x, y, true);
        const float f = at.factor;
        for (const bool layoutOnly : {true, false})
            TrueText_Render(text, layoutOnly, name, size * f, at.x, at.y, 0, 1, 1, boxWidth * f, boxHeight * f, flags,
                            colour);
        return 0;
    }
    // Into a render target nothing is letterboxed: the factors are 1 there.
    const TextPoint at = LetterboxTextPoint(x, y, false);
    TextRenderer& renderer = GetTextRenderer();
    renderer.SelectFont(ScaleBitmapFontName(font, at.factor), 0);
    renderer.x = at.x;
    renderer.y = at.y;
    renderer.angle = 0;
    renderer.scaleX = renderer.scaleY = 1;
    OldFont_RenderText(text, colour, 0, 0, boxWidth * at.factor, boxHeight * at.factorY, static_cast<int>(flags));
    return 0;
}

int Api_gfx_text_size(lua_State* L) {
    const char* text = ReadStringArgument(L, 2);
    const uint32_t flags = AlignmentArgument(L, 3);
    const float m = GlobalFontScale();
    float width = NumberArgument(L, 4) * m, height = NumberArgument(L, 5) * m;
    const std::string font = StringArgument(L, 1);
    if (g_config.true_text) {
        std::string name;
        float size = 0;
        SplitFontSize(font, name, size);
        TrueText_TextSize(text, width, height, name, size * m, width, height, flags);
    } else if (GetTextRenderer().SelectFont(ScaleBitmapFontName(font, m), 0)) {
        OldFont_MeasureText(text, width, height, static_cast<int>(flags));
    } else {
        width = height = 0;
    }
    lua_pushnumber(L, width / m);
    lua_pushnumber(L, height / m);
    return 2;
}

int Api_gfx_set_asian_wrapping_mode(lua_State* L) {
    GetTextRenderer().asianWrapping = ReadBooleanArgument(L, 1, false);
    return 0;
}

int Api_gfx_render_simple_text(lua_State* L) {
    const double x = ReadNumberArgument(L, 1, 0.0), y = ReadNumberArgument(L, 2, 0.0);
    const char* text = ReadStringArgument(L, 3);
    // A position no vertex can hold draws nothing.
    if (!text || !std::isfinite(static_cast<float>(x)) || !std::isfinite(static_cast<float>(y))) return 0;
    DebugFont_DrawText(static_cast<float>(x), static_cast<float>(y), text, 0xFFFFFFFFu);
    return 0;
}

int Api_gfx_reset_true_text_cache(lua_State*) {
    TrueText_ResetCache();
    return 0;
}
