#pragma once
// Named regions of a rectangle of a cache texture or surface, evicted oldest first:
// - Atlas_Create: an empty atlas of width x height placed at (0, yOffset)
// - Atlas_Allocate: the region of a key (found, or packed anew, evicting as needed); null
//   when it cannot be placed; width and height 0 make it a pure lookup
// - Atlas_Find: the region of a key, asked for again; null when there is none
// - Atlas_Place: a new region packed into free room only, evicting nothing; null when full
// - Atlas_Age: layout requests since a region was last asked for
// - Atlas_OldestAge, Atlas_EvictOldest: the region eviction takes next (the largest age,
//   the first key among equals); its age, -1 when the atlas is empty
// - Atlas_Clear: every region gone, the packer back to one free rectangle
// - Atlas_AgeRegions: one more layout request since each region was last asked for
// - atlas_reset: logs the atlas and starts its packer again
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "text/rect_packer.h"

struct AtlasRegion {
    int x = 0, y = 0;           // in the cache texture or surface (offset included)
    int width = 0, height = 0;  // as asked for
    float textWidth = 0.0f, textHeight = 0.0f;
    std::string key;
    float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
    float offsetX = 0.0f, offsetY = 0.0f;
    bool drawn = false;
    PackerRect packed;          // as placed: width and height exchanged when rotated
    bool rotated = false;
    float glyphLeft = 0.0f, glyphTop = 0.0f;  // glyph atlas only
    float advance = 0.0f;                     // glyph atlas only
    // The atlas's clock when last asked for, and the region's place in its order of use.
    uint64_t lastUse = 0;
    std::list<AtlasRegion*>::iterator usePlace;
};

struct Atlas {
    int width = 0, height = 0;
    int xOffset = 0, yOffset = 0;
    std::map<std::string, std::unique_ptr<AtlasRegion>, std::less<>> regions;
    RectPacker packer;
    // Ageing is one tick of a clock, not a walk over the regions; the regions are kept in
    // the order they were last asked for, so the oldest are found without a search.
    uint64_t clock = 0;
    std::list<AtlasRegion*> byUse;  // least recently asked for first
};

std::unique_ptr<Atlas> Atlas_Create(int width, int height, int yOffset);
AtlasRegion* Atlas_Allocate(Atlas& atlas, const std::string& key, int width, int height);
AtlasRegion* Atlas_Find(Atlas& atlas, std::string_view key);
AtlasRegion* Atlas_Place(Atlas& atlas, const std::string& key, int width, int height);
int Atlas_Age(const Atlas& atlas, const AtlasRegion& region);
int Atlas_OldestAge(const Atlas& atlas);
void Atlas_EvictOldest(Atlas& atlas);
void Atlas_Clear(Atlas& atlas);
void Atlas_AgeRegions(Atlas& atlas);
void atlas_reset(Atlas& atlas);
