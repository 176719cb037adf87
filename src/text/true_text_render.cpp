#include "text/true_text_render.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/log.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "text/atlas.h"
#include "text/text_align.h"
#include "text/true_text.h"
#include "text/true_text_font.h"
#include "text/true_text_glyphs.h"
#include "text/true_text_layout.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;
int g_blocksRendered = 0;
constexpr uint32_t kOverlayBlock = 0x55FF0000u, kOverlayLine = 0x99FF6600u;
constexpr uint32_t kOverlayRuleTop = 0xFFFFFF00u, kOverlayRuleBase = 0xFFFF0000u, kOverlayGlyph = 0xFF0000FFu;

int Trunc(float value) {
    constexpr float kLimit = 1 << 24;
    return std::isnan(value) ? 0 : static_cast<int>(std::clamp(value, -kLimit, kLimit));
}

// Device colours (0xAARRGGBB) in the cache texture's byte order: Direct3D's B, G, R, A
// is the word itself; OpenGL reads R, G, B, A, so red and blue change places there.
uint32_t SurfaceOrder(uint32_t color) {
    if (!g_renderer.opengl) return color;
    return (color & 0xFF00FF00u) | (color >> 16 & 0xFFu) | (color & 0xFFu) << 16;
}

void DrawOverlayLine(Surface& block, int x, int y, int width, int lineHeight, int base) {
    FillRect(block, x, y, width, lineHeight, SurfaceOrder(kOverlayLine));
    FillRect(block, x, y, width, 1, SurfaceOrder(kOverlayRuleTop));
    FillRect(block, x, y + base, width, 1, SurfaceOrder(kOverlayRuleBase));
}

// Where a line starts inside the block: right wins over centre.
int LineStart(const TrueText_Style& style, int penX, float lineWidth) {
    if (style.lines.size() < 2) return penX;
    const int d = penX - 1;
    if (style.flags & kAlignRight) return penX + Trunc(style.resultWidth - 2.0f * d - lineWidth);
    if (style.flags & kAlignCenter) return penX + Trunc(static_cast<float>(Trunc(style.resultWidth - 2.0f * d - lineWidth)) / 2);
    return penX;
}

void ComposeLayer(const TrueText_Style& style, int layerIndex, Surface& block) {
    TrueText_Font& font = *style.font;
    const TrueText_Resolved& r = font.resolved;
    const TrueText_Layer& layer = font.layers[static_cast<std::size_t>(layerIndex)];
    const float layerX = TrueText_SizeToPixels(layer.x, font.size);
    const float layerY = TrueText_SizeToPixels(layer.y, font.size);
    const int border = Trunc(TrueText_SizeToPixels(layer.blur, font.size));
    int lineTop = Trunc(layerY) - Trunc(r.extent.minY + r.clipTop) + 1;
    int first = 0;
    for (const TrueText_Line& line : style.lines) {
        int penX = Trunc(layerX) - Trunc(r.extent.minX + r.clipLeft) + 1;
        penX = LineStart(style, penX, line.width);
        float pen = static_cast<float>(penX);
        if (TrueText_DebugOverlay())
            DrawOverlayLine(block, penX, lineTop, Trunc(line.width), Trunc(r.lineHeight), Trunc(r.lineHeight + r.descender));
        // Kerning is the layout's, by pair, so it never reaches across lines or layers,
        // cached glyphs kern as freshly drawn ones do, and the pen moves as the line was measured.
        pen -= TrueText_LineStartKerning(style, first, line.end);
        for (int i = first; i < line.end; ++i) {
            const TrueText_TextUnit& unit = style.units[static_cast<std::size_t>(i)];
            if (unit.hidden) continue;
            const TrueText_CachedGlyph glyph = TrueText_GetGlyph(style, layerIndex, unit.code, border);
            pen += unit.kerning;
            if (glyph.metrics.width != 0 && glyph.pixels) {
                const int gx = Trunc(pen + glyph.metrics.left) - border;
                const int gy = Trunc(static_cast<float>(lineTop + glyph.metrics.top)) - border;
                if (TrueText_DebugOverlay())
                    FillRect(block, gx, gy, glyph.pixels->width, glyph.pixels->height, SurfaceOrder(kOverlayGlyph));
                BlendSurfaceAt(*glyph.pixels, block, gx, gy, layer.alpha);
            }
            pen += glyph.metrics.advance;
            if (unit.code == u' ') pen += r.wordSpacing;
            else if (unit.code != 10 && unit.code != 13) pen += r.letterSpacing;
        }
        lineTop += Trunc(r.lineHeight + r.lineSpacing) + Trunc(line.paragraphExtra);
        first = line.end;
    }
}

