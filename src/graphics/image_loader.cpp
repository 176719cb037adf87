#include "graphics/image_loader.h"

#include <stb_image.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/log.h"
#include "graphics/dds_decoder.h"
#include "graphics/image_files.h"
#include "graphics/image_fixups.h"
#include "graphics/surface.h"

namespace {

// The decoder fills a short file's missing bytes with zeros and decodes on, so a header
// that claims more pixels than the file can hold is refused before decoding. Outside the
// zlib and LZW formats no file packs more pixels than this into a byte: run-length packets
// cover at most 128 pixels in two bytes, and a JPEG spends at least one bit on each block
// of 8 x 8 pixels.
constexpr long long kMaxPixelsPerByte = 512;

// Feeds stb from memory and notes whether it ever asked for bytes past the end: stb
// reads zeros there, so a truncated file would otherwise decode "successfully".
struct MemoryReader {
    const uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
    bool overran = false;

    static int Read(void* user, char* out, int count) {
        auto& self = *static_cast<MemoryReader*>(user);
        if (self.position >= self.size) {
            self.overran = self.overran || count > 0;
            return 0;
        }
        const std::size_t n = std::min(static_cast<std::size_t>(std::max(count, 0)), self.size - self.position);
        std::memcpy(out, self.data + self.position, n);
        self.position += n;
        return static_cast<int>(n);
    }
    static void Skip(void* user, int count) {
        auto& self = *static_cast<MemoryReader*>(user);
        if (count < 0) {
            self.position -= std::min(self.position, static_cast<std::size_t>(-static_cast<long long>(count)));
            return;
        }
        if (static_cast<std::size_t>(count) > self.size - std::min(self.position, self.size)) self.overran = true;
        self.position = std::min(self.size, self.position + static_cast<std::size_t>(count));
    }
    static int AtEnd(void* user) {
        const auto& self = *static_cast<MemoryReader*>(user);
        return self.position >= self.size ? 1 : 0;
    }
};

constexpr stbi_io_callbacks kCallbacks{&MemoryReader::Read, &MemoryReader::Skip, &MemoryReader::AtEnd};

constexpr std::string_view kPngSignature = "\x89PNG";

bool StartsWith(const uint8_t* buffer, std::size_t size, std::string_view magic) {
    return size >= magic.size() && std::memcmp(buffer, magic.data(), magic.size()) == 0;
}

// Deflate expands a byte into at most 1032, and a PNG byte holds at most 8 pixels.
constexpr long long kMaxPngPixelsPerByte = 1032 * 8;

// GIF and Softimage PIC files may hold far more pixels than bytes.
bool MayPackManyPixelsPerByte(const uint8_t* buffer, std::size_t size) {
    return StartsWith(buffer, size, "GIF8") || StartsWith(buffer, size, "\x53\x80\xF6\x34");
}

// The size the header claims; a top-down BMP states its height as a negative number.
bool ClaimedSize(const uint8_t* buffer, std::size_t size, long long& width, long long& height) {
    if (IsDdsFile(buffer, size)) {
        ReadDdsSize(buffer, size, width, height);
        return true;
    }
    MemoryReader reader{buffer, size};
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_callbacks(&kCallbacks, &reader, &w, &h, &channels)) return false;
    width = w;
    height = std::llabs(static_cast<long long>(h));
    return true;
}

