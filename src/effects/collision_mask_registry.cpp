#include "effects/collision_mask_registry.h"

#include <map>
#include <memory>

#include "core/log.h"
#include "core/storage_path.h"
#include "effects/collision_mask.h"
#include "graphics/image_loader.h"
#include "graphics/surface.h"

namespace {

// Ordered by name, so the exit report lists them so.
using Registry = std::map<std::string, std::unique_ptr<CollisionMask>>;

Registry& GetCollisionMaskRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

CollisionMask* CollisionMask_Load(const std::string& name, int channel) {
    std::string key = name;
    if (GetExtension(key).empty()) key += ".png";
    Registry& registry = GetCollisionMaskRegistry();
    if (const auto found = registry.find(key); found != registry.end()) {
        ++found->second->refCount;
        return found->second.get();
    }
    Surface surface;
    LoadSurfaceFromFile(surface, key);
    auto mask = std::make_unique<CollisionMask>();
    mask->name = key;
    mask->refCount = 1;
    BuildCollisionMask(*mask, surface, channel);
    return registry.emplace(key, std::move(mask)).first->second.get();
}

bool CollisionMask_Release(CollisionMask* mask) {
    if (!mask) return false;
    Registry& registry = GetCollisionMaskRegistry();
    const auto found = registry.find(mask->name);
    if (found == registry.end() || found->second.get() != mask || mask->refCount <= 0) return false;
    if (--mask->refCount > 0) return false;
    registry.erase(found);
    return true;
}

void ReportUnreleasedCollisionMasks() {
    Registry& registry = GetCollisionMaskRegistry();
    for (const auto& [name, mask] : registry)
        LogPrintf("Collision mask is not released: %s [ref: %d]\n", name.c_str(), mask->refCount);
    registry.clear();
}

std::size_t CollisionMaskCount() { return GetCollisionMaskRegistry().size(); }
