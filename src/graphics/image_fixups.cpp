#include "graphics/image_fixups.h"

#include <algorithm>

#include "graphics/image_loader.h"

namespace {

constexpr std::size_t kBmpFileHeader = 14;
// An OS/2 core header's palette is found as the decoder finds it: 24 bytes after the file header.
constexpr long long kCoreHeaderPaletteGap = 24;

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool PadBmpPalette(const uint8_t* buffer, std::size_t size, std::optional<std::vector<uint8_t>>& padded) {
    padded.reset();
    if (size < 30 || buffer[0] != 'B' || buffer[1] != 'M') return true;
    const uint32_t headerSize = Le32(buffer + 14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 56 && headerSize != 108 && headerSize != 124) return true;
    const uint32_t bits = Le16(buffer + (core ? 24 : 28));
    if (bits != 1 && bits != 4 && bits != 8) return true;
    const long long offset = static_cast<int32_t>(Le32(buffer + 10));
    const long long room = offset - static_cast<long long>(kBmpFileHeader) - (core ? kCoreHeaderPaletteGap : headerSize);
    // Less room than one colour: the decoder would read none and index them all the same.
    if (room < 0) return false;
    const long long entry = core ? 3 : 4, stored = room / entry, needed = 1LL << bits;
    if (stored == 0 || stored >= needed) return true;  // refused by the decoder, or whole
    const std::size_t insertAt = kBmpFileHeader + headerSize + static_cast<std::size_t>(stored * entry);
    const long long added = (needed - stored) * entry;
    if (insertAt > size) return false;
    padded.emplace(buffer, buffer + insertAt);
    padded->insert(padded->end(), static_cast<std::size_t>(added), 0);
    padded->insert(padded->end(), buffer + insertAt, buffer + size);
    PutLe32(padded->data() + 10, static_cast<uint32_t>(offset + added));
    return true;
}

// No other format the decoder knows has 0 or 1 in its second byte (the TGA colour-map type).
bool IsTga(const uint8_t* buffer, std::size_t size) { return size >= 18 && buffer[1] <= 1; }

void MirrorTgaRows(const uint8_t* buffer, std::size_t size, DecodedImage& image) {
    constexpr uint8_t kRightToLeft = 0x10;
    if (!IsTga(buffer, size) || !(buffer[17] & kRightToLeft) || !image.pixels) return;
    const std::size_t width = static_cast<std::size_t>(image.width);
    for (std::size_t row = 0; row < static_cast<std::size_t>(image.height); ++row)
        std::reverse(image.pixels.get() + row * width, image.pixels.get() + (row + 1) * width);
}
