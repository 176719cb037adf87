#include "script/api/lua_api_text.h"

#include <cmath>

#include "script/lua_arguments.h"
#include "text/debug_font.h"
#include "text/true_text.h"

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
