#pragma once
// Free-rectangle packer (maximal rectangles, best short-side fit, quarter turns allowed):
// - RectPacker::Init: one free rectangle covering width x height
// - RectPacker::Insert: places w x h (turned when that fits better); 0 x 0 when nothing fits
// - RectPacker::AddFree: hands a placed rectangle back, grown into the free rectangles
//   beside it that cover a whole side of it, so that freed neighbours make room together
#include <vector>

struct PackerRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PackerRect&) const = default;
};

class RectPacker {
public:
    void Init(int width, int height);
    // Sizes below 1 are refused (placed 0 x 0).
    PackerRect Insert(int width, int height);
    void AddFree(PackerRect rect);
    const std::vector<PackerRect>& FreeRects() const { return free_; }

private:
    PackerRect FindPosition(int width, int height) const;
    // Returns how many of the rectangles, from the first, were there before.
    std::size_t SplitAround(const PackerRect& placed);
    // Removes every rectangle inside another; those before oldCount are inside none of them.
    void Prune(std::size_t oldCount);

    std::vector<PackerRect> free_;
};
