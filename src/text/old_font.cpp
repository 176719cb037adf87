#include "text/old_font.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/log.h"
#include "storage/storage.h"
#include "core/string_utils.h"
#include "graphics/texture.h"

namespace {

std::string WithoutExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(0, dot) : path;
}

// Sizes beyond any real font saturate instead of overflowing.
int TruncatedSize(float size) {
    if (!(size > 0.0f)) return 0;
    return size >= static_cast<float>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

std::string PageName(const OldFont& font, int page) {
    const std::string stem = WithoutExtension(font.path);
    return font.description.pageCount == 1 ? stem : stem + "_" + std::to_string(page);
}

// Page pixels to texture coordinates, widened by half the margin along the glyph's direction.
void SetTextureCoordinates(OldGlyph& g, const Texture& page, float margin) {
    const float w = static_cast<float>(std::max(page.width, 1));
    const float h = static_cast<float>(std::max(page.height, 1));
    const float du = margin * 0.5f / w * g.directionX;
    const float dv = margin * 0.5f / h * g.directionY;
    g.u0 = g.x0 / w - du;
    g.u1 = g.x1 / w + du;
    g.v0 = g.y0 / h - dv;
    g.v1 = g.y1 / h + dv;
}

}  // namespace

OldFont::~OldFont() {
    for (Texture* page : pages)
        if (page) --page->refCount;
}

int CutTrailingDigits(std::string& name) {
    std::size_t start = name.size();
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
    const std::string digits = name.substr(start);
    name.resize(start);
    if (digits.empty()) return 0;
    // More digits than any size: the largest int.
    return digits.size() > 9 ? INT_MAX : std::stoi(digits);
}

std::string OldFontBaseName(const std::string& path) {
    std::string name = WithoutExtension(ToLower(path));
    if (const std::size_t slash = name.rfind('/'); slash != std::string::npos) name.erase(0, slash + 1);
    CutTrailingDigits(name);
    return name;
}

OldFontPtr LoadOldFont(const std::string& path) {
    auto font = std::make_unique<OldFont>();
    font->path = ToLower(path);
    font->baseName = OldFontBaseName(font->path);
    int32_t length = 0;
    const FileData data = LoadFile(path, &length, false);
    std::string reason = "no such file";
    if (data && ParseFontDescription(std::string_view(data.get(), static_cast<std::size_t>(length)), font->path,
                                     font->description, reason)) {
        std::string stem = WithoutExtension(font->path);
        font->size = CutTrailingDigits(stem);
        if (font->size == 0) font->size = TruncatedSize(font->description.settings.size);
        if (font->size > 0) {
            font->pages.assign(static_cast<std::size_t>(font->description.pageCount), nullptr);
            LogPrintf("Loaded font: %s", path.c_str());
            return font;
        }
        reason = "its size is not positive";
    }
    LogPrintf("Font %s: %s", path.c_str(), reason.c_str());
    LogPrintf("Can't load font: %s", path.c_str());
    return nullptr;
}

void LoadOldFontPages(OldFont& font) {
    if (!font.pagesPending) return;
    font.pagesPending = false;
    for (std::size_t page = 0; page < font.pages.size(); ++page) {
        Texture* loaded = LoadTexture(PageName(font, static_cast<int>(page)));
        if (font.pages[page]) --font.pages[page]->refCount;
        font.pages[page] = loaded;
    }
    const float margin = font.description.settings.glyphMargin;
    for (OldGlyph& g : font.description.glyphs)
        if (g.page >= 0 && g.page < static_cast<int>(font.pages.size())) SetTextureCoordinates(g, *font.pages[g.page], margin);
}
