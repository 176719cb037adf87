#include "text/true_text_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/string_utils.h"
#include "text/atlas.h"
#include "text/text_align.h"
#include "text/true_text.h"
#include "text/true_text_font.h"
#include "text/true_text_render.h"

namespace {

bool g_debugOverlay = false;

enum UnitClass { kClassOther = 0, kClassSpace = 1, kClassReturn = 2, kClassLineFeed = 3, kClassIdeograph = 4 };

bool IsLineBreak(char16_t c) { return c == 10 || c == 13; }
bool IsIdeograph(char16_t c) { return c >= 0x3000 && c <= 0x9FFF; }
bool IsProtectingMark(char16_t c) { return c == u'?' || c == u'!' || c == u'-' || c == u':' || c == u';'; }
bool IsOpeningMark(char16_t c) { return c == 0x201C || c == 0x300C || c == 0x300E || c == 0xFF08; }
bool IsClosingMark(char16_t c) {
    switch (c) {
        case 0x002E: case 0x003A: case 0x201D: case 0x2025: case 0x2026: case 0x3001: case 0x3002:
        case 0x300D: case 0x300F: case 0xFF01: case 0xFF09: case 0xFF0C: case 0xFF1A: case 0xFF1F:
            return true;
        default:
            return false;
    }
}

UnitClass ClassOf(const TrueText_TextUnit& u) {
    if (u.protectedSpace) return kClassOther;
    switch (u.code) {
        case 32: return kClassSpace;
        case 13: return kClassReturn;
        case 10: return kClassLineFeed;
        default: return IsIdeograph(u.code) ? kClassIdeograph : kClassOther;
    }
}

void DecodeUnits(TrueText_Style& style) {
    static std::vector<char16_t> decoded(TrueText_Style::kMaxUnits + 1);
    const std::size_t count = DecodeUtf8(style.text, decoded.data(), TrueText_Style::kMaxUnits);
    style.units.resize(count + 1);
    for (std::size_t i = 0; i < count; ++i) style.units[i] = TrueText_TextUnit{decoded[i]};
    style.units[count] = TrueText_TextUnit{u' '};
}

// Advances, break marks and the no-break rules; true when the text holds a line break.
bool MarkUnits(TrueText_Style& style) {
    std::vector<TrueText_TextUnit>& units = style.units;
    const TrueText_Resolved& r = style.font->resolved;
    const std::size_t count = units.size();
    for (std::size_t i = 0; i + 1 < count; ++i)
        units[i].protectedSpace = units[i].code == u' ' && IsProtectingMark(units[i + 1].code);
    bool multiLine = false;
    for (std::size_t i = 0; i < count; ++i) {
        TrueText_TextUnit& u = units[i];
        // A protected space is measured as the space it is drawn as.
        u.advance = style.font->GetAdvance(u.code).advance;
        // A kerned pair moves the pen as well as the glyph, so widths follow the drawing.
        const bool pairs = i > 0 && !IsLineBreak(u.code) && !IsLineBreak(units[i - 1].code);
        u.kerning = pairs ? style.font->Kerning(units[i - 1].code, u.code) : 0.0f;
        u.advance += u.kerning;
        if (u.code == u' ') u.advance += r.wordSpacing;
        else if (u.code != 10 && u.code != 13) u.advance += r.letterSpacing;
        const UnitClass c = ClassOf(u);
        if (c == kClassReturn || c == kClassLineFeed) {
            u.advance = 0;
            multiLine = true;
        }
        u.mark = c == kClassIdeograph ? 1 : c == kClassOther ? 0 : 2;
        if (i > 0 && (units[i - 1].mark == 2 || units[i - 1].code == 10)) u.mark = 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (units[i].mark == 2) units[i].mark = 1;
        if (units[i].mark == 0 && i > 0 && IsIdeograph(units[i - 1].code)) units[i].mark = 1;
    }
    for (std::size_t i = 1; i < count; ++i) {
        const char16_t a = units[i - 1].code, b = units[i].code;
        if (units[i].mark == 1 && ((a == 0x4E00 && b == 0x4E00) || IsOpeningMark(a))) units[i].mark = 0;
    }
    for (TrueText_TextUnit& u : units)
        if (IsClosingMark(u.code)) u.mark = 0;
    return multiLine;
}

float SumAdvances(const std::vector<TrueText_TextUnit>& units, std::size_t first, std::size_t end) {
    float sum = 0;
    for (std::size_t i = first; i < end; ++i) sum += units[i].advance;
    return sum;
}

// Runs of units between break marks go on the current line while they fit; a run always
// takes at least one unit, and a line at least one run, so a glyph wider than the box
// takes a line of its own instead of looping.
int WalkRuns(TrueText_Style& style, float limit, float heightLimit, float descent) {
    std::vector<TrueText_TextUnit>& units = style.units;
    const TrueText_Resolved& r = style.font->resolved;
    const int count = static_cast<int>(units.size());
    std::vector<TrueText_Line>& lines = style.lines;
    lines.assign(1, TrueText_Line{});
    int paragraphs = 0;
    for (int i = 0; i < count;) {
        int end = i + 1;
        float run = units[i].advance;
        while (end < count && units[end].mark == 0 && !(limit != 0 && run + units[end].advance > limit))
            run += units[end++].advance;
        const char16_t first = units[i].code;
        const bool lineBreak = (first == 13 || first == 10) && !units[i].protectedSpace;
        TrueText_Line* line = &lines.back();
        const bool overflows = limit != 0 && run + line->width > limit && line->width > 0;
        if (overflows || lineBreak) {
            if (lineBreak) line->end = end;
            if (first == u' ' || first == 13 || first == 10) {
                units[i].hidden = true;
                run -= units[i].advance;
            }
            if (first == 10) {
                ++paragraphs;
                line->paragraphExtra = r.paragraphSpacing;
            }
            const float needed = descent + style.extentHeight + r.lineHeight * (static_cast<float>(lines.size()) + 1);
            if (heightLimit != 0 && heightLimit < needed) break;
            lines.push_back(TrueText_Line{end, 0, 0});
            line = &lines.back();
        }
        if (first != 13) {
            line->width += run;
            line->end = end;
        }
        i = end;
    }
    return paragraphs;
}

void FinishLines(TrueText_Style& style) {
    std::vector<TrueText_TextUnit>& units = style.units;
    std::vector<TrueText_Line>& lines = style.lines;
    int first = 0;
    for (TrueText_Line& line : lines) {
        if (line.end == 0) continue;
        TrueText_TextUnit& last = units[static_cast<std::size_t>(line.end - 1)];
        if (last.code == u' ' && !last.protectedSpace && !last.hidden) {
            last.hidden = true;
            line.width -= last.advance;
        }
        line.width -= TrueText_LineStartKerning(style, first, line.end);
        first = line.end;
    }
    const int previousEnd = lines.size() > 1 ? lines[lines.size() - 2].end : 0;
    if (lines.size() > 1 && lines.back().end - previousEnd == 1 &&
        lines.back().end == static_cast<int>(units.size()))
        lines.pop_back();
    units.back().hidden = true;
}

}  // namespace

