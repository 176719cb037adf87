#pragma once
// One sprite of one texture, optionally cropped.
#include <string>

#include "graphics/texture.h"
#include "script/components/visual_component.h"

// An uncropped sprite drawn at a component's effective transform, with z 0 and no
// scroll or tilt.
void DrawComponentSprite(Texture* texture, const SpriteRect& sprite, const Transform& at, float alpha,
                         const float* rgb);

class BitmapComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "BitmapComponent";
    static const MethodEntry<BitmapComponent> methods[];

    BitmapComponent() { id = "bitmap"; }
    ~BitmapComponent() override;

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void render() override;

    // Width, height and centre from the current sprite.
    void updateSize();
    // Replaces the texture (one reference) and the sprite, as the script method does.
    void changeBitmap(const char* textureName, const char* sprite);

    Texture* texture = nullptr;
    std::string spriteName = "main";
    std::string textureName;
    float crop[4] = {0, 0, 0, 0};
    bool cropOn = false;

protected:
    // The uncropped sprite, resolved on its first draw after the texture or name changed.
    const SpriteRect& drawnSprite();

private:
    void loadTexture(const std::string& name, bool dither);
    void releaseTexture();

    int luaChangeBitmap(lua_State* L);
    int luaSetCrop(lua_State* L);
    int luaDisableCrop(lua_State* L);

    SpriteRect sprite_;
    bool spriteResolved_ = false;
};
