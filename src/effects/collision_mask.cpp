#include "effects/collision_mask.h"

#include <cmath>

#include "graphics/surface.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace

void BuildCollisionMask(CollisionMask& mask, const Surface& surface, int channel) {
    mask.width = surface.width;
    mask.height = surface.height;
    mask.bytesPerRow = surface.width / 8 + (surface.width % 8 != 0 ? 1 : 0);
    mask.bits.assign(static_cast<std::size_t>(mask.bytesPerRow) * static_cast<std::size_t>(mask.height), 0);
    const int shift = 8 * channel + 7;  // the channel byte's top bit
    for (int row = 0; row < mask.height; ++row) {
        const uint32_t* pixels = surface.Row(row);
        uint8_t* bytes = mask.bits.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(mask.bytesPerRow);
        for (int column = 0; column < mask.width; ++column)
            bytes[column / 8] |= static_cast<uint8_t>(((pixels[column] >> shift) & 1u) << (column % 8));
    }
}

void CollisionMaskRef_Init(CollisionMaskRef& ref, CollisionMask* mask, float hotspotX, float hotspotY) {
    ref.mask = mask;
    ref.hotspotX = hotspotX >= 0 ? hotspotX : static_cast<float>(mask->width / 2);
    ref.hotspotY = hotspotY >= 0 ? hotspotY : static_cast<float>(mask->height / 2);
}

bool CollisionMask_Test(const CollisionMask& mask, float pointX, float pointY, float positionX, float positionY,
                        float hotspotX, float hotspotY, float angle, float scaleX, float scaleY) {
    const float a = -(angle * kDegreesToRadians);
    const float c = std::cos(a), s = std::sin(a);
    const float dx = pointX - positionX, dy = pointY - positionY;
    const float column = (c * dx - s * dy) / scaleX + hotspotX;
    const float row = (s * dx + c * dy) / scaleY + hotspotY;
    // Range-checked before the conversion: truncation toward zero keeps (-1, 0) in
    // column 0, and a NaN fails both comparisons.
    if (!(column > -1.0f && column < static_cast<float>(mask.width))) return false;
    if (!(row > -1.0f && row < static_cast<float>(mask.height))) return false;
    const int x = static_cast<int>(column), y = static_cast<int>(row);
    const uint8_t byte = mask.bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.bytesPerRow) +
                                   static_cast<std::size_t>(x / 8)];
    return (byte >> (x % 8)) & 1u;
}
