#pragma once
// The window icon's pixels from the bytes of an icon file: an ICO (the largest of its PNG
// or BMP images that reads), or any single image the image decoder reads (PNG, BMP, ...).
//   DecodeIconImage  RGBA pixels, rows top-down; empty when nothing in the bytes reads
#include <cstddef>
#include <cstdint>
#include <vector>

struct IconImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;

    bool empty() const { return rgba.empty(); }
};

IconImage DecodeIconImage(const uint8_t* bytes, std::size_t size);
