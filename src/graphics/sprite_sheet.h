#pragma once
// Sprite-sheet text: one sprite a line ("name x y width height pivotX pivotY"), and
// "@scale factor" lines (a positive factor); other lines are ignored.
#include <string_view>

struct Texture;

// Replaces the texture's sprites (in file order) and takes the sheet's scale.
void ParseSpriteSheet(Texture* texture, std::string_view text);
