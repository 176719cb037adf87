#include "script/components/bitmap_component.h"

#include "core/frame_timer.h"
#include "core/saturate.h"
#include "core/log.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "script/lua_base.h"

void DrawComponentSprite(Texture* texture, const SpriteRect& s, const Transform& at, float alpha, const float* rgb) {
    DrawTexturedQuad(at.x, at.y, 0, s.width, s.height, s.u0, s.v0, s.u1, s.v1, texture, at.angle, alpha, at.scale_x,
                     at.scale_y, rgb, s.pivotX, s.pivotY, 0, 0, 0, 0);
}

const MethodEntry<BitmapComponent> BitmapComponent::methods[] = {
    {"change_bitmap", &BitmapComponent::luaChangeBitmap},
    {"set_crop", &BitmapComponent::luaSetCrop},
    {"disable_crop", &BitmapComponent::luaDisableCrop},
    {nullptr, nullptr},
};

BitmapComponent::~BitmapComponent() { releaseTexture(); }

void BitmapComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<BitmapComponent>::registerMethods(L);
}

void BitmapComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    const bool dither = LuaTableIsBoolean(L, "dither_16_bit") && LuaTableGetBool(L, "dither_16_bit");
    if (const char* name = LuaTableGetString(L, "bitmap")) loadTexture(name, dither);
    if (const char* sprite = LuaTableGetString(L, "sprite")) {
        spriteName = sprite;
        spriteResolved_ = false;
    }
    if (!texture) VELK_ERROR("BitmapComponent is missing texture definition\n");
    updateSize();
}

void BitmapComponent::loadTexture(const std::string& name, bool dither) {
    // The load may convert the image: dithering and the compression choice apply to it alone.
    const bool savedDither = Dithering16Bit(), savedDxt = g_renderer.texForceDxt;
    if (dither) SetDithering16Bit(true);
    if (alphaTestFunction != kCompareAlways) g_renderer.texForceDxt = false;
    Texture* loaded = LoadTexture(name);
    SetDithering16Bit(savedDither);
    g_renderer.texForceDxt = savedDxt;
    releaseTexture();
    texture = loaded;
    textureName = name;
    spriteResolved_ = false;
}

void BitmapComponent::releaseTexture() {
    if (texture) texture->refCount -= 1;
    texture = nullptr;
}

void BitmapComponent::updateSize() {
    const SpriteRect sprite = GetSprite(texture, spriteName.c_str());
    width = sprite.width;
    height = sprite.height;
    centerX = sprite.pivotX;
    centerY = sprite.pivotY;
}

const SpriteRect& BitmapComponent::drawnSprite() {
    if (!spriteResolved_) {
        sprite_ = SpriteRectOf(texture, spriteName.c_str());
        spriteResolved_ = true;
    }
    return sprite_;
}

void BitmapComponent::changeBitmap(const char* name, const char* sprite) {
    spriteName = sprite ? sprite : "main";
    spriteResolved_ = false;
    if (name == textureName) return;  // the size stays that of the old sprite
    loadTexture(name, false);
    updateSize();
    GetFrameTimer().Reset();  // the load took time no animation should jump over
}

void BitmapComponent::render() {
    updateAbsoluteValues();
    if (!texture) return;  // attached before its setup
    beginRender();
    const Transform t = effectiveTransform();
    const float alpha = effectiveAlpha();
    if (cropOn) {
        CropNextSprite(TruncateToInt(crop[0]), TruncateToInt(crop[1]), TruncateToInt(crop[2]), TruncateToInt(crop[3]));
        DrawSprite(texture, spriteName.c_str(), t.x, t.y, 0, t.angle, alpha, t.scale_x, t.scale_y, color, 0, 0, 0, 0);
    } else {
        DrawComponentSprite(texture, drawnSprite(), t, alpha, color);
    }
    endRender();
}

int BitmapComponent::luaChangeBitmap(lua_State* L) {
    const char* name = LuaArgString(L);
    const int spriteType = lua_type(L, 3);
    changeBitmap(name, spriteType == LUA_TSTRING || spriteType == LUA_TNUMBER ? lua_tostring(L, 3) : nullptr);
    return 0;
}

int BitmapComponent::luaSetCrop(lua_State* L) {
    for (int i = 0; i < 4; ++i) crop[i] = LuaArgNumber(L, i + 2);
    cropOn = true;
    return 0;
}

int BitmapComponent::luaDisableCrop(lua_State*) {
    cropOn = false;
    return 0;
}
