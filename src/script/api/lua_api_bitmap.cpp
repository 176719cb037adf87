#include "script/api/lua_api_bitmap.h"

#include "core/config.h"
#include "core/log.h"
#include "core/saturate.h"
#include "core/string_utils.h"
#include "graphics/image_loader.h"
#include "graphics/render_target.h"
#include "graphics/screenshot.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "script/api/live_handles.h"
#include "script/api/lua_api.h"
#include "script/api/lua_api_gfx.h"
#include "script/lua_arguments.h"
#include "script/lua_base.h"

namespace {

constexpr int kQuadCorners = 4;

LiveHandles<Texture>& Bitmaps() {
    static LiveHandles<Texture> bitmaps;
    return bitmaps;
}

int PushBitmap(lua_State* L, Texture* texture) {
    if (!texture) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushlightuserdata(L, Bitmaps().add(texture));
    return 1;
}

// An optional argument that counts only when the call reaches that far; present but
// not a number, it reads 0.
float ArgumentIfGiven(lua_State* L, int index, float fallback) {
    return lua_gettop(L) >= index ? static_cast<float>(lua_tonumber(L, index)) : fallback;
}

float Number(lua_State* L, int index, double fallback = 0.0) {
    return static_cast<float>(ReadNumberArgument(L, index, fallback));
}

int Truncated(lua_State* L, int index) { return TruncateToInt(ReadNumberArgument(L, index, 0.0)); }

// The vertex table on the stack top: x, y, z, u, v and a colour from r, g, b, alpha.
RenderVertex ReadVertex(lua_State* L) {
    const auto field = [L](const char* name) { return static_cast<float>(LuaTableGetNumber(L, name)); };
    return {field("x"), field("y"), field("z"), PackARGB(field("r"), field("g"), field("b"), field("alpha")),
            field("u"), field("v")};
}

// The first four entries of the table at `index` that are tables; false for fewer.
bool ReadQuad(lua_State* L, int index, RenderVertex quad[kQuadCorners]) {
    if (!lua_istable(L, index)) return false;
    int found = 0;
    lua_pushnil(L);
    while (found < kQuadCorners && lua_next(L, index)) {
        if (lua_istable(L, -1)) quad[found++] = ReadVertex(L);
        lua_pop(L, 1);
    }
    if (found == kQuadCorners) lua_pop(L, 1);  // the key the walk stopped at
    return found == kQuadCorners;
}

}  // namespace

Texture* ReadBitmapArgument(lua_State* L, int index) { return Bitmaps().read(L, index); }

void ForgetBitmapHandles() { Bitmaps().clear(); }

int Api_gfx_garbage_collect(lua_State*) {
    ReleaseUnusedTextures();
    return 0;
}

int Api_gfx_is_bitmap_valid(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    lua_pushboolean(L, name && IsImageFileValid(name));
    return 1;
}

int Api_gfx_load_bitmap(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    if (!name || !*name) return LuaErrorf(L, "File name must not be empty");
    return PushBitmap(L, LoadTexture(name));
}

int Api_gfx_create_bitmap(lua_State* L) {
    const int width = Truncated(L, 1), height = Truncated(L, 2);
    const bool alpha = ReadBooleanArgument(L, 3, false);
    return PushBitmap(L, CreateBlankTexture(width, height, width / 2, height / 2, alpha, false, true, false, false));
}

int Api_gfx_release_bitmap(lua_State* L) {
    Texture* texture = ReadBitmapArgument(L, 1);
    if (!texture) {
        VELK_WARNING("gfx_release_bitmap(NULL)");
        return 0;
    }
    // Deleted at the end of the frame once nobody else holds it either.
    Bitmaps().release(texture);
    texture->refCount -= 1;
    return 0;
}

