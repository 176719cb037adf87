#pragma once
// Uncompressed 32-bit BMP files of surfaces whose pixels already are in file order
// (rows bottom-up, bytes B, G, R, A).
#include <cstdint>
#include <string>
#include <vector>

class Surface;

inline constexpr int kBmpHeaderSize = 54;

// Whether a file of the size can be written whole: its byte counts are 32-bit fields.
bool BmpSizeFits(int width, int height);
// The whole file; empty for a surface without pixels or one too large for the format.
std::vector<uint8_t> EncodeBmp(const Surface& surface);
// ".bmp" is appended unless the name already ends with it (any case).
std::string BmpFileName(const std::string& name);
void SaveSurfaceAsBMP(const std::string& name, const Surface& surface);
