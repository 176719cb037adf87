// A collision mask built from any image bytes the decoder takes, in the channel the input
// picks, then hit tests over placements that cover the mask's edges, a rotation and the
// degenerate scales.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "effects/collision_mask.h"
#include "fuzz_support.h"
#include "graphics/image_loader.h"
#include "graphics/surface.h"

namespace {

struct Placement {
    float angle, scaleX, scaleY;
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr Placement kPlacements[] = {{0, 1, 1}, {33, 1, 1}, {-90, 2, 0.5f}, {180, -1, 1},
                                     {45, 0, 1}, {0, kNaN, 1}, {kInf, 1, 1}, {270, 1e-30f, 1e30f}};

void HitTests(const CollisionMask& mask) {
    CollisionMaskRef ref;
    CollisionMaskRef_Init(ref, const_cast<CollisionMask*>(&mask), -1, -1);
    const float w = static_cast<float>(mask.width), h = static_cast<float>(mask.height);
    const float points[][2] = {{0, 0}, {-0.5f, -0.5f}, {-1, 0}, {w - 0.01f, h - 0.01f}, {w, h}, {w / 2, h / 3}, {-w, 2 * h}};
    for (const Placement& p : kPlacements)
        for (const auto& point : points)
            (void)CollisionMask_Test(mask, point[0], point[1], ref.hotspotX, ref.hotspotY, ref.hotspotX, ref.hotspotY, p.angle,
                                     p.scaleX, p.scaleY);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RunFuzzInput([&] {
        DecodedImage image;
        STBParser().Parse(data, size, image);
        Surface surface;
        surface.Adopt(std::move(image.pixels), image.width, image.height, image.hasAlpha);
        CollisionMask mask;
        BuildCollisionMask(mask, surface, static_cast<int>(size % 4));
        if (mask.bits.size() != static_cast<std::size_t>(mask.bytesPerRow) * static_cast<std::size_t>(mask.height)) __builtin_trap();
        HitTests(mask);
    });
    return 0;
}
