#pragma once
// Files the system's decoder would read wrongly, put right around it:
//   PadBmpPalette    a paletted BMP with fewer colours than its indices reach gets the rest (black)
//   IsTga            whether a buffer the decoder took is a TGA file
//   MirrorTgaRows    a right-to-left TGA's rows turned the way its header says
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct DecodedImage;

// The decoder reads a colour for every index the bit depth allows, whether the file stores
// it or not. A copy whose palette holds every such colour, the missing ones black; empty
// when the file needs none. False when the palette cannot be read at all.
bool PadBmpPalette(const uint8_t* buffer, std::size_t size, std::optional<std::vector<uint8_t>>& padded);
bool IsTga(const uint8_t* buffer, std::size_t size);
void MirrorTgaRows(const uint8_t* buffer, std::size_t size, DecodedImage& image);
