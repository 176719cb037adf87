#pragma once
// The window icon from an icon file: an ICO (the largest of its PNG or BMP images that
// reads), or a single image the image decoder reads (PNG, BMP, TGA, JPEG, ...).
//   DecodeIconImage  from bytes; false when nothing in them reads
//   LoadIconFile     from a file on disk, as icon_file names it
#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/image_loader.h"

bool DecodeIconImage(const uint8_t* bytes, std::size_t size, DecodedImage& image);
bool LoadIconFile(const std::string& path, DecodedImage& image);
