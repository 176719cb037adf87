#pragma once
// The FreeType glyph source of TrueText:
// - TrueText_FreeTypeFont: measures and draws the glyphs of a ".ttf" or ".otf" face
// - TrueText_InitFreeType / TrueText_DoneFreeType: the library (fatal when it cannot start);
//   Done closes every face first
// - TrueText_GetFace: the open face of a file, loaded from storage on first use (fatal when
//   missing or unreadable); ".ttf" is appended to a name without a dot
// - TrueText_ClearFaceCache: closes every face and frees its file buffer
#include <string>

#include "text/true_text_font.h"

struct FT_FaceRec_;

void TrueText_InitFreeType();
void TrueText_DoneFreeType();
bool TrueText_FreeTypeReady();
FT_FaceRec_* TrueText_GetFace(const std::string& fileName);
void TrueText_ClearFaceCache();

class TrueText_FreeTypeFont : public TrueText_Font {
public:
    void UpdateMetrics() override;
    TrueText_Advance GetAdvance(uint32_t character) override;
    TrueText_Glyph RenderGlyph(uint32_t character, Surface* out, float outline) override;
    float Kerning(uint32_t left, uint32_t right) override;

private:
    void StrokeOutline(const TrueText_Glyph& glyph, int border, float outline, Surface& out) const;

    unsigned previousGlyph_ = 0;  // for kerning; 0 = none
    FT_FaceRec_* face_ = nullptr;  // owned by the face registry
};
