#pragma once
// Line breaking and alignment of a bitmap-font text: UTF-16 units become glyphs placed in
// font pixels, measured, and aligned by the TextAlign flags around the drawing point.
// - LayOutOldText: units -> placed glyphs and measured size
#include <array>
#include <cstdint>

struct FontDescription;
struct OldGlyph;

struct PlacedGlyph {
    float x = 0, y = 0;
    uint32_t color = 0;
    const OldGlyph* glyph = nullptr;
};

struct OldTextLayout {
    static constexpr int kMaxUnits = 1399;
    static constexpr int kMaxGlyphs = 1400;
    static constexpr int kMaxLines = 1000;

    std::array<PlacedGlyph, kMaxGlyphs> glyphs;
    int glyphCount = 0;
    std::array<int, kMaxLines + 1> lineStarts{};  // the first glyph of each line
    int lineCount = 0;
    float measuredWidth = 0, measuredHeight = 0;  // font pixels
};

struct OldTextRequest {
    const char16_t* units = nullptr;
    int unitCount = 0;
    uint32_t color = 0;
    float boxWidth = 0, boxHeight = 0;  // drawing pixels; 0 or less: unlimited
    int flags = 0;
    bool asianWrapping = false;
};

// `scale` is the requested size over the font's size: boxes are given in drawing pixels.
void LayOutOldText(const FontDescription& font, float scale, const OldTextRequest& request, OldTextLayout& out);
