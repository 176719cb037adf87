#include "text/true_text_font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/string_utils.h"
#include "graphics/render.h"

float TrueText_ClampLength(float value) {
    if (!std::isfinite(value)) return 0.0f;
    return std::clamp(value, -kTextLengthLimit, kTextLengthLimit);
}

float TrueText_ClampFontSize(float size) {
    if (!std::isfinite(size) || size < 0.0f) return 0.0f;
    return std::min(size, kFontSizeLimit);
}

TrueText_Size TrueText_ParseSize(std::string text) {
    TrimRight(kBlanks, text);
    TrueText_Size length;
    if (text.size() >= 3) {
        const std::string suffix = text.substr(text.size() - 2);
        const int unit = suffix == "px" ? kUnitPx : suffix == "dp" ? kUnitDp : suffix == "em" ? kUnitEm : -1;
        if (unit >= 0) {
            length.unit = unit;
            text.resize(text.size() - 2);
        }
    }
    float value = 0.0f;
    if (std::sscanf(text.c_str(), "%f", &value) != 1) value = 0.0f;
    length.value = TrueText_ClampLength(value);
    return length;
}

float TrueText_SizeToPixels(const TrueText_Size& length, float fontSize) {
    double pixels = 0.0;
    switch (length.unit) {
        case kUnitPx: pixels = length.value; break;
        case kUnitDp:
            if (g_renderer.virtualHeight != 0)
                pixels = double{length.value} * g_renderer.windowHeight / g_renderer.virtualHeight;
            break;
        case kUnitEm: pixels = double{length.value} * fontSize * 100.0 / 72.0; break;
        default: break;
    }
    return TrueText_ClampLength(static_cast<float>(pixels));
}

void TrueText_ApplySize(TrueText_Font& font, float size) {
    font.size = TrueText_ClampFontSize(size);
    TrueText_Resolved& r = font.resolved;
    r.extent = font.layerExtent;
    r.clipLeft = TrueText_SizeToPixels(font.clipLeft, font.size);
    r.clipRight = TrueText_SizeToPixels(font.clipRight, font.size);
    r.clipTop = TrueText_SizeToPixels(font.clipTop, font.size);
    r.clipBottom = TrueText_SizeToPixels(font.clipBottom, font.size);
    r.lineSpacing = TrueText_SizeToPixels(font.lineSpacing, font.size);
    r.wordSpacing = TrueText_SizeToPixels(font.wordSpacing, font.size);
    r.letterSpacing = TrueText_SizeToPixels(font.letterSpacing, font.size);
    r.paragraphSpacing = TrueText_SizeToPixels(font.paragraphSpacing, font.size);
    font.UpdateMetrics();
}
