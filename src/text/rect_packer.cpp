#include "text/rect_packer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

bool Intersects(const PackerRect& a, const PackerRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool Contains(const PackerRect& outer, const PackerRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

// Best short-side fit: the smaller leftover side decides, the larger breaks ties.
struct Fit {
    int bestShort = INT_MAX, bestLong = INT_MAX;
    PackerRect best;

    void Try(const PackerRect& free, int width, int height) {
        if (free.width < width || free.height < height) return;
        const int dx = std::abs(free.width - width), dy = std::abs(free.height - height);
        const int shortSide = std::min(dx, dy), longSide = std::max(dx, dy);
        if (shortSide < bestShort || (shortSide == bestShort && longSide < bestLong)) {
            best = {free.x, free.y, width, height};
            bestShort = shortSide;
            bestLong = longSide;
        }
    }
};

// Grows rect by the part of free that lies beside one of its sides, when free covers
// that whole side; false when it does not.
bool GrowInto(PackerRect& rect, const PackerRect& free) {
    const bool spansRows = free.y <= rect.y && free.y + free.height >= rect.y + rect.height;
    const bool spansColumns = free.x <= rect.x && free.x + free.width >= rect.x + rect.width;
    if (spansRows && free.x + free.width == rect.x) {
        rect.width += rect.x - free.x;
        rect.x = free.x;
    } else if (spansRows && free.x == rect.x + rect.width) {
        rect.width += free.width;
    } else if (spansColumns && free.y + free.height == rect.y) {
        rect.height += rect.y - free.y;
        rect.y = free.y;
    } else if (spansColumns && free.y == rect.y + rect.height) {
        rect.height += free.height;
    } else {
        return false;
    }
    return true;
}

}  // namespace

void RectPacker::AddFree(PackerRect rect) {
    // Without growing, blocks freed one by one leave holes that a slightly wider block
    // never fits, and the atlas evicts everything before it finds room.
    for (bool grown = true; grown;) {
        grown = false;
        for (const PackerRect& free : free_) grown = GrowInto(rect, free) || grown;
    }
    free_.push_back(rect);
    Prune(free_.size() - 1);
}

void RectPacker::Init(int width, int height) {
    free_.assign(1, PackerRect{0, 0, width, height});
}

PackerRect RectPacker::FindPosition(int width, int height) const {
    Fit fit;
    for (const PackerRect& free : free_) {
        fit.Try(free, width, height);
        fit.Try(free, height, width);
    }
    return fit.best;
}

PackerRect RectPacker::Insert(int width, int height) {
    if (width < 1 || height < 1) return {};
    const PackerRect placed = FindPosition(width, height);
    if (placed.height == 0) return {};
    Prune(SplitAround(placed));
    return placed;
}

std::size_t RectPacker::SplitAround(const PackerRect& n) {
    // Only the rectangles there before this split are cut; the pieces go to the end.
    std::size_t count = free_.size();
    for (std::size_t i = 0; i < count;) {
        const PackerRect f = free_[i];
        if (!Intersects(n, f)) {
            ++i;
            continue;
        }
        if (f.y < n.y) free_.push_back({f.x, f.y, f.width, n.y - f.y});
        if (n.y + n.height < f.y + f.height) free_.push_back({f.x, n.y + n.height, f.width, f.y + f.height - n.y - n.height});
        if (f.x < n.x && n.x < f.x + f.width) free_.push_back({f.x, f.y, n.x - f.x, f.height});
        if (n.x + n.width < f.x + f.width) free_.push_back({n.x + n.width, f.y, f.x + f.width - n.x - n.width, f.height});
        free_.erase(free_.begin() + static_cast<std::ptrdiff_t>(i));
        --count;
    }
    return count;
}

void RectPacker::Prune(std::size_t oldCount) {
    // The rectangles before oldCount were pruned against each other already: only pairs
    // with a new one are compared, which removes what comparing all pairs would.
    for (std::size_t i = 0; i < free_.size();) {
        bool removedI = false;
        for (std::size_t j = std::max(i + 1, oldCount); j < free_.size();) {
            if (Contains(free_[j], free_[i])) {
                free_.erase(free_.begin() + static_cast<std::ptrdiff_t>(i));
                if (i < oldCount) --oldCount;
                removedI = true;
                break;
            }
            if (Contains(free_[i], free_[j]))
                free_.erase(free_.begin() + static_cast<std::ptrdiff_t>(j));
            else
                ++j;
        }
        if (!removedI) ++i;
    }
}
