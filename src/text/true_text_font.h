#pragma once
// The TrueText font record and the lengths its definitions are written in:
// - TrueText_Size, TrueText_ParseSize, TrueText_SizeToPixels: "12", "4dp", "1.5em"
// - TrueText_ClampLength, TrueText_ClampFontSize: numbers read from data made safe to use
// - TrueText_Layer, TrueText_Glyph, TrueText_Advance: one drawing pass, one drawn glyph
// - TrueText_Font: the font (implemented by TrueText_FreeTypeFont and TrueText_DebugFont)
// - TrueText_ApplySize: resolves the definition's lengths for a size, then UpdateMetrics
#include <cstdint>
#include <string>
#include <vector>

class Surface;

enum TrueText_Unit : int { kUnitPx = 0, kUnitDp = 1, kUnitEm = 2 };

struct TrueText_Size {
    float value = 0.0f;
    int unit = kUnitPx;
};

// Lengths in pixels stay within this, whatever a definition or script says.
inline constexpr float kTextLengthLimit = 16384.0f;
// Font sizes in pixels stay within this.
inline constexpr float kFontSizeLimit = 2048.0f;

// Not finite: 0; otherwise limited to +-kTextLengthLimit.
float TrueText_ClampLength(float value);
// Not finite or negative: 0; otherwise at most kFontSizeLimit.
float TrueText_ClampFontSize(float size);

TrueText_Size TrueText_ParseSize(std::string text);
float TrueText_SizeToPixels(const TrueText_Size& length, float fontSize);

struct TrueText_Layer {
    TrueText_Size x, y;
    int colorMode = 0;  // 0 white (tinted when drawn), 1 one colour, 2 vertical gradient
    uint32_t color = 0xFFFFFFFFu;
    uint32_t endColor = 0xFFFFFFFFu;
    TrueText_Size blur;
    float alpha = 1.0f;
    float outline = 0.0f;  // width of the outline drawn instead of the glyph; 0: filled
};

struct TrueText_Glyph {
    int width = 0, height = 0;
    int left = 0;  // bitmap offset from the pen
    int top = 0;   // bitmap top from the top of the line
    float advance = 0.0f;
    float kerning = 0.0f;  // added before this glyph
};

struct TrueText_Advance {
    float advance = 0.0f;
    float height = 0.0f;
};

struct TrueText_Extent {
    float minX = 0.0f, maxX = 0.0f, minY = 0.0f, maxY = 0.0f;
};

// The definition's lengths resolved to pixels for the current size.
struct TrueText_Resolved {
    TrueText_Extent extent;
    float clipLeft = 0.0f, clipRight = 0.0f, clipTop = 0.0f, clipBottom = 0.0f;
    float descender = 0.0f;  // zero or negative
    float lineHeight = 0.0f;
    float lineSpacing = 0.0f, wordSpacing = 0.0f, letterSpacing = 0.0f, paragraphSpacing = 0.0f;
};

class TrueText_Font {
public:
    virtual ~TrueText_Font() = default;
    // Prepares the glyph source for `size`; sets the descender and line height.
    virtual void UpdateMetrics() = 0;
    virtual TrueText_Advance GetAdvance(uint32_t character) = 0;
    // White pixels whose alpha is the coverage (or the outline of that width) into out.
    virtual TrueText_Glyph RenderGlyph(uint32_t character, Surface* out, float outline) = 0;
    // The kerning of a pair in pixels, to be added before `right`; 0 when either is missing.
    virtual float Kerning(uint32_t left, uint32_t right) = 0;

    std::string faceName = "system";
    float size = 10.0f;
    std::vector<TrueText_Layer> layers = std::vector<TrueText_Layer>(1);
    TrueText_Extent layerExtent;  // pixels at the size the definition was loaded for
    TrueText_Size clipTop, clipRight, clipBottom, clipLeft;
    TrueText_Size wordSpacing, letterSpacing, lineSpacing;
    TrueText_Size paragraphSpacing{0.5f, kUnitEm};
    TrueText_Resolved resolved;
};

void TrueText_ApplySize(TrueText_Font& font, float size);
