#include "scene_drawing.h"

#include "graphics/render.h"
#include "graphics/render_target.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"

namespace {

const float kRed[3] = {1, 0, 0};
const float kGreen[3] = {0, 1, 0};
const float kBlue[3] = {0, 0, 1};
const float kWhite[3] = {1, 1, 1};

void Box(float x, float y, float w, float h, const float rgb[3], float alpha = 1.0f, float angle = 0.0f) {
    DrawTexturedQuad(x, y, 0, w, h, 0, 0, 0, 0, nullptr, angle, alpha, 1, 1, rgb, 0, 0, 0, 0, 0, 0);
}

void TexturedBox(Texture* t, float x, float y, float w, float h, float u1 = 1, float v1 = 1) {
    DrawTexturedQuad(x, y, 0, w, h, 0, 0, u1, v1, t, 0, 1, 1, 1, nullptr, 0, 0, 0, 0, 0, 0);
}

void CullRows() {
    const int modes[3] = {kCullBack, kCullFront, kCullNone};
    for (int row = 0; row < 3; ++row) {
        SetCullMode(modes[row]);
        WindingSquare(4, 4 + 16.0f * row, false);
        WindingSquare(20, 4 + 16.0f * row, true);
    }
    SetCullMode(kCullNone);
}

Texture* RenderTarget(int width, int height) {
    return CreateBlankTexture(width, height, 0, 0, true, false, true, false, true);
}

}  // namespace

void WindingSquare(float x, float y, bool reversed) {
    const RenderVertex v[4] = {{x, y, 0, 0xFFFFFFFF, 0, 0}, {x + 8, y, 0, 0xFFFFFFFF, 0, 0},
                               {x + 8, y + 8, 0, 0xFFFFFFFF, 0, 0}, {x, y + 8, 0, 0xFFFFFFFF, 0, 0}};
    const uint16_t backwards[6] = {0, 2, 1, 0, 3, 2};
    DrawTriangles(v, 4, reversed ? backwards : kQuadIndices, 6, nullptr, kAddressClamp, nullptr);
}

Texture* TexelTexture(int width, int height, const std::vector<uint32_t>& texels) {
    Texture* t = CreateBlankTexture(width, height, 0, 0, true, false, false, false, true);
    if (!t) return nullptr;
    std::vector<uint8_t> bytes;
    for (const uint32_t c : texels) {
        const uint8_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF, a = c >> 24;
        if (g_renderer.opengl)
            bytes.insert(bytes.end(), {r, g, b, a});
        else
            bytes.insert(bytes.end(), {b, g, r, a});
    }
    UpdateTexture(0, 0, t, width, height, bytes.data(), 1);
    return t;
}

void DrawBoxes() {
    Box(10, 10, 20, 10, kRed);
    Box(40, 10, 20, 30, kGreen);
    Box(70, 20, 30, 30, kBlue);
    Box(50, 30, 40, 40, kWhite, 0.5f);
    const float tint[3] = {0.2f, 0.6f, 0.8f};
    Box(0, 100, 160, 20, tint);
}

void DrawSpriteOneToOne() {
    std::vector<uint32_t> texels(64);
    for (int i = 0; i < 64; ++i)
        texels[i] = 0xFF000000u | static_cast<uint32_t>(i * 4) << 16 | static_cast<uint32_t>(255 - i * 3) << 8 | (i * 37 & 255);
    Texture* t = TexelTexture(8, 8, texels);
    if (!t) return;
    TexturedBox(t, 40, 30, 8, 8);
    // Half-transparent texels over a box.
    Box(4, 4, 16, 16, kBlue);
    for (uint32_t& c : texels) c = (c & 0xFFFFFFu) | 0x80000000u;
    Texture* half = TexelTexture(8, 8, texels);
    if (half) TexturedBox(half, 8, 8, 8, 8);
}

void DrawLetterboxed() {
    Box(0, 0, 256, 192, kWhite);
    Box(0, 0, 128, 96, kRed);
    Box(128, 96, 128, 96, kGreen);
}

void DrawRotated() {
    DrawTexturedQuad(100, 50, 0, 40, 10, 0, 0, 0, 0, nullptr, 90, 1, 1, 1, kRed, 0, 0, 0, 0, 0, 0);
    DrawTexturedQuad(40, 60, 0, 40, 20, 0, 0, 0, 0, nullptr, 30, 1, 1, 1, kGreen, 20, 10, 0, 0, 0, 0);
    DrawTexturedQuad(120, 90, 0, 20, 20, 0, 0, 0, 0, nullptr, -45, 1, 1.5f, 0.5f, kBlue, 10, 10, 0, 0, 0, 0);
}

