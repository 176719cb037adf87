#pragma once
// DirectDraw surface files: level 0 of uncompressed RGB(A) and DXT1/3/5 images.
#include <cstddef>
#include <cstdint>

struct DecodedImage;

bool IsDdsFile(const uint8_t* buffer, std::size_t size);
// The size a DDS file's header states.
void ReadDdsSize(const uint8_t* buffer, std::size_t size, long long& width, long long& height);
// The channel count (3 or 4) of what was decoded, 0 when the file is not usable.
int DecodeDds(const uint8_t* buffer, std::size_t size, DecodedImage& output);
