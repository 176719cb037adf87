#pragma once
// The built-in 16-pixel Latin-1 debug font (the font "system"):
// - TrueText_DebugFont: serves the TrueText font operations from the built-in image
// - DebugFont_Init: its texture and quad index list, made once (again after a release)
// - DebugFont_DrawText: 8-bit text at (x, y) in window pixels, any length, in one colour
// - DebugFont_DrawShadowed: the same, first in the shadow colour one pixel right and down
// - DebugFont_TextWidth: the advance of the first `length` bytes
// - DebugFont_Release: drops the texture (shutdown, before a device re-creation)
// - DebugFont_Texture: the texture while it exists (tests)
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/true_text_font.h"

struct Texture;

class TrueText_DebugFont : public TrueText_Font {
public:
    void UpdateMetrics() override;
    TrueText_Advance GetAdvance(uint32_t character) override;
    TrueText_Glyph RenderGlyph(uint32_t character, Surface* out, float outline) override;
    float Kerning(uint32_t, uint32_t) override { return 0.0f; }
};

inline constexpr int kDebugFontCell = 16;
// Characters drawn with one indexed draw; longer texts go in several.
inline constexpr int kDebugFontQuads = 2048;

void DebugFont_Init();
void DebugFont_DrawText(float x, float y, std::string_view text, uint32_t color);
void DebugFont_DrawShadowed(float x, float y, std::string_view text, uint32_t color, uint32_t shadow);
int DebugFont_TextWidth(const char* text, std::size_t length);
void DebugFont_Release();
Texture* DebugFont_Texture();