float TrueText_LineStartKerning(const TrueText_Style& style, int first, int end) {
    for (int i = first; i < end; ++i)
        if (!style.units[static_cast<std::size_t>(i)].hidden) return style.units[static_cast<std::size_t>(i)].kerning;
    return 0.0f;
}

void TrueText_SetDebugOverlay(bool on) { g_debugOverlay = on; }
bool TrueText_DebugOverlay() { return g_debugOverlay; }

void TrueText_StyleKey(const TrueText_Style& style, std::string& key) {
    // Lengths before the texts and exact numbers keep every request's key its own.
    auto append = [&](auto value) { TrueText_AppendKeyNumber(key, value, ','); };
    key.clear();
    append(style.fontName.size());
    key += style.fontName;
    append(style.size);
    // Only what the layout decodes: texts alike up to there lay out alike, and a long
    // text's key stays small.
    const std::size_t textLength = Utf8PrefixLength(style.text, TrueText_Style::kMaxUnits);
    append(textLength);
    key.append(style.text, textLength);
    append(style.boxWidth);
    append(style.boxHeight);
    append(style.flags);
    append(g_debugOverlay ? 1 : 0);
}

void TrueText_BreakLines(TrueText_Style& style) {
    style.lines.clear();
    style.resultWidth = style.resultHeight = 0;
    style.blockWidth = style.blockHeight = 0;
    style.font = TrueText_GetFont(std::string(style.fontName), style.size);
    if (!style.font) return;
    const TrueText_Resolved& r = style.font->resolved;
    DecodeUnits(style);
    style.extentWidth = r.extent.maxX - r.extent.minX;
    style.extentHeight = r.extent.maxY - r.extent.minY;
    const float limit = style.boxWidth != 0 ? style.boxWidth - style.extentWidth : 0;
    const float heightLimit = style.boxHeight != 0 ? style.boxHeight - style.extentHeight : 0;
    const float descent = -r.descender;
    const float clipWidth = r.clipLeft + r.clipRight, clipHeight = r.clipTop + r.clipBottom;
    const bool multiLine = MarkUnits(style);
    std::vector<TrueText_TextUnit>& units = style.units;
    if (limit == 0 && !multiLine) {
        style.lines.assign(1, TrueText_Line{static_cast<int>(units.size()) - 1,
                                            SumAdvances(units, 0, units.size() - 1), 0});
        units.back().hidden = true;
        style.resultWidth = style.lines[0].width + style.extentWidth - clipWidth;
        style.resultHeight = r.lineHeight + descent + style.extentHeight - clipHeight;
    } else {
        const int paragraphs = WalkRuns(style, limit, heightLimit, descent);
        FinishLines(style);
        float widest = 0;
        for (const TrueText_Line& line : style.lines) widest = std::max(widest, style.extentWidth + line.width);
        const int lineCount = static_cast<int>(style.lines.size());
        if (limit != 0 && lineCount > 1 && (style.flags & (kAlignRight | kAlignCenter))) widest = limit + style.extentWidth;
        style.resultWidth = widest - clipWidth;
        style.resultHeight = r.lineHeight * lineCount + r.lineSpacing * (lineCount - 1) + style.extentHeight +
                             r.paragraphSpacing * paragraphs - clipHeight + descent;
    }
    // Clips larger than the text, or nothing to show: no block.
    constexpr float kLargest = 16384.0f;
    if (!(style.resultWidth > 0) || !(style.resultHeight > 0)) return;
    style.blockWidth = static_cast<int>(std::ceil(std::min(style.resultWidth, kLargest))) + 2;
    style.blockHeight = static_cast<int>(std::ceil(std::min(style.resultHeight, kLargest))) + 2;
}