void DrawBlendModes() {
    const float background[3] = {0.4f, 0.2f, 0.8f};
    const float source[3] = {0.2f, 0.6f, 0.4f};
    for (int mode = kBlendNone; mode <= kBlendMax; ++mode) {
        SetBlendMode(kBlendAlpha);
        Box(16.0f * mode, 0, 16, 32, background);
        SetBlendMode(mode);
        Box(16.0f * mode, 8, 16, 16, source, 0.5f);
    }
    SetBlendFunc(ParseBlendFactor("DESTCOLOR"), ParseBlendFactor("ZERO"));
    Box(80, 0, 16, 32, background);
    SetBlendFunc(ParseBlendFactor("no such factor"), ParseBlendFactor("ONE"));
    Box(80, 8, 16, 16, source);
}

void DrawAlphaTest() {
    SetBlendMode(kBlendNone);
    SetAlphaTest(ParseCompareFunc("GREATEREQUAL"), 128);
    Box(0, 0, 8, 8, kWhite, 128.0f / 255.0f);
    Box(8, 0, 8, 8, kWhite, 127.0f / 255.0f);
    SetAlphaTest(ParseCompareFunc("LESS"), 100);
    Box(16, 0, 8, 8, kWhite, 99.0f / 255.0f);
    Box(24, 0, 8, 8, kWhite, 100.0f / 255.0f);
    SetAlphaTest(ParseCompareFunc("ALWAYS"), 0);
    Box(32, 0, 8, 8, kWhite, 1.0f / 255.0f);
}

void DrawCullSquares() {
    CullRows();
}

void DrawCullInTarget() {
    Texture* target = RenderTarget(64, 64);
    if (!target) return;
    // The cull mode set before the switch holds inside the target too.
    SetCullMode(kCullBack);
    if (!BeginRenderToTexture(target, 0xFF000040u)) return;
    WindingSquare(36, 4, false);
    WindingSquare(52, 4, true);
    CullRows();
    EndRenderToTexture();
    DrawSprite(target, "main", 0, 0, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
}

void DrawTargetOrientation() {
    Texture* target = RenderTarget(40, 30);
    if (!target || !BeginRenderToTexture(target, 0xFF202020u)) return;
    Box(0, 0, 10, 5, kRed);
    Box(30, 25, 10, 5, kGreen);
    Box(2, 20, 4, 8, kBlue);
    EndRenderToTexture();
    DrawSprite(target, "main", 4, 4, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    DrawSprite(target, "main", 50, 40, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
}

// Texels mapped one to one: the two back ends sample magnified textures half a pixel apart.
void DrawClampAndWrap() {
    Texture* t = TexelTexture(4, 1, {0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u, 0xFFFFFFFFu});
    if (!t) return;
    SetBlendMode(kBlendNone);
    TexturedBox(t, 0, 0, 4, 4);
    DrawTexturedQuad(8, 0, 0, 4, 4, 0.5f, 0, 1.5f, 1, t, 0, 1, 1, 1, nullptr, 0, 0, 0, 0, 0, 0);
    DrawTexturedQuad(16, 0, 0, 4, 4, 0, 0, 1, 1, t, 0, 1, 1, 1, nullptr, 0, 0, 0.25f, 0, 0, 0);
}

void DrawUploads() {
    // Three RGB pixels a row: nine bytes, a row width that is no multiple of four.
    Texture* rgb = CreateBlankTexture(3, 3, 0, 0, true, false, false, false, true);
    if (rgb) {
        const uint8_t pixels[27] = {255, 0, 0,   0, 255, 0,   0, 0, 255,  255, 255, 0, 0, 255, 255, 255, 0, 255,
                                    128, 0, 0,   0, 128, 0,   0, 0, 128};
        UpdateTexture(0, 0, rgb, 3, 3, pixels, 0);
        DrawSprite(rgb, "main", 2, 2, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    }
    Texture* alpha = CreateBlankTexture(4, 2, 0, 0, true, false, false, false, true);
    if (alpha) {
        const uint8_t coverage[8] = {255, 128, 0, 255, 0, 64, 255, 255};
        UpdateTexture(0, 0, alpha, 4, 2, coverage, 2);
        const float tint[3] = {1, 0.5f, 0};
        DrawSprite(alpha, "main", 10, 2, 0, 0, 1, 1, 1, tint, 0, 0, 0, 0);
    }
}

void DrawTilted() {
    DrawTexturedQuad(64, 48, 0, 60, 40, 0, 0, 0, 0, nullptr, 0, 1, 1, 1, kRed, 30, 20, 0, 0, 0, 40);
    DrawTexturedQuad(30, 30, 20, 20, 20, 0, 0, 0, 0, nullptr, 0, 1, 1, 1, kGreen, 10, 10, 0, 0, 30, 0);
}
