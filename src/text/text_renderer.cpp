#include "text/text_renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/log.h"
#include "storage/storage.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "text/text_align.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

std::string Directory(const std::string& pattern) {
    const std::size_t slash = pattern.rfind('/');
    return slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
}

void AddDrawnArea(float area) {
    constexpr float kLimit = static_cast<float>(std::numeric_limits<int32_t>::max());
    const int64_t whole = !(area > 0.0f) ? 0 : area < kLimit ? static_cast<int64_t>(area) : INT32_MAX;
    int32_t& counter = g_renderer.statistics.pixelsDrawn;
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(whole));
}

struct Corner {
    float x, y;
};

}  // namespace

TextRenderer& GetTextRenderer() {
    // Never destroyed: its fonts hold texture references, which engine shutdown gives
    // back through Clear while the texture registry still exists.
    static TextRenderer* renderer = new TextRenderer();
    return *renderer;
}

int TextRenderer::LoadFonts(const std::string& pattern) {
    FileInfoMap found;
    SearchFiles(pattern, found, true, false);
    const std::string directory = Directory(pattern);
    int loaded = 0;
    for (const auto& [name, info] : found)
        if (LoadFont(directory + name)) ++loaded;
    return loaded;
}

OldFont* TextRenderer::LoadFont(const std::string& path) {
    const std::string lower = ToLower(path);
    for (const OldFontPtr& font : fonts_)
        if (font->path == lower) return font.get();
    OldFontPtr font = LoadOldFont(path);
    if (!font) return nullptr;
    OldFont* const loaded = font.get();
    missed_.erase(loaded->baseName);
    const auto same = std::find_if(fonts_.begin(), fonts_.end(), [&](const OldFontPtr& f) {
        return f->baseName == loaded->baseName && f->size == loaded->size;
    });
    if (same == fonts_.end()) {
        fonts_.push_back(std::move(font));
    } else {
        Forget(same->get());
        *same = std::move(font);
    }
    return loaded;
}

bool TextRenderer::ReleaseFont(const std::string& name) {
    std::string base = ToLower(name);
    const int size = CutTrailingDigits(base);
    bool released = false;
    for (auto it = fonts_.begin(); it != fonts_.end();) {
        const bool match = (*it)->baseName == base && (size == 0 || (*it)->size == size);
        if (!match || (released && size != 0)) {
            ++it;
            continue;
        }
        Forget(it->get());
        it = fonts_.erase(it);
        released = true;
    }
    return released;
}

bool TextRenderer::SelectFont(const std::string& name, int size) {
    current_ = nullptr;
    std::string base = ToLower(name);
    if (size <= 0) {
        size = CutTrailingDigits(base);
        if (size <= 0) {
            if (FirstMiss(base)) LogWarning("font_old", 761, "Bad font size <name=%s, size=%d>", base.c_str(), size);
            return false;
        }
    }
    int best = 10000;
    for (const OldFontPtr& font : fonts_) {
        if (font->baseName != base) continue;
        const int64_t difference = static_cast<int64_t>(font->size) - size;
        const int64_t distance = difference < 0 ? 5000 - difference : difference;
        if (distance < best) {
            best = static_cast<int>(distance);
            current_ = font.get();
        }
    }
    if (!current_) {
        if (FirstMiss(base)) LogWarning("font_old", 786, "Font not found: %s", base.c_str());
        return false;
    }
    LoadOldFontPages(*current_);
    scale_ = static_cast<float>(size) / static_cast<float>(current_->size);
    return true;
}

bool TextRenderer::FirstMiss(const std::string& name) {
    // Bounded: names made up by a script must not grow it without end.
    constexpr std::size_t kLimit = 256;
    if (missed_.size() >= kLimit) missed_.clear();
    return missed_.insert(name).second;
}

void TextRenderer::Clear() {
    current_ = nullptr;
    missed_.clear();
    layout_.glyphCount = 0;
    layout_.lineCount = 0;
    fonts_.clear();
    quadIndices_.clear();
    quadIndices_.shrink_to_fit();
}

// A font about to be deleted is no longer current, and the last layout no longer shows it.
void TextRenderer::Forget(const OldFont* font) {
    if (current_ != font) return;
    current_ = nullptr;
    layout_.glyphCount = 0;
    layout_.lineCount = 0;
}

void TextRenderer::Recolor(uint32_t color) {
    for (int g = 0; g < layout_.glyphCount; ++g) layout_.glyphs[static_cast<std::size_t>(g)].color = color;
}

