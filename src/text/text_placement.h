#pragma once
// Where a text's virtual-screen position lands in the window, and the state both text
// renderers share with their callers.
// - LetterboxTextPoint: a point through the letterbox (to whole pixels when asked), and the
//   factors sizes take; unchanged (factors 1) while a render target is drawn into
// - GlobalFontScale / SetGlobalFontScale: the factor script font sizes are measured at
#include <cstdint>

struct TextPoint {
    float x = 0, y = 0;
    float factor = 1, factorY = 1;  // the letterbox's scales
};

TextPoint LetterboxTextPoint(float x, float y, bool wholePixels);

// Always above 0; 1 in a new script state.
float GlobalFontScale();
void SetGlobalFontScale(float scale);
