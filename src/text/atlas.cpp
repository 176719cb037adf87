#include "text/atlas.h"

#include <climits>

#include "core/log.h"

namespace {

// The largest age, the first key among equals.
auto Oldest(Atlas& atlas) {
    auto oldest = atlas.regions.begin();
    for (auto it = atlas.regions.begin(); it != atlas.regions.end(); ++it)
        if (it->second->age > oldest->second->age) oldest = it;
    return oldest;
}

void EvictOldest(Atlas& atlas) {
    const auto oldest = Oldest(atlas);
    atlas.packer.AddFree(oldest->second->packed);
    atlas.regions.erase(oldest);
    if (atlas.regions.empty()) atlas_reset(atlas);
}

}  // namespace

std::unique_ptr<Atlas> Atlas_Create(int width, int height, int yOffset) {
    auto atlas = std::make_unique<Atlas>();
    atlas->width = width;
    atlas->height = height;
    atlas->yOffset = yOffset;
    atlas->packer.Init(width, height);
    return atlas;
}

AtlasRegion* Atlas_Allocate(Atlas& atlas, const std::string& key, int width, int height) {
    if (width > atlas.width || height > atlas.height) return nullptr;
    if (const auto found = atlas.regions.find(key); found != atlas.regions.end()) {
        found->second->age = 0;
        return found->second.get();
    }
    if (width < 1 || height < 1) return nullptr;
    PackerRect placed = atlas.packer.Insert(width, height);
    while (placed.width <= 0 || placed.height <= 0) {
        if (atlas.regions.empty()) return nullptr;
        EvictOldest(atlas);
        placed = atlas.packer.Insert(width, height);
    }
    auto region = std::make_unique<AtlasRegion>();
    region->x = atlas.xOffset + placed.x;
    region->y = atlas.yOffset + placed.y;
    region->width = width;
    region->height = height;
    region->rotated = placed.width != width;
    region->key = key;
    region->packed = placed;
    AtlasRegion* const result = region.get();
    atlas.regions[key] = std::move(region);
    return result;
}

void Atlas_Clear(Atlas& atlas) {
    atlas.regions.clear();
    atlas.packer.Init(atlas.width, atlas.height);
}

void Atlas_AgeRegions(Atlas& atlas) {
    // Saturates: a region nobody asks for stays the oldest instead of wrapping to the newest.
    for (auto& [key, region] : atlas.regions)
        if (region->age < INT_MAX) ++region->age;
}

void atlas_reset(Atlas& atlas) {
    LogPrintf("atlas_reset: %d x %d, %d : %d", atlas.width, atlas.height, atlas.xOffset, atlas.yOffset);
    atlas.packer.Init(atlas.width, atlas.height);
}
