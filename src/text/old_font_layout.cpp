#include "text/old_font_layout.h"

#include <algorithm>
#include <cmath>

#include "text/font_description.h"
#include "text/text_align.h"

namespace {

constexpr float kUnlimited = 100000.0f;

bool NoBreakBeforeAfterSpace(char16_t next) { return next == u'!' || next == u'?' || next == u':' || next == u';'; }

bool AsianBreakBefore(char16_t previous, char16_t unit) {
    if (previous == 0x300C || previous == 0xFF08 || previous == 0x4E00) return false;
    switch (unit) {
        case 0xFF0C: case 0xFF1F: case 0xFF01: case 0x002E: case 0x2025: case 0x2026:
        case 0x3001: case 0x3002: case 0x300D: case 0xFF1A: case 0xFF09:
            return false;
        default:
            return true;
    }
}

// Halves away from zero.
float Nearest(float value) { return std::round(value); }

int LineLimit(float heightLimit, float lineStep) {
    const float lines = std::max(heightLimit / lineStep, 1.0f) + 0.01f;
    return lines < OldTextLayout::kMaxLines ? static_cast<int>(lines) : OldTextLayout::kMaxLines;
}

class Breaker {
public:
    Breaker(const FontDescription& font, float scale, const OldTextRequest& request, OldTextLayout& out)
        : s_(font.settings), font_(font), request_(request), out_(out) {
        widthLimit_ = request.boxWidth > 0 ? request.boxWidth / scale : kUnlimited;
        const float heightLimit = request.boxHeight > 0 ? request.boxHeight / scale : kUnlimited;
        lineStep_ = s_.size + s_.lineSpacing;
        maxLines_ = std::isnan(heightLimit / lineStep_) ? 1 : LineLimit(heightLimit, lineStep_);
    }

    void Run() {
        out_.glyphCount = 0;
        out_.lineCount = 0;
        lineFeeds_ = 0;
        if (request_.unitCount == 0) return;
        out_.lineStarts[0] = 0;
        out_.lineCount = 1;
        y_ = std::floor(s_.size * 0.7f + 1.0f);
        int i = 0;
        while (i < request_.unitCount && (i = Step(i)) >= 0) {
        }
    }

    int lineFeeds() const { return lineFeeds_; }
    float lineStep() const { return lineStep_; }
    float widthLimit() const { return widthLimit_; }

private:
    // The next unit to lay out, or -1 when the layout ends here.
    int Step(int i) {
        const char16_t unit = request_.units[i];
        if (unit == 10) {
            if (!NewLine(i + 1, y_ + lineStep_ + s_.paragraphSpacing)) return -1;
            ++lineFeeds_;
            return i + 1;
        }
        if (unit == 32) {
            const bool protectedSpace = i + 1 < request_.unitCount && NoBreakBeforeAfterSpace(request_.units[i + 1]);
            if (!protectedSpace) MarkBreak(i + 1);
            pen_ += s_.spaceLength + s_.characterSpacing;
            return i + 1;
        }
        if (request_.asianWrapping && i > lineFirstUnit_ && AsianBreakBefore(request_.units[i - 1], unit)) MarkBreak(i);
        const auto found = font_.characters.find(unit);
        if (found == font_.characters.end()) return i + 1;
        const OldGlyph& glyph = font_.glyphs[static_cast<std::size_t>(found->second)];
        const bool lineHasGlyphs = out_.glyphCount > out_.lineStarts[out_.lineCount - 1];
        if (pen_ + glyph.advance > widthLimit_ && (breakUnit_ > lineFirstUnit_ || lineHasGlyphs)) {
            // Back to the last break opportunity, or to this glyph when the line has none;
            // a glyph wider than the box alone on its line stays there.
            const int restart = breakUnit_ > lineFirstUnit_ ? breakUnit_ : i;
            if (breakUnit_ > lineFirstUnit_) out_.glyphCount = breakGlyphs_;
            return NewLine(restart, y_ + lineStep_) ? restart : -1;
        }
        if (out_.glyphCount == OldTextLayout::kMaxGlyphs) return -1;
        out_.glyphs[static_cast<std::size_t>(out_.glyphCount++)] = {pen_, y_, request_.color, &glyph};
        pen_ += glyph.advance + s_.characterSpacing;
        return i + 1;
    }

    void MarkBreak(int restartUnit) {
        breakUnit_ = restartUnit;
        breakGlyphs_ = out_.glyphCount;
    }

    bool NewLine(int firstUnit, float y) {
        if (out_.lineCount >= maxLines_) return false;
        out_.lineStarts[static_cast<std::size_t>(out_.lineCount++)] = out_.glyphCount;
        y_ = y;
        pen_ = 0;
        lineFirstUnit_ = firstUnit;
        breakUnit_ = -1;
        return true;
    }

