// The window icon's reader on any bytes: ICO directories with PNG or BMP images, or a
// single image.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "graphics/icon_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    RunFuzzInput([&] {
        DecodedImage image;
        if (DecodeIconImage(data, size, image) && (image.width <= 0 || image.height <= 0 || !image.pixels))
            __builtin_trap();
    });
    return 0;
}
