// The DDS decoder on any bytes; whatever it accepts comes back as a whole image.
#include <cstddef>
#include <cstdint>

#include "graphics/dds_decoder.h"
#include "graphics/image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    DecodedImage image;
    const int channels = DecodeDds(data, size, image);
    if (channels == 0) return 0;
    if ((channels != 3 && channels != 4) || image.width < 1 || image.height < 1 || !image.pixels) __builtin_trap();
    return 0;
}
