#include "text/text_placement.h"

#include <cmath>

#include "graphics/render.h"

namespace {

float g_fontScale = 1.0f;

}  // namespace

TextPoint LetterboxTextPoint(float x, float y, bool wholePixels) {
    const RendererState& r = g_renderer;
    if (r.renderTargetActive) return {x, y, 1.0f, 1.0f};
    TextPoint at{x * r.scaleX + r.offsetX, y * r.scaleY + r.offsetY, r.scaleX, r.scaleY};
    if (wholePixels) {
        at.x = std::floor(at.x + 0.5f);
        at.y = std::floor(at.y + 0.5f);
    }
    return at;
}

float GlobalFontScale() { return g_fontScale; }

void SetGlobalFontScale(float scale) {
    // Sizes are divided by the scale: 0, a negative or a NaN scale would make them meaningless.
    if (scale > 0.0f && std::isfinite(scale)) g_fontScale = scale;
}
