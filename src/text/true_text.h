#pragma once
// The TrueText renderer's life and shared state (all of it idle while `true_text` is off):
// - TrueText_Init / TrueText_Destroy: cache texture, atlases, glyph cache, debug font,
//   FreeType; both do nothing while off, Destroy and ResetCache nothing before Init ran
// - TrueText_ResetCache: forgets fonts, measured sizes and text blocks (faces stay open)
// - TrueText_Running: Init ran and Destroy has not
// - TrueText_GetFont: the registry's font of a name and size, loaded on first use and
//   resolved for its size; null while TrueText is not running; the registry starts again
//   when it holds 256 fonts
// - TrueText_ChooseAtlas: the region of a text block of w x h (or a lookup with 0 x 0);
//   a small block fills the small-block atlas, then free room of the main one, before the
//   least recently asked for block of either is evicted
// - TrueText_AgeBlocks: one more layout request for the blocks of both atlases
// - CacheTextureSize, GlyphCacheSize: the sizes for a window
// - TrueText_CacheTexture, _CacheSize, _MainAtlas, _SmallBlockAtlas, _GlyphAtlas,
//   _GlyphCacheSurface, _ScratchBuffer, _SizeCache: the state layout and drawing work on
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "text/true_text_font.h"

struct Atlas;
struct AtlasRegion;
struct Texture;
class Surface;

struct TrueText_MeasuredSize {
    float width = 0.0f, height = 0.0f;
};

void TrueText_Init();
void TrueText_Destroy();
void TrueText_ResetCache();
bool TrueText_Running();

TrueText_Font* TrueText_GetFont(const std::string& name, float size);
AtlasRegion* TrueText_ChooseAtlas(const std::string& key, int width, int height, bool lookup);
void TrueText_AgeBlocks();

int CacheTextureSize(int windowWidth, int windowHeight);
int GlyphCacheSize(int cacheTextureSize);

Texture* TrueText_CacheTexture();
int TrueText_CacheSize();
Atlas* TrueText_MainAtlas();
Atlas* TrueText_SmallBlockAtlas();
Atlas* TrueText_GlyphAtlas();         // null when there is no glyph cache
Surface* TrueText_GlyphCacheSurface();  // null when there is no glyph cache
// At least `pixels` pixels, grown (never shrunk) as needed.
uint32_t* TrueText_ScratchBuffer(std::size_t pixels);
std::map<std::string, TrueText_MeasuredSize, std::less<>>& TrueText_SizeCache();
// The registry's key of a name and size ("arial-12", "arial-10.5").
std::string TrueText_FontKey(const std::string& name, float size);
std::size_t TrueText_FontCount();
