#pragma once
// Font definitions (".fn2") under "fonts/":
// - TrueText_LoadFontDefinition: a new font for a name and size, from "fonts/<name>.fn2"
//   when there is one (the name "system" then gives the debug font), else a FreeType font
//   over "fonts/<name>.ttf", or ".otf" when there is no ".ttf"
#include <memory>
#include <string>

#include "text/true_text_font.h"

std::unique_ptr<TrueText_Font> TrueText_LoadFontDefinition(const std::string& name, float size);
