#include "text/debug_font.h"

#include <algorithm>
#include <vector>

#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "text/debug_font_data.h"

namespace {

constexpr int kImageSize = 256;

struct DebugFontState {
    Texture* texture = nullptr;  // one reference, dropped by DebugFont_Release
    std::vector<uint16_t> indices;
    std::vector<uint8_t> coverage;  // one glyph, top row first; grows, never shrinks
};

DebugFontState g_debugFont;

int WidthOf(unsigned char code) {
    return std::max<int>(kDebugFontWidths[code], 0);
}

void BuildIndices(std::vector<uint16_t>& indices) {
    indices.resize(static_cast<std::size_t>(kDebugFontQuads) * 6);
    for (int i = 0; i < kDebugFontQuads; ++i)
        for (int k = 0; k < 6; ++k) indices[static_cast<std::size_t>(i) * 6 + k] = static_cast<uint16_t>(4 * i + kQuadIndices[k]);
}

// Four vertices per character: top-left, top-right, bottom-right, bottom-left.
float FillQuads(RenderVertex* v, float penX, float top, std::string_view text, uint32_t color) {
    const float vBias = g_renderer.opengl ? 0.0f : 1.0f / kImageSize;
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        const int w = WidthOf(code);
        const float u0 = static_cast<float>(kDebugFontCell * (code % 16)) / kImageSize;
        const float u1 = static_cast<float>(kDebugFontCell * (code % 16) + w) / kImageSize;
        const float row = static_cast<float>(code / 16);
        const float vTop = (row + 1.0f) / 16.0f - vBias, vBottom = row / 16.0f - vBias;
        const float right = penX + static_cast<float>(w), bottom = top + kDebugFontCell;
        v[0] = {penX, top, 0.0f, color, u0, vTop};
        v[1] = {right, top, 0.0f, color, u1, vTop};
        v[2] = {right, bottom, 0.0f, color, u1, vBottom};
        v[3] = {penX, bottom, 0.0f, color, u0, vBottom};
        v += 4;
        penX = right;
    }
    return penX;
}

}  // namespace

void TrueText_DebugFont::UpdateMetrics() {
    resolved.descender = 0.0f;
    resolved.lineHeight = kDebugFontCell;
}

TrueText_Advance TrueText_DebugFont::GetAdvance(uint32_t character) {
    const float advance = character <= 255 ? static_cast<float>(WidthOf(static_cast<unsigned char>(character))) : 0.0f;
    return {advance, static_cast<float>(kDebugFontCell)};
}

TrueText_Glyph TrueText_DebugFont::RenderGlyph(uint32_t character, Surface* out, float) {
    TrueText_Glyph glyph;
    if (character > 255 || !out) return glyph;
    const auto code = static_cast<unsigned char>(character);
    const int w = WidthOf(code);
    glyph.width = w;
    glyph.height = kDebugFontCell;
    glyph.advance = static_cast<float>(w);
    std::vector<uint8_t>& coverage = g_debugFont.coverage;
    if (coverage.size() < static_cast<std::size_t>(w) * kDebugFontCell) coverage.resize(static_cast<std::size_t>(w) * kDebugFontCell);
    const int cellX = kDebugFontCell * (code % 16), cellY = kDebugFontCell * (code / 16);
    for (int y = 0; y < kDebugFontCell; ++y) {
        const uint8_t* source = kDebugFontImage + (cellY + kDebugFontCell - 1 - y) * kImageSize + cellX;
        std::copy(source, source + w, coverage.begin() + static_cast<std::ptrdiff_t>(y) * w);
    }
    CreateFromAlpha(*out, w, kDebugFontCell, coverage.data());
    return glyph;
}

void DebugFont_Init() {
    if (g_debugFont.texture) return;
    g_debugFont.texture = CreateBlankTexture(kImageSize, kImageSize, 0, 0, true, false, false, false, false);
    if (!g_debugFont.texture) return;
    UpdateTexture(0, 0, g_debugFont.texture, kImageSize, kImageSize, kDebugFontImage, kUploadAlpha);
    if (g_debugFont.indices.empty()) BuildIndices(g_debugFont.indices);
}

void DebugFont_DrawText(float x, float y, std::string_view text, uint32_t color) {
    DebugFont_Init();
    if (!g_debugFont.texture || text.empty()) return;
    FlushBatch(kAllBatchSlots);
    SetBlendMode(kBlendAlpha);
    float penX = x;
    const float top = y - 4.0f;
    while (!text.empty()) {
        const std::string_view chunk = text.substr(0, kDebugFontQuads);
        text.remove_prefix(chunk.size());
        const int quads = static_cast<int>(chunk.size());
        RenderVertex* vertices = LockVertices(4 * quads);
        if (!vertices) return;
        penX = FillQuads(vertices, penX, top, chunk, color);
        BindTexture(g_debugFont.texture, kAddressClamp);
        // With the half-texel shift DrawIndexed adds, every pixel samples one texel's
        // centre (the Direct3D bias above counts on it): the text stays sharp.
        DrawIndexed(g_debugFont.indices.data(), 6 * quads);
    }
}

void DebugFont_DrawShadowed(float x, float y, std::string_view text, uint32_t color, uint32_t shadow) {
    DebugFont_DrawText(x + 1.0f, y + 1.0f, text, shadow);
    DebugFont_DrawText(x, y, text, color);
}

int DebugFont_TextWidth(const char* text, std::size_t length) {
    int width = 0;
    for (std::size_t i = 0; text && i < length; ++i) width += WidthOf(static_cast<unsigned char>(text[i]));
    return width;
}

void DebugFont_Release() {
    if (!g_debugFont.texture) return;
    g_debugFont.texture->refCount -= 1;
    g_debugFont.texture = nullptr;
}

Texture* DebugFont_Texture() {
    return g_debugFont.texture;
}
