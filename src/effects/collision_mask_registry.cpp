#include "effects/collision_mask_registry.h"

#include <map>
#include <memory>
#include <unordered_map>

#include "core/log.h"
#include "effects/collision_mask.h"
#include "graphics/image_loader.h"
#include "graphics/surface.h"
#include "storage/storage_path.h"

namespace {

// The masks by name (ordered, so the exit report lists them so), and by address: a
// release is checked against the masks held without reading through the pointer.
struct Registry {
    std::map<std::string, CollisionMask*> byName;
    std::unordered_map<const CollisionMask*, std::unique_ptr<CollisionMask>> owned;
};

Registry& GetCollisionMaskRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

CollisionMask* CollisionMask_Load(const std::string& name, int channel) {
    std::string key = name;
    if (GetExtension(key).empty()) key += ".png";
    Registry& registry = GetCollisionMaskRegistry();
    if (const auto found = registry.byName.find(key); found != registry.byName.end()) {
        ++found->second->refCount;
        return found->second;
    }
    Surface surface;
    LoadSurfaceFromFile(surface, key);
    auto mask = std::make_unique<CollisionMask>();
    mask->name = key;
    mask->refCount = 1;
    BuildCollisionMask(*mask, surface, channel);
    CollisionMask* loaded = mask.get();
    registry.byName.emplace(key, loaded);
    registry.owned.emplace(loaded, std::move(mask));
    return loaded;
}

bool CollisionMask_Release(CollisionMask* mask) {
    Registry& registry = GetCollisionMaskRegistry();
    const auto found = registry.owned.find(mask);
    if (found == registry.owned.end() || mask->refCount <= 0) return false;
    if (--mask->refCount > 0) return false;
    registry.byName.erase(mask->name);
    registry.owned.erase(found);
    return true;
}

void ReportUnreleasedCollisionMasks() {
    Registry& registry = GetCollisionMaskRegistry();
    for (const auto& [name, mask] : registry.byName)
        LogPrintf("Collision mask is not released: %s [ref: %d]\n", name.c_str(), mask->refCount);
    registry.byName.clear();
    registry.owned.clear();
}

std::size_t CollisionMaskCount() { return GetCollisionMaskRegistry().owned.size(); }
