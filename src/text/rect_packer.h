#pragma once
// Free-rectangle packer (maximal rectangles, best short-side fit, quarter turns allowed):
// - RectPacker::Init: one free rectangle covering width x height
// - RectPacker::Insert: places w x h (turned when that fits better); 0 x 0 when nothing fits
// - RectPacker::AddFree: hands a rectangle back as it was placed (no merge)
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
    void AddFree(const PackerRect& rect) { free_.push_back(rect); }
    const std::vector<PackerRect>& FreeRects() const { return free_; }

private:
    PackerRect FindPosition(int width, int height) const;
    void SplitAround(const PackerRect& placed);
    void Prune();

    std::vector<PackerRect> free_;
};
