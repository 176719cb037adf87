#pragma once
// Image decoding into surfaces.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class Surface;

// The largest side of an image: what the largest device texture here takes.
inline constexpr int kMaxImageSide = 16384;

struct DecodedImage {
    std::unique_ptr<uint32_t[]> pixels;
    bool hasAlpha = false;
    int width = 0;
    int height = 0;
};

class IImageParser {
public:
    virtual ~IImageParser() = default;
    // Fatal when the buffer is not an image it can decode.
    virtual void Parse(const uint8_t* buffer, std::size_t size, DecodedImage& output) = 0;
};

// PNG, JPEG, TGA, BMP (and the other formats of the stb decoder) and DDS.
class STBParser final : public IImageParser {
public:
    void Parse(const uint8_t* buffer, std::size_t size, DecodedImage& output) override;
};

// Decodes without failing: the file's channel count, or 0 when it does not decode.
int TryDecodeImage(const uint8_t* buffer, std::size_t size, DecodedImage& output);

void LoadSurfaceFromFile(Surface& surface, const std::string& name);
bool IsImageFileValid(const std::string& name);
