#pragma once
// 1-bit hit masks made from one colour channel of an image, and their placements: a
// hotspot, a rotation and a scale for hit tests.
//
// BuildCollisionMask     the bits of a mask from a decoded image and a channel
// CollisionMaskRef_Init  a placement of a mask (negative hotspot: the centre)
// CollisionMask_Test     whether the placed mask is solid under a point
#include <cstdint>
#include <string>
#include <vector>

class Surface;

// Channel numbers: the byte of an RGBA pixel the mask is made from.
enum MaskChannel : int { kMaskRed = 0, kMaskGreen = 1, kMaskBlue = 2, kMaskAlpha = 3 };

struct CollisionMask {
    std::string name;  // also the registry key
    int width = 0;
    int bytesPerRow = 0;
    int height = 0;
    // Rows from the top; column x of a row is bit (x mod 8) of byte (x / 8).
    std::vector<uint8_t> bits;
    int refCount = 0;
};

// A placement of a mask, owned by whoever made it; it holds one reference.
struct CollisionMaskRef {
    CollisionMask* mask = nullptr;
    float hotspotX = 0, hotspotY = 0;
};

// A pixel is solid when its channel byte is 128 or more.
void BuildCollisionMask(CollisionMask& mask, const Surface& surface, int channel);
void CollisionMaskRef_Init(CollisionMaskRef& ref, CollisionMask* mask, float hotspotX, float hotspotY);
// Points off the mask, and any placement that maps a point to no finite pixel (a zero or
// NaN scale), test false.
bool CollisionMask_Test(const CollisionMask& mask, float pointX, float pointY, float positionX, float positionY,
                        float hotspotX, float hotspotY, float angle, float scaleX, float scaleY);