int Api_gfx_screenshot(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    const int width = ReadRoundedArgument(L, 2, 0), height = ReadRoundedArgument(L, 3, 0);
    const int left = ReadRoundedArgument(L, 4, -1), top = ReadRoundedArgument(L, 5, -1);
    const int right = ReadRoundedArgument(L, 6, left < 0 ? 0 : width);
    const int bottom = ReadRoundedArgument(L, 7, top < 0 ? 0 : height);
    const ScreenshotRect source{left, top, right, bottom};
    const ScreenshotSize destination{width, height};
    const bool useSource = left >= 0 && top >= 0 && right > 0 && bottom > 0;
    const bool useDestination = width > 0 && height > 0;
    TakeScreenshot(name, useSource ? &source : nullptr, useDestination ? &destination : nullptr);
    return 0;
}

int Api_gfx_render_target(lua_State* L) {
    Texture* texture = ReadBitmapArgument(L, 1);
    if (!texture) {
        EndRenderToTexture();
        return 0;
    }
    lua_pushboolean(L, BeginRenderToTexture(texture, ReadColorArgument(L, 2, 3, 0x000000u, 0.0f)));
    return 1;
}

int Api_gfx_render_sprite(lua_State* L) {
    Texture* texture = ReadBitmapArgument(L, 1);
    if (!texture) {
        if (g_config.dev_mode) return LuaErrorf(L, "gfx_render_sprite: error, bitmap is nil");
        return 0;
    }
    float rgb[3], alpha;
    UnpackColor(ReadColorArgument(L, 9, 5, 0xFFFFFFFFu, 1.0f), rgb, alpha);
    // Most calls end before the scrolls and tilts: those are asked of Lua only when passed.
    const bool more = lua_gettop(L) >= 10;
    const auto trailing = [L, more](int index) { return more ? Number(L, index) : 0.0f; };
    DrawSprite(texture, ReadStringArgument(L, 2), Number(L, 3), Number(L, 4), 0.0f, ArgumentIfGiven(L, 6, 0.0f), alpha,
               ArgumentIfGiven(L, 7, 1.0f), ArgumentIfGiven(L, 8, 1.0f), rgb, trailing(10), trailing(11), trailing(12),
               trailing(13));
    return 0;
}

int Api_gfx_render_sprite_by_vertex_table(lua_State* L) {
    // A quad needs four corners: fewer draw nothing rather than reading past the table.
    RenderVertex quad[kQuadCorners];
    if (ReadQuad(L, 2, quad)) DrawImage(quad, ReadBitmapArgument(L, 1), kAddressWrap);
    return 0;
}

int Api_gfx_render_box(lua_State* L) {
    float rgb[3], alpha;
    UnpackColor(ReadColorArgument(L, 7, 5, 0xFFFFFFFFu, 1.0f), rgb, alpha);
    DrawTexturedQuad(Number(L, 1), Number(L, 2), 0.0f, Number(L, 3), Number(L, 4), 0, 0, 0, 0, nullptr,
                     ArgumentIfGiven(L, 6, 0.0f), alpha, 1.0f, 1.0f, rgb, ArgumentIfGiven(L, 8, 0.0f),
                     ArgumentIfGiven(L, 9, 0.0f), 0, 0, 0, 0);
    return 0;
}

int Api_gfx_sprite_params(lua_State* L) {
    Texture* texture = ReadBitmapArgument(L, 1);
    const char* name = ReadStringArgument(L, 2);
    if (!texture || !name || !FindSprite(texture, name)) return 0;
    const SpriteRect sprite = GetSprite(texture, name);
    for (const float value : {sprite.width, sprite.height, sprite.pivotX, sprite.pivotY}) lua_pushnumber(L, value);
    return 4;
}

int Api_gfx_crop_sprite(lua_State* L) {
    int x = -1, y = 0, width = 0, height = 0;
    if (lua_isnumber(L, 1)) {
        if (lua_isboolean(L, 5)) return LuaErrorf(L, "Permanent crop is no longer supported!");
        x = Truncated(L, 1);
        y = Truncated(L, 2);
        width = Truncated(L, 3);
        height = Truncated(L, 4);
    }
    CropNextSprite(x, y, width, height);
    return 0;
}
