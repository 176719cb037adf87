#include "graphics/bmp_writer.h"

#include <cstring>

#include "core/log.h"
#include "core/string_utils.h"
#include "graphics/image_files.h"
#include "graphics/surface.h"
#include "storage/storage_path.h"

namespace {

constexpr uint32_t kBitsPerPixel = 32;

void Put16(uint8_t*& at, uint16_t value) {
    std::memcpy(at, &value, 2);
    at += 2;
}

void Put32(uint8_t*& at, uint32_t value) {
    std::memcpy(at, &value, 4);
    at += 4;
}

}  // namespace

bool BmpSizeFits(int width, int height) {
    constexpr uint64_t kMaxPixels = (UINT32_MAX - kBmpHeaderSize) / 4;
    return width > 0 && height > 0 && static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= kMaxPixels;
}

std::vector<uint8_t> EncodeBmp(const Surface& surface) {
    if (!surface.pixels || !BmpSizeFits(surface.width, surface.height)) return {};
    const auto imageBytes = static_cast<uint32_t>(surface.PixelCount() * 4);
    std::vector<uint8_t> file(kBmpHeaderSize + imageBytes);
    uint8_t* at = file.data();
    *at++ = 'B';
    *at++ = 'M';
    Put32(at, kBmpHeaderSize + imageBytes);
    Put16(at, 0);
    Put16(at, 0);
    Put32(at, kBmpHeaderSize);
    Put32(at, 40);
    Put32(at, static_cast<uint32_t>(surface.width));
    Put32(at, static_cast<uint32_t>(surface.height));  // positive: rows bottom-up
    Put16(at, 1);
    Put16(at, kBitsPerPixel);
    Put32(at, 0);
    Put32(at, imageBytes);
    for (int i = 0; i < 4; ++i) Put32(at, 0);
    std::memcpy(at, surface.pixels, imageBytes);
    return file;
}

std::string BmpFileName(const std::string& name) {
    const std::string extension = GetExtension(name);
    if (ToLower(extension) == "bmp") return name;
    if (!extension.empty()) VELK_WARNING("WARNING: SaveSurfaceAsBMP(%s) - wrong file extension!", name.c_str());
    return name + ".bmp";
}

void SaveSurfaceAsBMP(const std::string& name, const Surface& surface) {
    const std::string fileName = BmpFileName(name);
    if (surface.PixelCount() > 0 && !BmpSizeFits(surface.width, surface.height)) {
        VELK_WARNING("SaveSurfaceAsBMP: %s - %dx%d pixels do not fit in a BMP file", fileName.c_str(), surface.width,
                     surface.height);
        return;
    }
    const std::vector<uint8_t> file = EncodeBmp(surface);
    // An empty capture has no pixel size to write (and would make the bit count 0/0).
    if (file.empty()) {
        VELK_WARNING("SaveSurfaceAsBMP: %s - nothing to save, the image is empty", fileName.c_str());
        return;
    }
    switch (SaveWritableFile(fileName, file)) {
        case WriteResult::Written: break;
        case WriteResult::CannotOpen: VELK_WARNING("SaveSurfaceAsBMP: %s - can't open the file", fileName.c_str()); break;
        case WriteResult::Incomplete: VELK_ERROR("SaveSurfaceAsBMP: %s - not whole data saved", fileName.c_str());
    }
}
