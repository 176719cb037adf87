#include "text/true_text.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "core/config.h"
#include "core/log.h"
#include "graphics/render.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "text/atlas.h"
#include "text/debug_font.h"
#include "text/font_definition.h"
#include "text/font_freetype.h"

namespace {

constexpr int kGlyphCacheSize = 512;
// An animated scale asks for a new size every frame: past this many fonts the registry
// starts again (callers hold a font only for the length of one call).
constexpr std::size_t kFontRegistryLimit = 256;

// The small-block atlas's share of the cache texture, and the blocks it takes.
struct SmallBlockLimits {
    int rows = 0;     // T
    int width = 0;    // W
    int height = 0;   // H
    int area = 0;     // A
};

SmallBlockLimits LimitsFor(int cacheSize) {
    SmallBlockLimits limits;
    limits.rows = static_cast<int>(0.2 * cacheSize);
    limits.width = static_cast<int>(0.75 * limits.rows);
    limits.height = static_cast<int>(0.3 * limits.rows);
    limits.area = static_cast<int>(0.5 * limits.width * limits.height);
    return limits;
}

struct TrueTextState {
    bool running = false;
    int cacheSize = 0;
    SmallBlockLimits limits;
    Texture* cacheTexture = nullptr;  // one reference
    std::unique_ptr<Atlas> mainAtlas, smallAtlas, glyphAtlas;
    std::unique_ptr<Surface> glyphCache;
    std::vector<uint32_t> scratch;
    std::map<std::string, std::unique_ptr<TrueText_Font>, std::less<>> fonts;
    std::map<std::string, TrueText_MeasuredSize, std::less<>> sizeCache;
};

TrueTextState g_trueText;

}  // namespace

int CacheTextureSize(int windowWidth, int windowHeight) {
    const int larger = std::max({windowWidth, windowHeight, 1});
    int size = 1;
    while (size < larger) size *= 2;
    return size;
}

int GlyphCacheSize(int cacheTextureSize) {
    return cacheTextureSize > 1024 ? kGlyphCacheSize : 0;
}

void TrueText_Init() {
    TrueTextState& s = g_trueText;
    if (!g_config.true_text || s.running) return;
    LogPrintf("TrueText Init");
    s.cacheSize = CacheTextureSize(g_renderer.windowWidth, g_renderer.windowHeight);
    s.limits = LimitsFor(s.cacheSize);
    s.cacheTexture = CreateBlankTexture(s.cacheSize, s.cacheSize, 0, 0, true, false, false, false, false);
    s.scratch.clear();
    s.mainAtlas = Atlas_Create(s.cacheSize, s.cacheSize - s.limits.rows, 0);
    s.smallAtlas = Atlas_Create(s.cacheSize, s.limits.rows, s.cacheSize - s.limits.rows);
    const int glyphCache = GlyphCacheSize(s.cacheSize);
    if (glyphCache > 0) {
        s.glyphCache = std::make_unique<Surface>();
        s.glyphCache->Create(glyphCache, glyphCache, true);
        s.glyphAtlas = Atlas_Create(glyphCache, glyphCache, 0);
    }
    DebugFont_Init();
    TrueText_InitFreeType();
    s.running = true;
    LogPrintf("TrueText Init Complete [width = %d height = %d texture = %d tooltips = %d threshold {%d x %d -> %d} cache %d]",
              g_renderer.windowWidth, g_renderer.windowHeight, s.cacheSize, s.limits.rows, s.limits.width,
              s.limits.height, s.limits.area, glyphCache);
}

void TrueText_Destroy() {
    TrueTextState& s = g_trueText;
    if (!s.running) return;
    LogPrintf("TrueText Destroy");
    s.mainAtlas.reset();
    s.smallAtlas.reset();
    s.scratch = {};
    if (s.cacheTexture) s.cacheTexture->refCount -= 1;
    s.cacheTexture = nullptr;
    s.glyphAtlas.reset();
    s.glyphCache.reset();
    s.fonts.clear();
    s.sizeCache.clear();
    DebugFont_Release();
    TrueText_DoneFreeType();
    s.running = false;
}

