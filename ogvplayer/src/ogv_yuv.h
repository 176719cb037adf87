#pragma once
// Studio-range Y'CbCr (BT.601, 4:2:0) to packed RGB, integer only.
//   OgvPicture                    the decoder's planes and the picture region inside them
//   DecodeYUVToRGB(picture, out, rowBytes)   3 bytes a pixel, rows rowBytes apart
#include <cstdint>

struct OgvPicture {
    const uint8_t* luma = nullptr;
    const uint8_t* cb = nullptr;
    const uint8_t* cr = nullptr;
    int lumaStride = 0, chromaStride = 0;  // bytes between rows of each plane
    int x = 0, y = 0;                      // picture offset in luma pixels
    int width = 0, height = 0;             // picture size
};

void DecodeYUVToRGB(const OgvPicture& picture, uint8_t* output, int rowBytes);
