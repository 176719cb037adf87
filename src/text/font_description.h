#pragma once
// The ".fnt" bitmap-font description, read from its bytes: the "<font" settings, the
// "<glyph" rectangles on the page images and the "<char" map, then the spacing overrides
// that a Parcon list in the same file may hold.
// - ParseFontDescription: bytes -> description, or a refusal reason
// - DecodeFontCharacter: a "<char" value (first UTF-8 character or an entity) -> unit
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct OldGlyph {
    int page = 0;
    int xOffset = 0;
    int yOffset = 0;  // stored negated: the glyph's top relative to the baseline
    int advance = 0;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // page pixels; the order gives the direction
    int width = 0, height = 0;            // exchanged for a turned glyph
    int corner1 = 1, corner2 = 3;         // texture corners of the top-right and bottom-left vertices
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    float directionX = 1, directionY = 1;
};

struct OldFontSettings {
    float size = 10;
    float spaceLength = 0;
    float glyphMargin = 0;
    float characterSpacing = 0;
    float lineSpacing = 0;
    float paragraphSpacing = 0;
};

struct FontDescription {
    static constexpr int kMaxPages = 10;

    OldFontSettings settings;
    std::vector<OldGlyph> glyphs;
    std::map<char16_t, int> characters;  // unit -> index into glyphs
    int pageCount = 0;
};

// False, with the reason, for a description that maps no character to an existing glyph
// or maps one to a glyph on a page outside 0..9.
bool ParseFontDescription(std::string_view bytes, const std::string& path, FontDescription& out, std::string& reason);
// 0 for an empty value.
char16_t DecodeFontCharacter(std::string_view value);