void TrueText_ResetCache() {
    TrueTextState& s = g_trueText;
    if (!s.running) return;
    LogPrintf("TrueText reset cache");
    s.fonts.clear();
    s.sizeCache.clear();
    Atlas_Clear(*s.mainAtlas);
    Atlas_Clear(*s.smallAtlas);
}

bool TrueText_Running() {
    return g_trueText.running;
}

std::string TrueText_FontKey(const std::string& name, float size) {
    std::ostringstream key;
    key << name << '-' << size;
    return key.str();
}

TrueText_Font* TrueText_GetFont(const std::string& name, float size) {
    TrueTextState& s = g_trueText;
    if (!s.running) return nullptr;
    size = TrueText_ClampFontSize(size);
    const std::string key = TrueText_FontKey(name, size);
    auto found = s.fonts.find(key);
    if (found == s.fonts.end()) {
        if (s.fonts.size() >= kFontRegistryLimit) s.fonts.clear();
        found = s.fonts.emplace(key, TrueText_LoadFontDefinition(name, size)).first;
    }
    TrueText_Font& font = *found->second;
    TrueText_ApplySize(font, font.size);
    return &font;
}

AtlasRegion* TrueText_ChooseAtlas(const std::string& key, int width, int height, bool lookup) {
    TrueTextState& s = g_trueText;
    if (!s.running) return nullptr;
    const SmallBlockLimits& l = s.limits;
    const bool small = static_cast<int64_t>(width) * height < l.area && width < l.width && height < l.height;
    if (lookup) {
        if (AtlasRegion* region = Atlas_Find(*s.smallAtlas, key)) return region;
        return Atlas_Find(*s.mainAtlas, key);
    }
    if (!small) return Atlas_Allocate(*s.mainAtlas, key, width, height);
    // A small block takes free room in its own atlas, else free room in the main one, so
    // that the whole texture holds blocks before any is evicted; when both are full the
    // least recently asked for region of the two goes (the atlases age together).
    for (;;) {
        if (AtlasRegion* region = Atlas_Place(*s.smallAtlas, key, width, height)) return region;
        if (AtlasRegion* region = Atlas_Place(*s.mainAtlas, key, width, height)) return region;
        const int smallAge = Atlas_OldestAge(*s.smallAtlas), mainAge = Atlas_OldestAge(*s.mainAtlas);
        if (smallAge < 0 && mainAge < 0) return nullptr;
        Atlas_EvictOldest(smallAge >= mainAge ? *s.smallAtlas : *s.mainAtlas);
    }
}

void TrueText_AgeBlocks() {
    TrueTextState& s = g_trueText;
    if (!s.running) return;
    Atlas_AgeRegions(*s.mainAtlas);
    Atlas_AgeRegions(*s.smallAtlas);
}

Texture* TrueText_CacheTexture() {
    return g_trueText.cacheTexture;
}

int TrueText_CacheSize() {
    return g_trueText.cacheSize;
}

Atlas* TrueText_MainAtlas() {
    return g_trueText.mainAtlas.get();
}

Atlas* TrueText_SmallBlockAtlas() {
    return g_trueText.smallAtlas.get();
}

Atlas* TrueText_GlyphAtlas() {
    return g_trueText.glyphAtlas.get();
}

Surface* TrueText_GlyphCacheSurface() {
    return g_trueText.glyphCache.get();
}

uint32_t* TrueText_ScratchBuffer(std::size_t pixels) {
    std::vector<uint32_t>& scratch = g_trueText.scratch;
    if (scratch.size() < pixels) scratch.resize(pixels);
    return scratch.data();
}

std::map<std::string, TrueText_MeasuredSize, std::less<>>& TrueText_SizeCache() {
    return g_trueText.sizeCache;
}

std::size_t TrueText_FontCount() {
    return g_trueText.fonts.size();
}
