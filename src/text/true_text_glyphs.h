#pragma once
// The glyphs a TrueText layer draws: rendered by the font, coloured and blurred by the
// layer, and kept in the glyph cache when there is one (empty glyphs without a region,
// glyphs larger than the cache not at all).
// - TrueText_GetGlyph: a unit's glyph for one layer, its pixels valid until the next call
// - TrueText_ForgetEmptyGlyphs: drops the empty glyphs' records (with the glyph cache)
#include <cstdint>

#include "text/true_text_font.h"

class Surface;
struct TrueText_Style;

struct TrueText_CachedGlyph {
    TrueText_Glyph metrics;
    const Surface* pixels = nullptr;  // null for an empty glyph
};

TrueText_CachedGlyph TrueText_GetGlyph(const TrueText_Style& style, int layerIndex, char16_t code, int border);
void TrueText_ForgetEmptyGlyphs();
