#pragma once
// TrueText drawing: a laid-out request composed layer by layer into its cache region, and
// the one quad that shows a cached block. Main thread only.
// - TrueText_RenderBlock: the block's pixels (every layer's glyphs) into the cache texture
// - TrueText_Render: lays a text out (a layout call stops there) or draws its block
// - TextBlockSnap: a corner to whole pixels and its texture coordinates to texels
// - TrueText_BlocksRendered: blocks composed since start (benchmarks)
#include <cstdint>
#include <string_view>

#include "graphics/sprite_batch.h"

struct AtlasRegion;
struct TrueText_Style;

void TrueText_RenderBlock(TrueText_Style& style, AtlasRegion& region);
// Turns as sprites turn: a positive angle takes +x towards +y.
void TrueText_Render(const char* text, bool layoutCall, std::string_view fontName, float size, float x, float y,
                     float angle, float scaleX, float scaleY, float boxWidth, float boxHeight, uint32_t flags,
                     uint32_t color);
void TextBlockSnap(RenderVertex& vertex, int cacheSize, bool rotated);
int TrueText_BlocksRendered();
