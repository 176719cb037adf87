#include "text/font_benchmark.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/config.h"
#include "core/frame_timer.h"
#include "core/random.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "storage/storage.h"
#include "text/debug_font.h"
#include "text/text_align.h"
#include "text/true_text.h"
#include "text/true_text_layout.h"
#include "text/true_text_render.h"

namespace {

constexpr int kEntries = 1000;

// 20 spaces, the Latin letters and digits, ASCII punctuation and accented Latin letters.
const std::u16string& Alphabet() {
    static const std::u16string alphabet = [] {
        std::u16string a(20, u' ');
        for (char16_t c = u'A'; c <= u'Z'; ++c) a += c;
        for (char16_t c = u'a'; c <= u'z'; ++c) a += c;
        for (char16_t c = u'0'; c <= u'9'; ++c) a += c;
        for (const char* p = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"; *p; ++p) a += static_cast<char16_t>(*p);
        for (char16_t c = 0xC0; c <= 0xFF; ++c)
            if (c != 0xD7 && c != 0xF7) a += c;
        for (char16_t c = 0x100; a.size() < 230; ++c) a += c;
        return a;
    }();
    return alphabet;
}

std::vector<std::string> GalleryFonts() {
    FileInfoMap found;
    SearchFiles("fonts/*", found, true, false);
    std::vector<std::string> names;
    for (const auto& [name, info] : found) {
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string extension = ToLower(name.substr(dot + 1));
        if (extension == "ttf" || extension == "otf" || extension == "fn2") names.push_back(name.substr(0, dot));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A quad in window pixels.
void WindowBox(float x, float y, float width, float height, uint32_t color) {
    const RenderVertex v[4] = {{x, y, 0, color, 0, 0},
                               {x + width, y, 0, color, 1, 0},
                               {x + width, y + height, 0, color, 1, 1},
                               {x, y + height, 0, color, 0, 1}};
    DrawImage(v, nullptr, kAddressClamp);
}

}  // namespace

float FontBenchmark(const std::string& fontName, float size, int& characters) {
    characters = 0;
    if (!g_config.true_text) return 0;
    TrueText_Destroy();
    TrueText_Init();
    FrameTimer& timer = GetFrameTimer();
    const double start = timer.Now();
    RandomSequence random(0);
    const std::u16string& alphabet = Alphabet();
    WideString text;
    for (int entry = 0; entry < kEntries; ++entry) {
        const int length = 10 + random.Next() % 200;
        text.clear();
        for (int i = 0; i < length; ++i) text += alphabet[static_cast<std::size_t>(random.Next() % 230)];
        random.Next();
        const float boxWidth = random.Next() % 2 == 1 ? static_cast<float>(50 + random.Next() % 500) : 0.0f;
        TrueText_Block block;
        TrueText_Layout(fontName, WideToUtf8(text).c_str(), block, false, size, boxWidth, 0,
                        kAlignLeft | kAlignTop);
        characters += length;
    }
    return static_cast<float>(timer.Now() - start);
}

std::string FontBenchmarkLine(float seconds, int characters) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "Font benchmark: preparing %d entries (%d characters) took %.2f seconds (%.2f entry/s, %.2f chars/s)",
                  kEntries, characters, seconds, kEntries / seconds, characters / seconds);
    return line;
}

int FontGallery(bool overlay) {
    if (!g_config.true_text) return 0;
    static const std::vector<std::string> fonts = GalleryFonts();
    static const char* const kSample = "The quick brown fox jumps over the lazy dog. \xC3\x81\xC3\x89\xC3\x8D\xC3\x93\xC3\x9A";
    const RendererState& r = g_renderer;
    WindowBox(0, 0, static_cast<float>(r.windowWidth), static_cast<float>(r.windowHeight), 0xE6000000u);
    TrueText_SetDebugOverlay(overlay);
    float x = 50, y = 50;
    for (const std::string& name : fonts) {
        float width = 0, height = 0;
        TrueText_TextSize(kSample, width, height, name, 20, 200, 0, kAlignLeft | kAlignTop);
        if (static_cast<float>(r.windowHeight) < y + height + 36 + 50) {
            x += 250;
            y = 50;
        }
        FlushBatch(kAllBatchSlots);
        DebugFont_DrawText(x, y, name, 0xFFFFFFFFu);
        if (overlay) WindowBox(x, y + 24, 200, height, 0x4DFFFFFFu);
        TrueText_Render(kSample, false, name, 20, x, y + 24, 0, 1, 1, 200, 0, kAlignLeft | kAlignTop, 0xFFFFFFFFu);
        y += height + 36;
    }
    FlushBatch(kAllBatchSlots);
    TrueText_SetDebugOverlay(false);
    return 1;
}
