// The image decoder on any bytes (PNG, JPEG, TGA, BMP, DDS and whatever else it takes),
// then the texture loader's padding and device conversions of what it decoded.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "graphics/image_loader.h"
#include "graphics/surface.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void UseAsTexture(DecodedImage& image) {
    Check(image.width > 0 && image.height > 0 && image.pixels);
    Surface surface;
    surface.Adopt(std::move(image.pixels), image.width, image.height, image.hasAlpha);
    int width = surface.width, height = surface.height;
    if (NextPowerOfTwo(width, height)) {
        const auto padded = NewPaddedCopy(surface, width, height);
        (void)ExtendEdges(surface.width, padded->pixels, width, surface.height, height);
    }
    for (const int kind : {kPixelsRGB, kPixelsR4G4B4A4, kPixelsBGRA})
        Check(ConvertSurfacePixels(kind, surface).size() == surface.PixelCount() * SurfacePixelKindSize(kind));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RunFuzzInput([&] {
        DecodedImage image;
        STBParser().Parse(data, size, image);
        UseAsTexture(image);
    });
    return 0;
}
