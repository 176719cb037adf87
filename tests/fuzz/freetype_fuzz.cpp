// The FreeType glyph source on a face from storage: sized, then a handful of glyphs
// measured, kerned and drawn, plain and outlined. Real faces are far longer than an input,
// so an input is a patch over a real face: a 4-byte offset, then the bytes written there.
// An input that starts with a face's tag is a whole face instead.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>

#include "fuzz_fonts.h"
#include "fuzz_support.h"
#include "graphics/surface.h"
#include "text/font_freetype.h"

namespace {

constexpr uint32_t kCharacters[] = {'A', 'g', ' ', '1', 0xE9, 0x4E00, 0x1F600, 0};

bool IsWholeFace(const uint8_t* data, std::size_t size) {
    static const char* const kTags[] = {"\x00\x01\x00\x00", "OTTO", "true", "ttcf"};
    return size >= 4 && std::any_of(std::begin(kTags), std::end(kTags), [&](const char* tag) { return std::memcmp(data, tag, 4) == 0; });
}

// The face an input stands for.
std::string FaceOf(const uint8_t* data, std::size_t size) {
    if (IsWholeFace(data, size) || size < 4) return std::string(reinterpret_cast<const char*>(data), size);
    std::string face = RealFace();
    const std::size_t offset = (data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::size_t>(data[3]) << 24) % face.size();
    const std::size_t length = std::min(size - 4, face.size() - offset);
    std::memcpy(face.data() + offset, data + 4, length);
    return face;
}

void Prepare(const std::string& path) {
    StartFontsOnce(std::filesystem::path(path).parent_path().string());
    TrueText_ClearFaceCache();
}

void UseFace(std::size_t size) {
    TrueText_FreeTypeFont font;
    font.faceName = "input.ttf";
    font.size = static_cast<float>(1 + size % 40);
    font.UpdateMetrics();
    Surface out;
    uint32_t previous = 0;
    for (const uint32_t character : kCharacters) {
        (void)font.GetAdvance(character);
        (void)font.Kerning(previous, character);
        (void)font.RenderGlyph(character, &out, 0.0f);
        (void)font.RenderGlyph(character, &out, 2.5f);
        previous = character;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string face = FaceOf(data, size);
    Prepare(WriteFuzzFile(reinterpret_cast<const uint8_t*>(face.data()), face.size(), "ttf"));
    RunFuzzInput([&] { UseFace(size); });
    return 0;
}
