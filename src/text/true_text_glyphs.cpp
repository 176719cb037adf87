#include "text/true_text_glyphs.h"

#include <charconv>
#include <map>
#include <string>

#include "graphics/surface.h"
#include "text/atlas.h"
#include "text/true_text.h"
#include "text/true_text_layout.h"

namespace {

constexpr std::size_t kEmptyGlyphLimit = 4096;

struct GlyphWork {
    Surface rendered;  // what the font drew
    Surface finished;  // coloured, blurred, or read back from the cache
    std::string key;
    std::map<std::string, float, std::less<>> emptyAdvances;  // empty glyphs need no region
};

GlyphWork& Work() {
    static GlyphWork work;
    return work;
}

void GlyphKey(const TrueText_Style& style, int layer, char16_t code, std::string& key) {
    auto append = [&](auto value) { TrueText_AppendKeyNumber(key, value, '-'); };
    key.clear();
    append(style.fontName.size());
    key += style.fontName;
    append(style.font->size);
    append(static_cast<int>(code));
    append(layer);
}

bool ReadCached(const AtlasRegion& region, const Surface& cache, TrueText_CachedGlyph& out, Surface& finished) {
    auto copy = NewSubSurface(cache, region.x, region.y, region.x + region.packed.width, region.y + region.packed.height);
    if (!copy) return false;
    if (region.rotated) RotateClockwise(*copy);
    finished = std::move(*copy);
    out.metrics.width = static_cast<int>(region.textWidth);
    out.metrics.height = static_cast<int>(region.textHeight);
    out.metrics.left = static_cast<int>(region.glyphLeft);
    out.metrics.top = static_cast<int>(region.glyphTop);
    out.metrics.advance = region.advance;
    out.pixels = &finished;
    return true;
}

void Store(const std::string& key, const TrueText_Glyph& metrics, const Surface& pixels, Atlas& atlas, Surface& cache) {
    AtlasRegion* region = Atlas_Allocate(atlas, key, pixels.width, pixels.height);
    if (!region) return;
    if (region->rotated) {
        auto turned = NewSubSurface(pixels, 0, 0, pixels.width, pixels.height);
        RotateCounterClockwise(*turned);
        BlitSurfaceAt(*turned, cache, region->x, region->y);
    } else {
        BlitSurfaceAt(pixels, cache, region->x, region->y);
    }
    region->textWidth = static_cast<float>(metrics.width);
    region->textHeight = static_cast<float>(metrics.height);
    region->glyphLeft = static_cast<float>(metrics.left);
    region->glyphTop = static_cast<float>(metrics.top);
    region->advance = metrics.advance;
    region->drawn = true;
}

// Layer colours were read in the surface's byte order (exchanged for OpenGL) already; a
// single colour's alpha ("80ff0000") scales the glyph's.
void ColorAndBlur(const TrueText_Layer& layer, int border, Surface& rendered, Surface& finished) {
    float opacity = 1.0f;
    if (layer.colorMode == 1) {
        TintSurface(rendered, layer.color);
        opacity = static_cast<float>(layer.color >> 24) / 255.0f;
    }
    if (layer.colorMode == 2) VerticalGradient(rendered, layer.color, layer.endColor);
    finished.Create(rendered.width + 2 * border, rendered.height + 2 * border, true);
    BlendSurfaceAt(rendered, finished, border, border, opacity);
    if (border == 0) return;
    DirectionalBlur(finished, 1, 0, border, 1.0f);
    DirectionalBlur(finished, 0, 1, border, 1.0f);
}

}  // namespace

TrueText_CachedGlyph TrueText_GetGlyph(const TrueText_Style& style, int layerIndex, char16_t code, int border) {
    GlyphWork& work = Work();
    Atlas* atlas = TrueText_GlyphAtlas();
    Surface* cache = TrueText_GlyphCacheSurface();
    TrueText_CachedGlyph out;
    if (atlas && cache) {
        GlyphKey(style, layerIndex, code, work.key);
        if (const auto empty = work.emptyAdvances.find(work.key); empty != work.emptyAdvances.end()) {
            out.metrics.advance = empty->second;
            return out;
        }
        if (AtlasRegion* region = Atlas_Allocate(*atlas, work.key, 0, 0))
            if (ReadCached(*region, *cache, out, work.finished)) return out;
    }
    const TrueText_Layer& layer = style.font->layers[static_cast<std::size_t>(layerIndex)];
    out.metrics = style.font->RenderGlyph(code, &work.rendered, layer.outline);
    if (out.metrics.width < 1 || out.metrics.height < 1 || !work.rendered.pixels) {
        out.metrics.width = out.metrics.height = 0;
        if (atlas && cache) {
            if (work.emptyAdvances.size() >= kEmptyGlyphLimit) work.emptyAdvances.clear();
            work.emptyAdvances.emplace(work.key, out.metrics.advance);
        }
        return out;
    }
    ColorAndBlur(layer, border, work.rendered, work.finished);
    if (atlas && cache) Store(work.key, out.metrics, work.finished, *atlas, *cache);
    out.pixels = &work.finished;
    return out;
}

void TrueText_ForgetEmptyGlyphs() { Work().emptyAdvances.clear(); }
