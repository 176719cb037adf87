#include "text/font_description.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/number_text.h"
#include "formats/parcon.h"
#include "core/string_utils.h"

namespace {

constexpr int kMaxValues = 8;

struct LineValues {
    std::string_view kind;
    std::string values[kMaxValues];
    int count = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view FirstWord(std::string_view line) {
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    std::size_t end = start;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    return line.substr(start, end - start);
}

// The quoted values in order: from a single or double quote to the next one of its kind.
void ReadQuotedValues(std::string_view line, LineValues& out) {
    std::size_t pos = 0;
    while (out.count < kMaxValues) {
        pos = line.find_first_of("\"'", pos);
        if (pos == std::string_view::npos) return;
        const std::size_t close = line.find(line[pos], pos + 1);
        if (close == std::string_view::npos) return;
        out.values[out.count++] = std::string(line.substr(pos + 1, close - pos - 1));
        pos = close + 1;
    }
}

float FloatValue(const LineValues& line, int index, float fallback) {
    return index < line.count ? TextToFloat(line.values[index].c_str()) : fallback;
}

// Page pixels and offsets fit 16 bits; holding them there keeps every sum in range.
int Clamp16(int value) { return std::clamp(value, -32767, 32767); }

int IntValue(const LineValues& line, int index) {
    return index < line.count ? Clamp16(TextToInt(line.values[index].c_str())) : 0;
}

void ReadFontLine(const LineValues& line, OldFontSettings& s) {
    s.size = FloatValue(line, 0, s.size);
    s.spaceLength = FloatValue(line, 1, s.spaceLength);
    s.glyphMargin = FloatValue(line, 2, s.glyphMargin);
    s.characterSpacing = FloatValue(line, 3, s.characterSpacing);
    s.lineSpacing = FloatValue(line, 4, s.lineSpacing);
    s.paragraphSpacing = FloatValue(line, 5, s.paragraphSpacing);
}

OldGlyph ReadGlyphLine(const LineValues& line) {
    OldGlyph g;
    g.page = IntValue(line, 0);
    g.xOffset = IntValue(line, 1);
    g.yOffset = -IntValue(line, 2);
    g.advance = IntValue(line, 3);
    g.x0 = IntValue(line, 4);
    g.y0 = IntValue(line, 5);
    g.x1 = IntValue(line, 6);
    g.y1 = IntValue(line, 7);
    g.directionX = g.x0 < g.x1 ? 1.0f : -1.0f;
    g.directionY = g.y0 < g.y1 ? 1.0f : -1.0f;
    g.width = std::abs(g.x1 - g.x0);
    g.height = std::abs(g.y1 - g.y0);
    // A glyph whose directions disagree lies on the page turned by a quarter.
    if (g.directionX != g.directionY) {
        std::swap(g.width, g.height);
        std::swap(g.corner1, g.corner2);
    }
    return g;
}

// Character map entries of unknown glyphs (or negative indices) are dropped.
void ReadCharLine(const LineValues& line, std::map<char16_t, int>& characters) {
    if (line.count < 1) return;
    const char16_t unit = DecodeFontCharacter(line.values[0]);
    if (unit != 0) characters[unit] = line.count > 1 ? TextToInt(line.values[1].c_str()) : -1;
}

// The tag lines go blank so that characters such as "(" or "#" in their values cannot
// open, close or hide the override list.
std::string WithoutTagLines(std::string_view bytes) {
    std::string text(bytes);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t first = start;
        while (first < end && (IsBlank(text[first]))) ++first;
        if (first < end && text[first] == '<') std::fill(text.begin() + first, text.begin() + end, ' ');
        start = end + 1;
    }
    return text;
}

bool SameWord(const char* a, const char* b) { return a && strcasecmp(a, b) == 0; }

// In the first list of the file: (space_length 4) and its like replace the "<font" values.
void ReadOverrides(std::string_view bytes, const std::string& path, OldFontSettings& s) {
    Parcon reader;
    reader.OpenText(path, WithoutTagLines(bytes));
    const auto root = reader.ParseList(false, true);
    const ParconList* first = nullptr;
    for (ParconCursor c{root.get(), 0}; !first && reader.Advance(c);) first = reader.CurrentItemText(c);
    if (!first) return;
    for (ParconCursor c{first, 0}; reader.Advance(c);) {
        const ParconList* item = reader.CurrentItemText(c);
        if (!item) continue;
        ParconCursor inner{item, 0};
        const char* name = reader.FirstItemValue(inner);
        float* field = SameWord(name, "space_length")        ? &s.spaceLength
                       : SameWord(name, "character_spacing") ? &s.characterSpacing
                       : SameWord(name, "line_spacing")      ? &s.lineSpacing
                       : SameWord(name, "paragraph_spacing") ? &s.paragraphSpacing
                                                             : nullptr;
        if (field && reader.HasNext(inner)) *field = reader.NextFloat(inner, *field);
    }
}

}  // namespace

char16_t DecodeFontCharacter(std::string_view value) {
    static constexpr struct {
        const char* name;
        char16_t unit;
    } kEntities[] = {{"&quot;", 34}, {"&amp;", 38}, {"&apos;", 39}, {"&nbsp;", 32}, {"&lt;", 60}, {"&gt;", 62}};
    for (const auto& entity : kEntities)
        if (value == entity.name) return entity.unit;
    const std::string text(value);
    char16_t unit[2] = {0, 0};
    return DecodeUtf8(text.c_str(), unit, 1) == 1 ? unit[0] : 0;
}

bool ParseFontDescription(std::string_view bytes, const std::string& path, FontDescription& out, std::string& reason) {
    out = FontDescription{};
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        LineValues values;
        values.kind = FirstWord(line);
        if (values.kind != "<font" && values.kind != "<glyph" && values.kind != "<char") continue;
        ReadQuotedValues(line, values);
        if (values.kind == "<font") ReadFontLine(values, out.settings);
        else if (values.kind == "<glyph") out.glyphs.push_back(ReadGlyphLine(values));
        else ReadCharLine(values, out.characters);
    }
    ReadOverrides(bytes, path, out.settings);

    const int glyphCount = static_cast<int>(out.glyphs.size());
    std::erase_if(out.characters, [&](const auto& entry) { return entry.second < 0 || entry.second >= glyphCount; });
    if (out.characters.empty()) {
        reason = "no character is mapped to a glyph";
        return false;
    }
    for (const auto& [unit, index] : out.characters) {
        const int page = out.glyphs[static_cast<std::size_t>(index)].page;
        if (page < 0 || page >= FontDescription::kMaxPages) {
            reason = "a glyph lies on page " + std::to_string(page) + ", outside 0..9";
            return false;
        }
        out.pageCount = std::max(out.pageCount, page + 1);
    }
    const float half = std::clamp(out.settings.glyphMargin * 0.5f, -32767.0f, 32767.0f);
    const int grow = std::isnan(half) ? 0 : static_cast<int>(half);
    for (OldGlyph& g : out.glyphs) {
        g.x0 += grow;
        g.y0 += grow;
        g.x1 += grow;
        g.y1 += grow;
    }
    return true;
}