namespace {

// One request's scratch, reused so that a warm frame allocates nothing.
TrueText_Style& Scratch(std::string_view fontName, const char* text, float size, float boxWidth, float boxHeight,
                        uint32_t flags, bool layoutCall) {
    static TrueText_Style style;
    style.drawingPass = layoutCall;
    style.fontName = fontName;
    style.text = text;
    style.size = size;
    style.boxWidth = boxWidth;
    style.boxHeight = boxHeight;
    style.flags = flags;
    return style;
}

std::string& KeyBuffer() {
    static std::string key;
    return key;
}

bool Requestable(const char* text, float size) { return TrueText_Running() && text && *text && size >= 1; }

void FillBlock(const AtlasRegion& region, TrueText_Block& out) {
    out.offsetX = region.offsetX;
    out.offsetY = region.offsetY;
    out.u0 = region.u0;
    out.v0 = region.v0;
    out.u1 = region.u1;
    out.v1 = region.v1;
    out.blockWidth = static_cast<float>(region.width - 2);
    out.blockHeight = static_cast<float>(region.height - 2);
    out.textWidth = region.textWidth;
    out.textHeight = region.textHeight;
    out.cacheTexture = TrueText_CacheTexture();
    out.rotated = region.rotated;
}

}  // namespace

void TrueText_Layout(std::string_view fontName, const char* text, TrueText_Block& out, bool layoutCall, float size,
                     float boxWidth, float boxHeight, uint32_t flags) {
    out = TrueText_Block{};
    if (!Requestable(text, size)) return;
    TrueText_Style& style = Scratch(fontName, text, size, boxWidth, boxHeight, flags, layoutCall);
    TrueText_AgeBlocks();
    std::string& key = KeyBuffer();
    TrueText_StyleKey(style, key);
    AtlasRegion* region = TrueText_ChooseAtlas(key, 0, 0, true);
    if (!region) {
        TrueText_BreakLines(style);
        if (style.blockWidth == 0) return;
        region = TrueText_ChooseAtlas(key, style.blockWidth, style.blockHeight, false);
        // A text met first in a drawing call waits for the next call.
        if (!region || !layoutCall) return;
        TrueText_RenderBlock(style, *region);
    } else if (!region->drawn) {
        TrueText_BreakLines(style);
        TrueText_RenderBlock(style, *region);
    }
    FillBlock(*region, out);
}

void TrueText_TextSize(const char* text, float& width, float& height, std::string_view fontName, float size,
                       float boxWidth, float boxHeight, uint32_t flags) {
    width = height = 0;
    if (!Requestable(text, size)) return;
    TrueText_Style& style = Scratch(fontName, text, size, boxWidth, boxHeight, flags, false);
    std::string& key = KeyBuffer();
    TrueText_StyleKey(style, key);
    auto& cache = TrueText_SizeCache();
    auto found = cache.find(key);
    if (found == cache.end()) {
        TrueText_BreakLines(style);
        // Bounded: an animated size asks for a new key every frame.
        if (cache.size() >= kSizeCacheLimit) cache.clear();
        const float w = style.blockWidth > 0 ? static_cast<float>(style.blockWidth - 2) : 0.0f;
        const float h = style.blockHeight > 0 ? static_cast<float>(style.blockHeight - 2) : 0.0f;
        found = cache.emplace(key, TrueText_MeasuredSize{w, h}).first;
    }
    width = found->second.width;
    height = found->second.height;
}
