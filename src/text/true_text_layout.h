#pragma once
// TrueText layout: a request's units, lines and block size, its cache key, and the cached
// block a layout call prepares for the drawing call. Main thread only; nothing while
// TrueText is not running.
// - TrueText_Style: one request and its lines
// - TrueText_StyleKey: the request's cache key (different requests, different keys)
// - TrueText_BreakLines: the lines and the block's size (0 x 0: nothing to draw)
// - TrueText_Layout: the request's block, drawn into the cache by a layout call
// - TrueText_TextSize: the measured size, through the bounded size cache
// - TrueText_SetDebugOverlay / TrueText_DebugOverlay: boxes drawn behind lines and glyphs
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TrueText_Font;
struct Texture;

struct TrueText_Block {
    float offsetX = 0, offsetY = 0;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    float blockWidth = 0, blockHeight = 0;
    float textWidth = 0, textHeight = 0;
    Texture* cacheTexture = nullptr;
    bool rotated = false;
};

struct TrueText_TextUnit {
    char16_t code = 0;
    float advance = 0;  // the kerning included
    float kerning = 0;  // of the pair with the unit before; not drawn at a line's start
    int8_t mark = 0;              // 1: a line may start here
    bool hidden = false;          // keeps its place, draws nothing
    bool protectedSpace = false;  // a space before ? ! - : ; that never breaks
};

struct TrueText_Line {
    int end = 0;  // one past the line's last unit
    float width = 0;
    float paragraphExtra = 0;  // below the line, when a line feed ended it
};

struct TrueText_Style {
    static constexpr int kMaxUnits = 1399;

    bool drawingPass = false;  // set for a layout call
    std::string_view fontName;
    float size = 0;
    const char* text = "";
    float boxWidth = 0, boxHeight = 0;
    uint32_t flags = 0;

    TrueText_Font* font = nullptr;
    std::vector<TrueText_TextUnit> units;  // the text's, then one added space
    std::vector<TrueText_Line> lines;
    float resultWidth = 0, resultHeight = 0;
    float extentWidth = 0, extentHeight = 0;
    int blockWidth = 0, blockHeight = 0;  // 0 when there is nothing to draw
};

// Appends the key to `key` (cleared first), so that a warm caller allocates nothing.
void TrueText_StyleKey(const TrueText_Style& style, std::string& key);
// Appends a number written exactly, then the separator: one field of a cache key.
template <class T>
void TrueText_AppendKeyNumber(std::string& key, T value, char separator) {
    char number[32];
    const auto result = std::to_chars(number, number + sizeof number, value);
    key.append(number, result.ptr);
    key += separator;
}
void TrueText_BreakLines(TrueText_Style& style);
// The kerning of the first unit drawn on the line [first, end): a line starts unkerned.
float TrueText_LineStartKerning(const TrueText_Style& style, int first, int end);
void TrueText_Layout(std::string_view fontName, const char* text, TrueText_Block& out, bool layoutCall, float size,
                     float boxWidth, float boxHeight, uint32_t flags);
void TrueText_TextSize(const char* text, float& width, float& height, std::string_view fontName, float size,
                       float boxWidth, float boxHeight, uint32_t flags);

void TrueText_SetDebugOverlay(bool on);
bool TrueText_DebugOverlay();
// Entries the size cache keeps before it starts again.
inline constexpr std::size_t kSizeCacheLimit = 4096;