    const OldFontSettings& s_;
    const FontDescription& font_;
    const OldTextRequest& request_;
    OldTextLayout& out_;
    float widthLimit_ = kUnlimited;
    float lineStep_ = 0;
    int maxLines_ = 1;
    float y_ = 0, pen_ = 0;
    int lineFirstUnit_ = 0;
    int breakUnit_ = -1, breakGlyphs_ = 0;
    int lineFeeds_ = 0;
};

int LineEnd(const OldTextLayout& out, int line) {
    return line + 1 < out.lineCount ? out.lineStarts[static_cast<std::size_t>(line + 1)] : out.glyphCount;
}

// Where a line's last glyph ends; 0 for a line without glyphs.
float LineRight(const OldTextLayout& out, int line) {
    const int end = LineEnd(out, line);
    if (end == out.lineStarts[static_cast<std::size_t>(line)]) return 0;
    const PlacedGlyph& last = out.glyphs[static_cast<std::size_t>(end - 1)];
    return last.x + last.glyph->advance;
}

void MoveGlyphs(OldTextLayout& out, int first, int end, float dx, float dy) {
    for (int g = first; g < end; ++g) {
        out.glyphs[static_cast<std::size_t>(g)].x -= dx;
        out.glyphs[static_cast<std::size_t>(g)].y -= dy;
    }
}

// The group's flag, or the fallback when the group is empty.
int Group(int flags, int mask, int fallback) { return (flags & mask) ? (flags & mask) : fallback; }

// One of three offsets by the block flags, with the same precedence as the line flags:
// right (bottom) first, then centre, else left (top).
float ByBlock(int block, int right, int center, float whenLeft, float whenCenter, float whenRight) {
    return (block & right) ? whenRight : (block & center) ? whenCenter : whenLeft;
}

void Align(OldTextLayout& out, int flags, float W, float A) {
    const int line = Group(flags, 0x7, kAlignLeft);
    const int vertical = Group(flags, 0x38, kAlignTop);
    const int block = Group(flags, 0x1C0, line << 6);
    const int blockVertical = Group(flags, 0xE00, vertical << 6);
    const float X = out.measuredHeight;
    for (int l = 0; l < out.lineCount; ++l) {
        const float R = LineRight(out, l);
        float dx = 0;
        if (line & kAlignRight)
            dx = R + ByBlock(block, kAlignBlockRight, kAlignBlockCenter, -W, -W / 2, 0);
        else if (line & kAlignCenter)
            dx = R * 0.5f + ByBlock(block, kAlignBlockRight, kAlignBlockCenter, -W / 2, 0, W / 2);
        else
            dx = ByBlock(block, kAlignBlockRight, kAlignBlockCenter, 0, W / 2, W);
        MoveGlyphs(out, out.lineStarts[static_cast<std::size_t>(l)], LineEnd(out, l), Nearest(dx), 0);
    }
    float down = 0;
    if (vertical & kAlignBottom)
        down = -X + ByBlock(blockVertical, kAlignBlockBottom, kAlignBlockVCenter, A, A / 2, 0);
    else if (vertical & kAlignVCenter)
        down = -X / 2 + ByBlock(blockVertical, kAlignBlockBottom, kAlignBlockVCenter, A / 2, 0, -A / 2);
    else
        down = ByBlock(blockVertical, kAlignBlockBottom, kAlignBlockVCenter, 0, -A / 2, -A);
    MoveGlyphs(out, 0, out.glyphCount, 0, -Nearest(down));
}

}  // namespace

void LayOutOldText(const FontDescription& font, float scale, const OldTextRequest& request, OldTextLayout& out) {
    Breaker breaker(font, scale, request, out);
    breaker.Run();
    float widest = 0;
    for (int l = 0; l < out.lineCount; ++l) widest = std::max(widest, LineRight(out, l));
    const OldFontSettings& s = font.settings;
    out.measuredWidth = widest;
    out.measuredHeight = out.lineCount == 0 ? 0
                                            : s.paragraphSpacing * breaker.lineFeeds() +
                                                  breaker.lineStep() * (out.lineCount - 1) + s.size;
    if (request.flags & kAlignSkip) return;
    const bool constWidth = (request.flags & kAlignConstWidth) && request.boxWidth > 0;
    const bool constHeight = (request.flags & kAlignConstHeight) && request.boxHeight > 0;
    const float W = constWidth ? breaker.widthLimit() : widest;
    const float A = constHeight ? request.boxHeight / scale : out.measuredHeight;
    Align(out, request.flags, W, A);
}
