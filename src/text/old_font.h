#pragma once
// A loaded bitmap font: its description, its name and size, and its page textures
// (loaded when the font is first selected, one reference each, given back when the font
// is deleted).
// - LoadOldFont: storage path -> font, or null with "Can't load font: %s"
// - OldFontBaseName / OldFontSizeOf: how a path names a font ("fonts/Arial24.fnt": arial, 24)
// - LoadOldFontPages: the page textures and the glyphs' texture coordinates
#include <memory>
#include <string>
#include <vector>

#include "text/font_description.h"

struct Texture;

struct OldFont {
    OldFont() = default;
    OldFont(const OldFont&) = delete;
    OldFont& operator=(const OldFont&) = delete;
    ~OldFont();

    std::string path;      // lower-cased, as loaded
    std::string baseName;  // file name without folders, extension and trailing digits
    int size = 0;          // the trailing digits, else the description's size
    FontDescription description;
    std::vector<Texture*> pages;  // null until loaded
    bool pagesPending = true;
};

using OldFontPtr = std::unique_ptr<OldFont>;

OldFontPtr LoadOldFont(const std::string& path);
// Trailing digits cut from a lower-cased name; the digits' value, or 0 without any.
int CutTrailingDigits(std::string& name);
std::string OldFontBaseName(const std::string& path);
void LoadOldFontPages(OldFont& font);
