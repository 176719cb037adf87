// Sprite lookup for the renderer's tests: the named sprite's rectangle on the device size,
// no crop, no scale.
#include <cstring>

#include "graphics/texture.h"

SpriteRect GetSprite(Texture* texture, const char* spriteName) {
    for (const Sprite& s : texture->sprites) {
        if (s.name != spriteName) continue;
        const float w = static_cast<float>(texture->width), h = static_cast<float>(texture->height);
        return {s.x / w, s.y / h, (s.x + s.width) / w, (s.y + s.height) / h, static_cast<float>(s.width),
                static_cast<float>(s.height), static_cast<float>(s.pivotX), static_cast<float>(s.pivotY)};
    }
    return {};
}
