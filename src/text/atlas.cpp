#include "text/atlas.h"

#include <algorithm>
#include <climits>

#include "core/log.h"

namespace {

// The largest age, the first key among equals: among the least recently used regions,
// which share one time of use, the first key.
std::list<AtlasRegion*>::const_iterator Oldest(const Atlas& atlas) {
    auto oldest = atlas.byUse.begin();
    for (auto it = oldest; it != atlas.byUse.end() && (*it)->lastUse == (*oldest)->lastUse; ++it)
        if ((*it)->key < (*oldest)->key) oldest = it;
    return oldest;
}

bool Fits(const Atlas& atlas, int width, int height) {
    return width >= 1 && height >= 1 && width <= atlas.width && height <= atlas.height;
}

AtlasRegion* Create(Atlas& atlas, const std::string& key, int width, int height, const PackerRect& placed) {
    auto region = std::make_unique<AtlasRegion>();
    region->x = atlas.xOffset + placed.x;
    region->y = atlas.yOffset + placed.y;
    region->width = width;
    region->height = height;
    region->rotated = placed.width != width;
    region->key = key;
    region->packed = placed;
    region->lastUse = atlas.clock;
    region->usePlace = atlas.byUse.insert(atlas.byUse.end(), region.get());
    AtlasRegion* const result = region.get();
    atlas.regions[key] = std::move(region);
    return result;
}

bool Placed(const PackerRect& placed) { return placed.width > 0 && placed.height > 0; }

}  // namespace

std::unique_ptr<Atlas> Atlas_Create(int width, int height, int yOffset) {
    auto atlas = std::make_unique<Atlas>();
    atlas->width = width;
    atlas->height = height;
    atlas->yOffset = yOffset;
    atlas->packer.Init(width, height);
    return atlas;
}

AtlasRegion* Atlas_Find(Atlas& atlas, std::string_view key) {
    const auto found = atlas.regions.find(key);
    if (found == atlas.regions.end()) return nullptr;
    AtlasRegion* region = found->second.get();
    region->lastUse = atlas.clock;
    atlas.byUse.splice(atlas.byUse.end(), atlas.byUse, region->usePlace);
    return region;
}

AtlasRegion* Atlas_Place(Atlas& atlas, const std::string& key, int width, int height) {
    if (!Fits(atlas, width, height)) return nullptr;
    const PackerRect placed = atlas.packer.Insert(width, height);
    return Placed(placed) ? Create(atlas, key, width, height, placed) : nullptr;
}

AtlasRegion* Atlas_Allocate(Atlas& atlas, const std::string& key, int width, int height) {
    if (width > atlas.width || height > atlas.height) return nullptr;
    if (AtlasRegion* found = Atlas_Find(atlas, key)) return found;
    if (!Fits(atlas, width, height)) return nullptr;
    PackerRect placed = atlas.packer.Insert(width, height);
    while (!Placed(placed)) {
        if (atlas.regions.empty()) return nullptr;
        Atlas_EvictOldest(atlas);
        placed = atlas.packer.Insert(width, height);
    }
    return Create(atlas, key, width, height, placed);
}

int Atlas_Age(const Atlas& atlas, const AtlasRegion& region) {
    return static_cast<int>(std::min<uint64_t>(atlas.clock - region.lastUse, INT_MAX));
}

int Atlas_OldestAge(const Atlas& atlas) {
    return atlas.byUse.empty() ? -1 : Atlas_Age(atlas, **Oldest(atlas));
}

void Atlas_EvictOldest(Atlas& atlas) {
    if (atlas.byUse.empty()) return;
    const auto oldest = Oldest(atlas);
    AtlasRegion* const region = *oldest;
    atlas.packer.AddFree(region->packed);
    atlas.byUse.erase(oldest);
    atlas.regions.erase(atlas.regions.find(region->key));
    if (atlas.regions.empty()) atlas_reset(atlas);
}

void Atlas_Clear(Atlas& atlas) {
    atlas.regions.clear();
    atlas.byUse.clear();
    atlas.packer.Init(atlas.width, atlas.height);
}

void Atlas_AgeRegions(Atlas& atlas) {
    ++atlas.clock;
}

void atlas_reset(Atlas& atlas) {
    LogPrintf("atlas_reset: %d x %d, %d : %d", atlas.width, atlas.height, atlas.xOffset, atlas.yOffset);
    atlas.packer.Init(atlas.width, atlas.height);
}