bool PlausibleSize(const uint8_t* buffer, std::size_t size) {
    long long width = 0, height = 0;
    if (!ClaimedSize(buffer, size, width, height)) return false;
    if (width <= 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
    const long long pixels = width * height, bytes = static_cast<long long>(size);
    if (StartsWith(buffer, size, kPngSignature)) return pixels <= bytes * kMaxPngPixelsPerByte;
    return MayPackManyPixelsPerByte(buffer, size) || pixels <= bytes * kMaxPixelsPerByte;
}

// A byte of the buffer, zero past its end (as the decoder reads it).
uint8_t ByteAt(const uint8_t* buffer, std::size_t size, std::size_t at) { return at < size ? buffer[at] : 0; }

// A JPEG start marker: 0xFF (any number of times), then 0xD8.
bool StartsAsJpeg(const uint8_t* buffer, std::size_t size) {
    std::size_t at = 0;
    while (at < size && buffer[at] == 0xFF) ++at;
    return at > 0 && at < size && buffer[at] == 0xD8;
}

// What the marker walk has seen so far: the kind of frame and the huffman tables defined
// (one bit per slot, DC and AC).
struct JpegTables {
    bool progressive = false;
    unsigned defined[2] = {0, 0};
};

uint16_t SegmentLength(const uint8_t* buffer, std::size_t size, std::size_t at) {
    return static_cast<uint16_t>(ByteAt(buffer, size, at) << 8 | ByteAt(buffer, size, at + 1));
}

// The tables of one huffman-table segment, walked as the decoder walks them: each lists
// at most 256 symbols.
bool ReadHuffmanSegment(const uint8_t* buffer, std::size_t size, std::size_t at, JpegTables& tables) {
    long remaining = SegmentLength(buffer, size, at) - 2;
    at += 2;
    while (remaining > 0) {
        const uint8_t table = ByteAt(buffer, size, at++);
        if (table >> 4 > 1 || (table & 15) > 3) return true;  // refused by the decoder itself
        long symbols = 0;
        for (int i = 0; i < 16; ++i) symbols += ByteAt(buffer, size, at++);
        if (symbols > 256) return false;
        tables.defined[table >> 4] |= 1u << (table & 15);
        at += static_cast<std::size_t>(symbols);
        remaining -= 17 + symbols;
    }
    return true;
}

// The decoder reads a scan with whatever its table slots hold, defined or not: every
// table the scan decodes with must have been defined before it.
bool ScanTablesDefined(const uint8_t* buffer, std::size_t size, std::size_t at, const JpegTables& tables) {
    const std::size_t components = ByteAt(buffer, size, at + 2);
    const std::size_t spectral = at + 3 + 2 * components;
    const bool firstSpectral = ByteAt(buffer, size, spectral) == 0;
    const bool refinement = ByteAt(buffer, size, spectral + 2) >> 4 != 0;
    const bool needsDc = !tables.progressive || (firstSpectral && !refinement);
    const bool needsAc = !tables.progressive || !firstSpectral;
    for (std::size_t i = 0; i < components; ++i) {
        const uint8_t table = ByteAt(buffer, size, at + 4 + 2 * i);
        if (needsDc && !(tables.defined[0] >> (table >> 4) & 1)) return false;
        if (needsAc && !(tables.defined[1] >> (table & 15) & 1)) return false;
    }
    return true;
}

// The decoder writes past its tables for a huffman table of more than 256 symbols and
// reads out of them for a scan that uses a table never defined, so the segments are
// checked first. Markers are found as the decoder finds them: 0xFF, fill bytes 0xFF, then
// a code; 0x00 after 0xFF is entropy-coded data.
bool JpegTablesSound(const uint8_t* buffer, std::size_t size) {
    JpegTables tables;
    std::size_t at = 0;
    while (at < size) {
        if (buffer[at++] != 0xFF) continue;
        while (at < size && buffer[at] == 0xFF) ++at;
        if (at >= size) break;
        const uint8_t code = buffer[at++];
        if (code == 0xD9) break;
        if (code == 0x00 || code == 0x01 || code == 0xD8 || (code >= 0xD0 && code <= 0xD7)) continue;  // no length
        if (code == 0xC0 || code == 0xC1 || code == 0xC2) tables.progressive = code == 0xC2;
        if (code == 0xC4 && !ReadHuffmanSegment(buffer, size, at, tables)) return false;
        if (code == 0xDA && !ScanTablesDefined(buffer, size, at, tables)) return false;
        at += std::max<std::size_t>(2, SegmentLength(buffer, size, at));
    }
    return true;
}

uint32_t BigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// The decoder grows its buffer to a data chunk's stated length before reading it, so
// every chunk up to the end marker must lie inside the file (its checksum may be cut).
bool PngChunksFit(const uint8_t* buffer, std::size_t size) {
    constexpr std::size_t kSignature = 8, kHeader = 8, kChecksum = 4;
    for (std::size_t at = kSignature; at + kHeader <= size;) {
        const std::size_t length = BigEndian32(buffer + at);
        if (std::memcmp(buffer + at + 4, "IEND", 4) == 0) break;
        if (length > size - at - kHeader) return false;
        at += std::min(size - at, kHeader + length + kChecksum);
    }
    return true;
}

bool IsPnmSpace(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The decoder reads a binary PNM header's width, height and maximum value into an int
// without checking for overflow. Spaces and '#' comments are skipped as it skips them.
bool PnmNumbersFit(const uint8_t* buffer, std::size_t size) {
    std::size_t at = 2;
    for (int number = 0; number < 3; ++number) {
        while (at < size && (IsPnmSpace(buffer[at]) || buffer[at] == '#')) {
            if (buffer[at] != '#') {
                ++at;
                continue;
            }
            while (at < size && buffer[at] != '\n' && buffer[at] != '\r') ++at;
        }
        long long value = 0;
        for (; at < size && buffer[at] >= '0' && buffer[at] <= '9'; ++at)
            if ((value = value * 10 + (buffer[at] - '0')) > INT32_MAX) return false;
    }
    return true;
}

// Damaged files that the system's decoder mishandles, refused before it reads them.
bool PassesDecoderChecks(const uint8_t* buffer, std::size_t size) {
    if (StartsAsJpeg(buffer, size)) return JpegTablesSound(buffer, size);
    if (StartsWith(buffer, size, kPngSignature)) return PngChunksFit(buffer, size);
    if (StartsWith(buffer, size, "P5") || StartsWith(buffer, size, "P6")) return PnmNumbersFit(buffer, size);
    return true;
}

// The engine's RGBA pixels from 1, 3 or 4 decoded channels; grey also becomes the alpha.
void ToPixels(const stbi_uc* decoded, int channels, DecodedImage& output) {
    const std::size_t count = static_cast<std::size_t>(output.width) * static_cast<std::size_t>(output.height);
    output.pixels = std::make_unique<uint32_t[]>(count);
    output.hasAlpha = channels == 4;
    if (channels == 4) {
        std::memcpy(output.pixels.get(), decoded, count * 4);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const stbi_uc* p = decoded + i * static_cast<std::size_t>(channels);
        output.pixels[i] = channels == 3 ? (p[0] | p[1] << 8 | p[2] << 16 | 0xFF000000u) : p[0] * 0x01010101u;
    }
}

// The decoder on a file the checks have passed.
int DecodeCheckedFile(const uint8_t* buffer, std::size_t size, DecodedImage& output) {
    MemoryReader reader{buffer, size};
    int w = 0, h = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_callbacks(&kCallbacks, &reader, &w, &h, &channels, 0);
    if (!decoded) return 0;
    int result = 0;
    if (!reader.overran) {
        result = channels;
        output.width = w;
        output.height = h;
        if (channels == 1 || channels == 3 || channels == 4) ToPixels(decoded, channels, output);
        MirrorTgaRows(buffer, size, output);
    }
    stbi_image_free(decoded);
    return result;
}

int DecodeWithStb(const uint8_t* buffer, std::size_t size, DecodedImage& output) {
    if (size == 0 || size > static_cast<std::size_t>(INT32_MAX)) return 0;
    if (!PassesDecoderChecks(buffer, size) || !PlausibleSize(buffer, size)) return 0;
    std::optional<std::vector<uint8_t>> padded;
    if (!PadBmpPalette(buffer, size, padded)) return 0;
    if (padded) return DecodeCheckedFile(padded->data(), padded->size(), output);
    return DecodeCheckedFile(buffer, size, output);
}

}  // namespace

int TryDecodeImage(const uint8_t* buffer, std::size_t size, DecodedImage& output) {
    if (IsDdsFile(buffer, size)) return DecodeDds(buffer, size, output);
    return DecodeWithStb(buffer, size, output);
}

void STBParser::Parse(const uint8_t* buffer, std::size_t size, DecodedImage& output) {
    const int channels = TryDecodeImage(buffer, size, output);
    long long width = 0, height = 0;
    // Only a file the checks pass is asked for its size: the decoder's header readers overflow too.
    const bool tooLarge = channels == 0 && PassesDecoderChecks(buffer, size) &&
                          ClaimedSize(buffer, size, width, height) && (width > kMaxImageSide || height > kMaxImageSide);
    if (tooLarge)
        VELK_ERROR("Image too large: %lldx%lld pixels (at most %dx%d)", width, height, kMaxImageSide, kMaxImageSide);
    if (channels == 0) VELK_ERROR("Problems loading image.\nIf this is a progressive JPEG, then they're not supported.");
    if (channels != 1 && channels != 3 && channels != 4)
        VELK_ERROR("Invalid image - must be 8 bit, 24 bit or 24 bit + alpha.");
}

void LoadSurfaceFromFile(Surface& surface, const std::string& name) {
    surface.Clear();
    const auto file = LoadStoredFile(name);
    if (!file) VELK_ERROR("Storage: LoadFile - file not found: %s", name.c_str());
    DecodedImage image;
    STBParser().Parse(file->data(), file->size(), image);
    surface.Adopt(std::move(image.pixels), image.width, image.height, image.hasAlpha);
}

bool IsImageFileValid(const std::string& name) {
    const auto file = LoadStoredFile(name);
    if (!file) return false;
    DecodedImage image;
    const int channels = TryDecodeImage(file->data(), file->size(), image);
    return channels == 1 || channels == 3 || channels == 4;
}
