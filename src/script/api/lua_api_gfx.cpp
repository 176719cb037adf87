#include "script/api/lua_api_gfx.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "core/app_state.h"
#include "core/config.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "platform/linux/window.h"
#include "script/api/lua_api.h"
#include "script/lua_arguments.h"
#include "text/text_placement.h"

namespace {

constexpr int kLargestFontSize = 900;
constexpr int kNumberedBlendFactors = 10;

// A number n names the factor n + 1 (0 is ZERO); outside 0..9 the factor stays as it is.
int BlendFactorArgument(lua_State* L, int index) {
    if (!lua_isnumber(L, index)) return ParseBlendFactor(ReadStringArgument(L, index));
    const int n = ReadRoundedArgument(L, index, 0);
    return n >= 0 && n < kNumberedBlendFactors ? n + 1 : kBlendFactorUnchanged;
}

bool IsTrue(lua_State* L, int index) { return ReadBooleanArgument(L, index, false); }

}  // namespace

void UnpackColor(uint32_t argb, float rgb[3], float& alpha) {
    constexpr float kByte = 255.0f;
    alpha = static_cast<float>((argb >> 24) & 0xFF) / kByte;
    rgb[0] = static_cast<float>((argb >> 16) & 0xFF) / kByte;
    rgb[1] = static_cast<float>((argb >> 8) & 0xFF) / kByte;
    rgb[2] = static_cast<float>(argb & 0xFF) / kByte;
}

std::string ScaleBitmapFontName(const std::string& name, float factor) {
    std::size_t digits = 0;
    while (digits < name.size() && !std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
    if (digits == name.size()) return name;
    // Sizes beyond the largest font are clamped before they could overflow the count.
    long size = 0;
    for (std::size_t i = digits; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i)
        size = std::min<long>(size * 10 + (name[i] - '0'), 1000000);
    const double scaled = std::trunc(static_cast<double>(factor) * static_cast<double>(size) + 0.5);
    const long clamped = std::isnan(scaled) ? 0 : static_cast<long>(std::clamp(scaled, 0.0, double{kLargestFontSize}));
    return name.substr(0, digits) + std::to_string(clamped);
}

void ResetGfxState() { SetGlobalFontScale(1.0f); }

int Api_gfx_use_non_retina_fonts(lua_State* L) {
    if (lua_toboolean(L, 1)) SetGlobalFontScale(0.5f);
    return 0;
}

int Api_gfx_global_font_scaling(lua_State* L) {
    // Sizes are divided by the scale: 0, a negative or a NaN scale would make them meaningless.
    const double scale = ReadNumberArgument(L, 1, 0.0);
    if (scale > 0.0 && std::isfinite(scale)) SetGlobalFontScale(static_cast<float>(scale));
    return 0;
}

int Api_gfx_enable_dithering_16_bit(lua_State* L) {
    if (lua_isboolean(L, 1)) SetDithering16Bit(lua_toboolean(L, 1) != 0);
    return 0;
}

int Api_gfx_is_dithering_16_bit_enabled(lua_State* L) {
    lua_pushboolean(L, Dithering16Bit());
    return 1;
}

int Api_gfx_aspect_ratio_correction(lua_State* L) {
    lua_pushboolean(L, false);
    return 1;
}

int Api_gfx_resolution(lua_State* L) {
    g_renderer.virtualWidth = ReadRoundedArgument(L, 1, 0);
    g_renderer.virtualHeight = ReadRoundedArgument(L, 2, 0);
    g_renderer.aspectCorrection = ReadBooleanArgument(L, 3, g_renderer.aspectCorrection);
    return 0;
}

int Api_gfx_color(lua_State* L) {
    const auto channel = [L](int index) { return static_cast<float>(ReadNumberArgument(L, index, 1.0)); };
    char text[16];
    std::snprintf(text, sizeof text, "%.6x", PackARGB(channel(1), channel(2), channel(3), 0.0f) & 0xFFFFFFu);
    lua_pushstring(L, text);
    return 1;
}

int Api_gfx_blending(lua_State* L) {
    SetBlendMode(ParseBlendModeWord(ReadStringArgument(L, 1), kBlendAlpha));
    if (lua_gettop(L) <= 1) return 0;
    const bool red = IsTrue(L, 2), green = IsTrue(L, 3), blue = IsTrue(L, 4), alpha = IsTrue(L, 5);
    if (red || green || blue || alpha) SetColorMask(red, green, blue, alpha);
    return 0;
}

int Api_gfx_blending_src_dest(lua_State* L) {
    SetBlendFunc(BlendFactorArgument(L, 1), BlendFactorArgument(L, 2));
    return 0;
}

int Api_gfx_alpha_test(lua_State* L) {
    SetAlphaTest(ParseCompareFunc(ReadStringArgument(L, 1)), ReadRoundedArgument(L, 2, 0));
    return 0;
}

int Api_gfx_depth_enable(lua_State* L) {
    SetDepthTest(lua_toboolean(L, 1) != 0);
    return 0;
}

int Api_gfx_cull(lua_State* L) {
    SetCullMode(ParseCullMode(ReadStringArgument(L, 1)));
    return 0;
}

int Api_gfx_batch_layer(lua_State* L) {
    // The slot is clamped at both ends: a negative one would index before the batch.
    SelectCurrentBatchSlot(ReadRoundedArgument(L, 1, 0));
    return 0;
}

int Api_gfx_current_mode(lua_State* L) {
    lua_pushnumber(L, g_renderer.workWidth);
    lua_pushnumber(L, g_renderer.workHeight);
    lua_pushboolean(L, g_renderer.fullScreen);
    lua_pushnumber(L, g_renderer.windowWidth);
    lua_pushnumber(L, g_renderer.windowHeight);
    return 5;
}

int Api_gfx_full_screen(lua_State* L) {
    if (!lua_isboolean(L, 1)) {
        lua_pushboolean(L, g_renderer.fullScreen);
        return 1;
    }
    const bool wanted = lua_toboolean(L, 1) != 0;
    if (wanted == g_renderer.fullScreen) return 0;
    if (GetAppWindow()) {
        g_engine.full_screen_toggle_requested = true;  // the next frame re-creates the window
    } else {
        // The window is made from the configuration key, the renderer from its own flag.
        g_config.full_screen = wanted;
        g_renderer.fullScreen = wanted;
    }
    return 0;
}
