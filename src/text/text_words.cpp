#include "text/text_words.h"

#include <cstdio>
#include <utility>

#include "core/config.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "text/true_text_font.h"

namespace {

struct AlignWord {
    const char* word;
    uint32_t flag;
};

constexpr AlignWord kAlignWords[] = {
    {"left", kAlignLeft},
    {"right", kAlignRight},
    {"center", kAlignCenter},
    {"vcenter", kAlignVCenter},
    {"bottom", kAlignBottom},
    {"top", kAlignTop},
    {"block_left", kAlignBlockLeft},
    {"block_right", kAlignBlockRight},
    {"block_center", kAlignBlockCenter},
    {"block_top", kAlignBlockTop},
    {"block_bottom", kAlignBlockBottom},
    {"block_vcenter", kAlignBlockVCenter},
    {"const_width", kAlignConstWidth},
    {"const_height", kAlignConstHeight},
    {"const_size", kAlignConstSize},
};

constexpr std::size_t kAlignTextLimit = 59;

}  // namespace

void SplitFontSize(const std::string& text, std::string& name, float& size) {
    if (!g_config.true_text) return;
    name = text;
    size = 10.0f;
    const std::size_t last = text.find_last_not_of("0123456789");
    if (last == std::string::npos) return;
    float value = 0.0f;
    if (std::sscanf(text.c_str() + last + 1, "%f", &value) != 1) value = 0.0f;
    size = TrueText_ClampFontSize(value);
    name = text.substr(0, last + 1);
    TrimRight(kBlanks, name);
}

uint32_t ParseAlignment(const std::string& text) {
    uint32_t flags = 0;
    for (const std::string& word : SplitString(ToLower(text.substr(0, kAlignTextLimit)), " ,;"))
        for (const AlignWord& known : kAlignWords)
            if (word == known.word) flags |= known.flag;
    return flags;
}

uint32_t ParseTextColor(const std::string& text) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    uint32_t color = static_cast<uint32_t>(ParseHexColor(digits.c_str()));
    if (digits.size() < 8) color |= 0xFF000000u;
    if (g_renderer.opengl) color = (color & 0xFF00FF00u) | (color >> 16 & 0xFFu) | (color & 0xFFu) << 16;
    return color;
}