void TextRenderer::LayOut(const char* text, uint32_t color, float boxWidth, float boxHeight, int flags) {
    layout_.glyphCount = 0;
    layout_.lineCount = 0;
    layout_.measuredWidth = layout_.measuredHeight = 0;
    if (!current_) return;
    const std::size_t count = DecodeUtf8(text, units_.data(), OldTextLayout::kMaxUnits);
    units_[count] = 0;
    OldTextRequest request;
    request.units = units_.data();
    request.unitCount = static_cast<int>(count);
    request.color = color;
    request.boxWidth = boxWidth;
    request.boxHeight = boxHeight;
    request.flags = flags;
    request.asianWrapping = asianWrapping;
    LayOutOldText(current_->description, scale_, request, layout_);
}

void TextRenderer::Draw(float atX, float atY) {
    if (!current_ || layout_.glyphCount == 0) return;
    if (quadIndices_.empty()) {
        quadIndices_.resize(kIndexQuads * 6);
        for (int i = 0; i < kIndexQuads; ++i)
            for (int k = 0; k < 6; ++k) quadIndices_[6 * i + k] = static_cast<uint16_t>(4 * i + kQuadIndices[k]);
    }
    Turn turn;
    const float radians = -angle * kDegreesToRadians;
    turn.cosine = std::cos(radians);
    turn.sine = std::sin(radians);
    turn.originX = atX * scaleX;
    turn.originY = atY * scaleY;
    turn.Apply(turn.originX, turn.originY);
    turn.originX += x;
    turn.originY += y;
    for (int page = 0; page < static_cast<int>(current_->pages.size()); ++page) DrawPage(page, turn);
    BindTexture(nullptr, kAddressClamp);
}

void TextRenderer::DrawPage(int page, const Turn& turn) {
    Texture* texture = current_->pages[static_cast<std::size_t>(page)];
    int count = 0;
    for (int g = 0; g < layout_.glyphCount; ++g) count += layout_.glyphs[static_cast<std::size_t>(g)].glyph->page == page;
    if (count == 0 || !texture) return;
    RenderVertex* v = LockVertices(4 * count);
    if (!v) return;
    const float margin = current_->description.settings.glyphMargin;
    const float sx = scale_ * scaleX, sy = scale_ * scaleY;
    const bool halfTexel = !g_renderer.opengl;
    const float texelU = 0.5f / static_cast<float>(std::max(texture->width, 1));
    const float texelV = 0.5f / static_cast<float>(std::max(texture->height, 1));
    for (int g = 0; g < layout_.glyphCount; ++g) {
        const PlacedGlyph& placed = layout_.glyphs[static_cast<std::size_t>(g)];
        const OldGlyph& glyph = *placed.glyph;
        if (glyph.page != page) continue;
        const float left = (placed.x + glyph.xOffset - margin / 2) * sx;
        const float top = (placed.y + glyph.yOffset - margin / 2) * sy;
        const float width = (glyph.width + margin) * sx, height = (glyph.height + margin) * sy;
        const Corner corners[4] = {{left, top}, {left + width, top}, {left + width, top + height}, {left, top + height}};
        const Corner uv[4] = {{glyph.u0, glyph.v0}, {glyph.u1, glyph.v0}, {glyph.u1, glyph.v1}, {glyph.u0, glyph.v1}};
        const int uvOrder[4] = {0, glyph.corner1, 2, glyph.corner2};
        const float du = halfTexel ? texelU * glyph.directionX : 0.0f;
        const float dv = halfTexel ? texelV * glyph.directionY : 0.0f;
        for (int k = 0; k < 4; ++k) {
            float cx = corners[k].x, cy = corners[k].y;
            turn.Apply(cx, cy);
            *v++ = {cx + turn.originX, cy + turn.originY, 0.0f, placed.color, uv[uvOrder[k]].x + du,
                    uv[uvOrder[k]].y + dv};
        }
        AddDrawnArea(width * height);
    }
    SetBlendMode(kBlendAlpha);
    BindTexture(texture, kAddressClamp);
    ConvertLockedVertices(false);
    DrawIndexed(quadIndices_.data(), 6 * count);
}

void OldFont_RenderText(const char* text, uint32_t color, float x, float y, float boxWidth, float boxHeight,
                        int flags) {
    TextRenderer& renderer = GetTextRenderer();
    if (text)
        renderer.LayOut(text, color, boxWidth, boxHeight, flags);
    else if (color != 0)
        renderer.Recolor(color);
    FlushBatch(kAllBatchSlots);
    renderer.Draw(x, y);
}

void OldFont_MeasureText(const char* text, float& width, float& height, int flags) {
    TextRenderer& renderer = GetTextRenderer();
    renderer.LayOut(text ? text : "", 0, width, height, flags | kAlignSkip);
    width = renderer.layout().measuredWidth * renderer.scale();
    height = renderer.layout().measuredHeight * renderer.scale();
}
