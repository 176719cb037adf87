#include "ogv_yuv.h"

#include <algorithm>

namespace {

// The BT.601 studio-range factors times 8192 (13-bit fixed point), one entry a code.
struct YUVTables {
    int y[256], rv[256], gu[256], gv[256], bu[256];
    YUVTables() {
        for (int i = 0; i < 256; ++i) {
            y[i] = static_cast<int>((i - 16) * 9535.988);
            rv[i] = static_cast<int>((i - 128) * 13074.932);
            gu[i] = static_cast<int>((i - 128) * 3203.572);
            gv[i] = static_cast<int>((i - 128) * 6660.596);
            bu[i] = static_cast<int>((i - 128) * 16531.956);
        }
    }
};

const YUVTables& Tables() {
    static const YUVTables tables;
    return tables;
}

inline uint8_t Channel(int fixed) { return static_cast<uint8_t>(std::clamp(fixed >> 13, 0, 255)); }

// One or two picture rows that share a chroma row (`second` may be null). A chroma sample
// covers two luma columns of the plane, so a picture that starts on an odd column pairs
// its pixels across sample boundaries.
void DecodeRows(const YUVTables& t, const uint8_t* first, const uint8_t* second, const uint8_t* cb, const uint8_t* cr,
                int x0, int width, uint8_t* outFirst, uint8_t* outSecond) {
    int x = 0;
    while (x < width) {
        const int c = (x0 + x) >> 1;
        const int r = t.rv[cr[c]], g = t.gu[cb[c]] + t.gv[cr[c]], b = t.bu[cb[c]];
        const int end = std::min(width, x + 2 - ((x0 + x) & 1));
        for (; x < end; ++x) {
            int v = t.y[first[x]];
            outFirst[x * 3] = Channel(v + r);
            outFirst[x * 3 + 1] = Channel(v - g);
            outFirst[x * 3 + 2] = Channel(v + b);
            if (!second) continue;
            v = t.y[second[x]];
            outSecond[x * 3] = Channel(v + r);
            outSecond[x * 3 + 1] = Channel(v - g);
            outSecond[x * 3 + 2] = Channel(v + b);
        }
    }
}

}  // namespace

void DecodeYUVToRGB(const OgvPicture& p, uint8_t* output, int rowBytes) {
    const YUVTables& t = Tables();
    int row = 0;
    while (row < p.height) {
        const int planeRow = p.y + row;
        // Two rows at a time while they share a chroma row, so each sample is read once.
        const bool pair = (planeRow & 1) == 0 && row + 1 < p.height;
        const uint8_t* luma = p.luma + static_cast<std::ptrdiff_t>(planeRow) * p.lumaStride + p.x;
        const std::ptrdiff_t chromaRow = static_cast<std::ptrdiff_t>(planeRow >> 1) * p.chromaStride;
        uint8_t* out = output + static_cast<std::ptrdiff_t>(row) * rowBytes;
        DecodeRows(t, luma, pair ? luma + p.lumaStride : nullptr, p.cb + chromaRow, p.cr + chromaRow, p.x, p.width,
                   out, pair ? out + rowBytes : nullptr);
        row += pair ? 2 : 1;
    }
}
