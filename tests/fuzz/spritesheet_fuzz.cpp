// The sprite-sheet parser on any bytes: whatever it takes must be usable for drawing.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "graphics/sprite_sheet.h"
#include "graphics/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    Texture texture;
    ParseSpriteSheet(&texture, std::string_view(reinterpret_cast<const char*>(data), size));
    // Sizes and pivots are divided by the scale.
    if (!(texture.scale > 0.0f) || !std::isfinite(texture.scale)) __builtin_trap();
    for (const Sprite& sprite : texture.sprites)
        if (sprite.name.empty()) __builtin_trap();
    return 0;
}
