#include "graphics/sprite_sheet.h"

#include <sstream>
#include <string>

#include "graphics/texture.h"

void ParseSpriteSheet(Texture* texture, std::string_view text) {
    texture->sprites.clear();
    texture->spriteIndex.clear();
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        Sprite sprite;
        if (in >> sprite.name >> sprite.x >> sprite.y >> sprite.width >> sprite.height >> sprite.pivotX >> sprite.pivotY) {
            texture->sprites.push_back(std::move(sprite));
            continue;
        }
        std::istringstream again(line);
        std::string word;
        float scale = 0;
        // Sizes are divided by the scale: one that is not positive is a malformed line.
        if (again >> word && word == "@scale" && again >> scale && scale > 0) texture->scale = scale;
    }
}
