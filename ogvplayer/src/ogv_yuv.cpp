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

// One picture row; a chroma sample covers two luma columns of the plane, so a picture
// that starts on an odd column pairs its pixels across sample boundaries.
void DecodeRow(const YUVTables& t, const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int x0, int width,
               uint8_t* out) {
    int x = 0;
    while (x < width) {
        const int c = (x0 + x) >> 1;
        const int r = t.rv[cr[c]], g = t.gu[cb[c]] + t.gv[cr[c]], b = t.bu[cb[c]];
        const int end = std::min(width, x + 2 - ((x0 + x) & 1));
        for (; x < end; ++x, out += 3) {
            const int v = t.y[luma[x]];
            out[0] = Channel(v + r);
            out[1] = Channel(v - g);
            out[2] = Channel(v + b);
        }
    }
}

}  // namespace

void DecodeYUVToRGB(const OgvPicture& p, uint8_t* output, int rowBytes) {
    const YUVTables& t = Tables();
    for (int row = 0; row < p.height; ++row) {
        const int planeRow = p.y + row;
        const uint8_t* luma = p.luma + static_cast<std::ptrdiff_t>(planeRow) * p.lumaStride + p.x;
        const std::ptrdiff_t chromaRow = static_cast<std::ptrdiff_t>(planeRow >> 1) * p.chromaStride;
        DecodeRow(t, luma, p.cb + chromaRow, p.cr + chromaRow, p.x, p.width,
                  output + static_cast<std::ptrdiff_t>(row) * rowBytes);
    }
}
