#pragma once
// The built-in debug font's pixels, made at build time (scripts/make_debug_font.cpp):
// - kDebugFontImage: 256x256 coverage, 16x16 cells of 16x16 pixels, the cell of code c at
//   column 16 (c mod 16), rows 16 (c div 16) .. +15, each cell stored bottom row first
// - kDebugFontWidths: the advance of each code in pixels (0: nothing drawn, no advance)
#include <cstdint>

extern const int8_t kDebugFontWidths[256];
extern const uint8_t kDebugFontImage[256 * 256];
