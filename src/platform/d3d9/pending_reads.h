#pragma once
// The texel rectangles that recorded but unfinished draws sample from one texture, so that
// writing elsewhere in it need not wait for them (a text cache gains a block while earlier
// blocks of it are still to be drawn).
// - PendingReads::Note: a draw of the given batch samples this rectangle
// - PendingReads::Overlaps: whether a rectangle meets what batches still pending sample
// - TexelBounds: the texels a draw's vertices can sample, filter reach included
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"

class PendingReads {
public:
    void Note(uint64_t batch, const RECT& texels);
    // pending(batch): whether drawing of that batch or an earlier one is still to be done.
    template <class Pending>
    bool Overlaps(const RECT& rect, const Pending& pending) {
        if (reads_.empty() || !pending(reads_.back().batch)) {
            reads_.clear();
            return false;
        }
        for (const Read& read : reads_)
            if (pending(read.batch) && Meets(read.texels, rect)) return true;
        return false;
    }
    void Clear() { reads_.clear(); }

private:
    struct Read {
        uint64_t batch;
        RECT texels;
    };
    static bool Meets(const RECT& a, const RECT& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }

    std::vector<Read> reads_;
};

// vertices: count vertices of the given stride with u, v at byte uvOffset. The whole texture
// when an address mode wraps beyond [0, 1] or a coordinate is not finite.
RECT TexelBounds(const uint8_t* vertices, unsigned count, unsigned stride, unsigned uvOffset, int width, int height,
                 bool wrapU, bool wrapV);