void ClearFrame(Surface& block) {
    FillRect(block, 0, 0, block.width, 1, 0);
    FillRect(block, 0, block.height - 1, block.width, 1, 0);
    FillRect(block, 0, 0, 1, block.height, 0);
    FillRect(block, block.width - 1, 0, 1, block.height, 0);
}

}  // namespace

void TrueText_RenderBlock(TrueText_Style& style, AtlasRegion& region) {
    if (!style.font) return;
    ++g_blocksRendered;
    if (!style.drawingPass) LogPrintf("!!!!!!!!\n\n\n!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n\nRENDER NOSKIP!!!\n\n\n");
    Surface block;
    const std::size_t pixels = static_cast<std::size_t>(region.width) * static_cast<std::size_t>(region.height);
    block.View(TrueText_ScratchBuffer(pixels), region.width, region.height, true);
    std::fill_n(block.pixels, pixels, TrueText_DebugOverlay() ? SurfaceOrder(kOverlayBlock) : 0u);
    for (int layer = 0; layer < static_cast<int>(style.font->layers.size()); ++layer) ComposeLayer(style, layer, block);
    ClearFrame(block);
    if (region.rotated) RotateCounterClockwise(block);
    Texture* cache = TrueText_CacheTexture();
    UpdateTexture(region.x, region.y, cache, block.width, block.height, block.pixels, 1);
    const float n = static_cast<float>(TrueText_CacheSize());
    region.u0 = static_cast<float>(region.x + 1) / n;
    region.v0 = static_cast<float>(region.y + 1) / n;
    region.u1 = static_cast<float>(region.x + region.packed.width - 1) / n;
    region.v1 = static_cast<float>(region.y + region.packed.height - 1) / n;
    region.offsetX = region.offsetY = 0;
    region.drawn = true;
    region.textWidth = style.resultWidth;
    region.textHeight = style.resultHeight;
}

void TextBlockSnap(RenderVertex& vertex, int cacheSize, bool rotated) {
    const float n = static_cast<float>(cacheSize);
    const float shift = rotated && !g_renderer.opengl ? 1.0f : 0.0f;
    vertex.x = std::round(vertex.x);
    vertex.y = std::round(vertex.y);
    vertex.u = std::round(vertex.u * n) / n;
    vertex.v = std::round(vertex.v * n - shift) / n;
}

void TrueText_Render(const char* text, bool layoutCall, std::string_view fontName, float size, float x, float y,
                     float angle, float scaleX, float scaleY, float boxWidth, float boxHeight, uint32_t flags,
                     uint32_t color) {
    if (!(size >= 1) || !TrueText_Running() || !text || !*text) return;
    TrueText_Block block;
    TrueText_Layout(fontName, text, block, layoutCall, size, boxWidth, boxHeight, flags);
    if (layoutCall || block.blockWidth <= 0 || !block.cacheTexture) return;
    FlushBatch(kAllBatchSlots);
    RenderVertex* v = LockVertices(4);
    if (!v) return;
    float dx = 0, dy = 0;
    if (flags & kAlignCenter) dx = block.textWidth * 0.5f;
    if (flags & kAlignRight) dx = block.textWidth;
    if (flags & kAlignVCenter) dy = block.textHeight * 0.5f;
    if (flags & kAlignBottom) dy = block.textHeight;
    const float originX = block.offsetX - dx, originY = block.offsetY - dy;
    const float cornersX[4] = {0, block.blockWidth, block.blockWidth, 0};
    const float cornersY[4] = {0, 0, block.blockHeight, block.blockHeight};
    const float upright[4][2] = {{block.u0, block.v0}, {block.u1, block.v0}, {block.u1, block.v1}, {block.u0, block.v1}};
    const float turned[4][2] = {{block.u0, block.v1}, {block.u0, block.v0}, {block.u1, block.v0}, {block.u1, block.v1}};
    const auto& uv = block.rotated ? turned : upright;
    for (int k = 0; k < 4; ++k) {
        float px = (originX + cornersX[k]) * scaleX, py = (originY + cornersY[k]) * scaleY;
        RotatePoint(px, py, -angle * kDegreesToRadians);
        v[k] = {px + x, py + y, 0.0f, color, uv[k][0], uv[k][1]};
        TextBlockSnap(v[k], TrueText_CacheSize(), block.rotated);
    }
    BindTexture(block.cacheTexture, kAddressClamp);
    // Direct3D samples at pixel centres on integers: the half texel puts them on texel
    // centres, as for every other quad (the turned region's one-texel shift relies on it).
    ConvertLockedVertices(!g_renderer.opengl);
    FlushBatch(kAllBatchSlots);
    SetBlendMode(kBlendAlpha);
    DrawIndexed(kQuadIndices, 6);
}

int TrueText_BlocksRendered() { return g_blocksRendered; }
