#pragma once
// Named regions of a rectangle of a cache texture or surface, evicted oldest first:
// - Atlas_Create: an empty atlas of width x height placed at (0, yOffset)
// - Atlas_Allocate: the region of a key (found, or packed anew, evicting as needed); null
//   when it cannot be placed; width and height 0 make it a pure lookup
// - Atlas_Clear: every region gone, the packer back to one free rectangle
// - Atlas_AgeRegions: one more layout request since each region was last asked for
// - atlas_reset: logs the atlas and starts its packer again
#include <map>
#include <memory>
#include <string>

#include "text/rect_packer.h"

struct AtlasRegion {
    int x = 0, y = 0;           // in the cache texture or surface (offset included)
    int width = 0, height = 0;  // as asked for
    float textWidth = 0.0f, textHeight = 0.0f;
    std::string key;
    int age = 0;
    float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
    float offsetX = 0.0f, offsetY = 0.0f;
    bool drawn = false;
    PackerRect packed;          // as placed: width and height exchanged when rotated
    bool rotated = false;
    float glyphLeft = 0.0f, glyphTop = 0.0f;  // glyph atlas only
    float advance = 0.0f;                     // glyph atlas only
};

struct Atlas {
    int width = 0, height = 0;
    int xOffset = 0, yOffset = 0;
    std::map<std::string, std::unique_ptr<AtlasRegion>, std::less<>> regions;
    RectPacker packer;
};

std::unique_ptr<Atlas> Atlas_Create(int width, int height, int yOffset);
AtlasRegion* Atlas_Allocate(Atlas& atlas, const std::string& key, int width, int height);
void Atlas_Clear(Atlas& atlas);
void Atlas_AgeRegions(Atlas& atlas);
void atlas_reset(Atlas& atlas);
