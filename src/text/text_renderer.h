#pragma once
// The bitmap-font text renderer: the loaded ".fnt" fonts, the current font and its scale,
// the layout of the last text and the drawing transform. Main thread only.
// - GetTextRenderer: the one renderer, built on first use and never torn down at exit
// - TextRenderer::LoadFonts / LoadFont / ReleaseFont / SelectFont / Clear
// - OldFont_RenderText: lays a text out and draws it (null text: draws the last layout again)
// - OldFont_MeasureText: lays a text out in a box and gives its size in drawing pixels
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "text/old_font.h"
#include "text/old_font_layout.h"

class TextRenderer {
public:
    static constexpr int kIndexQuads = 1400;

    // Every file storage finds for the pattern; the count loaded.
    int LoadFonts(const std::string& pattern);
    // An already loaded path gives its font; a new font of the same base name and size
    // replaces the old one (which is deleted). Null when it cannot be loaded.
    OldFont* LoadFont(const std::string& path);
    bool ReleaseFont(const std::string& name);
    bool SelectFont(const std::string& name, int size);
    // Deletes every font and the quad index list (engine shutdown).
    void Clear();

    void LayOut(const char* text, uint32_t color, float boxWidth, float boxHeight, int flags);
    void Recolor(uint32_t color);
    // The last layout at (atX, atY) in the drawing transform.
    void Draw(float atX, float atY);

    const OldFont* current() const { return current_; }
    const std::vector<OldFontPtr>& fonts() const { return fonts_; }
    const OldTextLayout& layout() const { return layout_; }
    float scale() const { return scale_; }

    // The drawing transform that callers set.
    float x = 0, y = 0, angle = 0, scaleX = 1, scaleY = 1;
    bool asianWrapping = false;

private:
    // The drawing transform's turn (as RotatePoint turns) and its origin.
    struct Turn {
        float cosine = 1, sine = 0, originX = 0, originY = 0;
        void Apply(float& px, float& py) const {
            const float nx = cosine * px + sine * py;
            py = -sine * px + cosine * py;
            px = nx;
        }
    };

    void DrawPage(int page, const Turn& turn);
    void Forget(const OldFont* font);
    // True the first time a name is asked for in vain: a game that asks every frame warns
    // once, not once a frame (in dev_mode each warning is a message box).
    bool FirstMiss(const std::string& name);

    std::vector<OldFontPtr> fonts_;
    OldFont* current_ = nullptr;
    float scale_ = 1;
    std::array<char16_t, OldTextLayout::kMaxUnits + 1> units_{};
    OldTextLayout layout_;
    std::vector<uint16_t> quadIndices_;
    std::set<std::string, std::less<>> missed_;  // names warned about, until a font of the name loads
};

TextRenderer& GetTextRenderer();

void OldFont_RenderText(const char* text, uint32_t color, float x, float y, float boxWidth, float boxHeight, int flags);
void OldFont_MeasureText(const char* text, float& width, float& height, int flags);
