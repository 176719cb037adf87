#include "graphics/render.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "core/config.h"
#include "core/input.h"
#include "core/log.h"
#include "core/profile.h"
#include "graphics/render_d3d.h"
#include "graphics/render_gl.h"
#include "graphics/sprite_batch.h"

RendererState g_renderer;

namespace {

bool g_deviceLostFlag = false;

bool SameWord(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// Position in the table (plus `base`) of the word, matched without regard to case.
template <std::size_t N>
int WordCode(const char* word, const std::array<const char*, N>& words, int base, int missing) {
    if (!word) return missing;
    for (std::size_t i = 0; i < N; ++i)
        if (SameWord(word, words[i])) return static_cast<int>(i) + base;
    return missing;
}

constexpr std::array<const char*, 10> kBlendFactorWords = {
    "ZERO", "ONE", "SRCCOLOR", "INVSRCCOLOR", "SRCALPHA", "INVSRCALPHA",
    "DESTALPHA", "INVDESTALPHA", "DESTCOLOR", "INVDESTCOLOR"};
constexpr std::array<const char*, 8> kCompareWords = {
    "NEVER", "LESS", "EQUAL", "LESSEQUAL", "GREATER", "NOTEQUAL", "GREATEREQUAL", "ALWAYS"};
constexpr std::array<const char*, 3> kCullWords = {"NONE", "BACK", "FRONT"};

// The factor codes are Direct3D's blend values.
BlendState BlendStateFor(int mode) {
    switch (mode) {
        case kBlendAlpha: return {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, true, kBlendOpAdd};
        case kBlendAdd: return {D3DBLEND_SRCALPHA, D3DBLEND_ONE, true, kBlendOpAdd};
        case kBlendSum: return {D3DBLEND_ONE, D3DBLEND_ONE, true, kBlendOpAdd};
        case kBlendMax: return {D3DBLEND_ONE, D3DBLEND_ONE, true, kBlendOpMax};
        default: return {D3DBLEND_ONE, D3DBLEND_ZERO, mode != kBlendNone, kBlendOpAdd};
    }
}

bool IsBlendFactor(int code) {
    return code >= static_cast<int>(D3DBLEND_ZERO) && code <= static_cast<int>(D3DBLEND_INVDESTCOLOR);
}

void SetState(D3DRENDERSTATETYPE state, DWORD value) {
    if (IDirect3DDevice9* device = D3D_Device()) device->SetRenderState(state, value);
}

void ApplyBlendState() {
    const BlendState& b = g_renderer.blend;
    if (g_renderer.opengl) {
        GL_SetBlendState(b.src, b.dst, b.enabled, b.equation);
        return;
    }
    SetState(D3DRS_SRCBLEND, static_cast<DWORD>(b.src));
    SetState(D3DRS_DESTBLEND, static_cast<DWORD>(b.dst));
    SetState(D3DRS_ALPHABLENDENABLE, b.enabled);
    SetState(D3DRS_BLENDOP, static_cast<DWORD>(b.equation));
}

}  // namespace

void InitRenderGlobals() {
    g_renderer = RendererState{};
    g_deviceLostFlag = false;
}

void ApplyRenderConfig() {
    g_renderer.opengl = g_config.opengl;
    g_renderer.virtualWidth = g_config.width;
    g_renderer.virtualHeight = g_config.height;
    g_renderer.configWindowWidth = g_config.window_width;
    g_renderer.configWindowHeight = g_config.window_height;
    g_renderer.fullScreen = g_config.full_screen;
    g_renderer.bit16 = g_config.bit16;
    g_renderer.tex16bit = g_config.tex_16bit;
    g_renderer.texForceDxt = g_config.tex_force_dxt;
    g_renderer.texForcePowerOf2 = g_config.tex_force_power_of_2;
    g_renderer.zbuffer = g_config.zbuffer;
    g_renderer.vsync = g_config.vsync;
}

void InitRenderer(SDL_Window* window) {
    ProfileStart("renderer_init");
    LogPrintf("InitRenderer - width=%d height=%d fullScreen=%s", g_renderer.windowWidth,
              g_renderer.windowHeight, g_renderer.fullScreen ? "true" : "false");
    // A new device or context starts from the fixed states.
    g_renderer.blend = BlendState{};
    if (g_renderer.opengl) {
        LogPrintf("Init Renderer - OpenGL");
        if (!GL_Init(window)) VELK_ERROR("Cannot initialize OpenGL");
    } else {
        LogPrintf("Init Renderer - Direct3D");
        if (!D3D_Init(window)) VELK_ERROR("Cannot initialize Direct3D");
    }
    UpdateViewportScale();
    g_renderer.statistics = DrawStatistics{};
    ProfileStop("renderer_init");
}

void CloseRenderer() {
    if (!g_renderer.opengl) {
        D3D_Close();
        return;
    }
    GL_Close();
    FreeVertexBuffer();
}

void UpdateViewportScale() {
    RendererState& r = g_renderer;
    if (!r.aspectCorrection) {
        r.scaleX = r.scaleY = 1.0f;
        r.offsetX = r.offsetY = 0.0f;
        r.workWidth = r.windowWidth;
        r.workHeight = r.windowHeight;
    } else {
        // Scripts set the virtual size: an empty one would divide by zero.
        r.virtualWidth = std::max(r.virtualWidth, 1);
        r.virtualHeight = std::max(r.virtualHeight, 1);
        r.workWidth = r.virtualWidth;
        r.workHeight = r.virtualHeight;
        const float sx = static_cast<float>(r.windowWidth) / static_cast<float>(r.virtualWidth);
        const float sy = static_cast<float>(r.windowHeight) / static_cast<float>(r.virtualHeight);
        const float s = sy < sx ? sy : sx;
        r.scaleX = r.scaleY = s;
        r.offsetX = static_cast<float>((r.windowWidth - static_cast<int>(static_cast<float>(r.virtualWidth) * s)) / 2);
        r.offsetY =
            static_cast<float>((r.windowHeight - static_cast<int>(static_cast<float>(r.virtualHeight) * s)) / 2);
    }
    // Window input is turned into virtual coordinates with the same mapping.
    g_input.viewport = {r.scaleX, r.scaleY, r.offsetX, r.offsetY, static_cast<float>(r.workWidth),
                        static_cast<float>(r.workHeight)};
}

void MatrixPerspectiveOffCenter(float out[16], float left, float right, float bottom, float top, float zn, float zf) {
    std::memset(out, 0, 16 * sizeof(float));
    out[0] = 2.0f * zn / (right - left);
    out[5] = 2.0f * zn / (top - bottom);
    out[8] = (left + right) / (left - right);
    out[9] = (top + bottom) / (bottom - top);
    out[10] = zf / (zf - zn);
    out[11] = 1.0f;
    out[14] = zn * zf / (zn - zf);
}

void SetProjection(bool forRenderTarget, int width, int height) {
    RendererState& r = g_renderer;
    r.viewWidth = static_cast<float>(width);
    r.viewHeight = static_cast<float>(height);
    r.viewOffsetX = -r.viewWidth / 2.0f;
    r.viewOffsetY = -r.viewHeight / 2.0f;
    const float k = r.nearPlane / r.cameraDistance;
    const float hx = k * r.viewWidth / 2.0f;
    const float hy = k * r.viewHeight / 2.0f;
    // y grows downward on screen; only OpenGL render targets are stored the other way up.
    const bool flipped = r.opengl && forRenderTarget;
    float matrix[16];
    MatrixPerspectiveOffCenter(matrix, -hx, hx, flipped ? -hy : hy, flipped ? hy : -hy, r.nearPlane, r.farPlane);
    g_renderer.opengl ? GL_SetProjectionMatrix(matrix) : D3D_SetProjectionMatrix(matrix);
}

void SetDefaultProjection() {
    SetProjection(false, g_renderer.windowWidth, g_renderer.windowHeight);
}

bool BeginScene() {
    if (g_renderer.sceneBegun) return true;
    SetDefaultProjection();
    SelectCurrentBatchSlot(0);
    if (!g_renderer.opengl) {
        IDirect3DDevice9* device = D3D_Device();
        if (!device || FAILED(device->TestCooperativeLevel()) || FAILED(device->BeginScene())) return false;
    }
    g_renderer.sceneBegun = true;
    return true;
}

bool ClearScreen() {
    if (g_renderer.opengl) {
        GL_Clear();
        return true;
    }
    IDirect3DDevice9* device = D3D_Device();
    if (!device) return false;
    const DWORD flags = D3DCLEAR_TARGET | (g_renderer.zbuffer ? D3DCLEAR_ZBUFFER : 0);
    return SUCCEEDED(device->Clear(0, nullptr, flags, 0, g_renderer.clearDepth, 0));
}

void EndScene() {
    FlushBatch(kAllBatchSlots);
    if (!g_renderer.sceneBegun) return;
    g_renderer.sceneBegun = false;
    if (g_renderer.opengl) return;
    if (IDirect3DDevice9* device = D3D_Device()) device->EndScene();
}

bool PresentFrame() {
    return g_renderer.opengl ? GL_Present() : D3D_Present();
}

bool RenderDeviceLost() {
    return g_deviceLostFlag;
}

void ClearRenderDeviceLost() {
    g_deviceLostFlag = false;
}

void MarkRenderDeviceLost() {
    g_deviceLostFlag = true;
}

void SetDefaultBlendState() {
    g_renderer.blend = BlendStateFor(kBlendAlpha);
    ApplyBlendState();
}

void ResetFrameStatistics() {
    DrawStatistics& s = g_renderer.statistics;
    s.trianglesDrawn = s.pixelsDrawn = s.drawCalls = s.imagesDrawn = s.imagesSkipped = 0;
}

void SetBlendFunc(int src, int dst) {
    FlushBatch(kAllBatchSlots);
    BlendState& b = g_renderer.blend;
    if (IsBlendFactor(src)) b.src = src;
    if (IsBlendFactor(dst)) b.dst = dst;
    if (g_renderer.opengl) {
        GL_SetBlendState(b.src, b.dst, b.enabled, b.equation);
        return;
    }
    if (IsBlendFactor(src)) SetState(D3DRS_SRCBLEND, static_cast<DWORD>(src));
    if (IsBlendFactor(dst)) SetState(D3DRS_DESTBLEND, static_cast<DWORD>(dst));
}

void SetBlendMode(int mode) {
    FlushBatch(kAllBatchSlots);
    g_renderer.blend = BlendStateFor(mode);
    ApplyBlendState();
}

void RestoreBlendState(const BlendState& state) {
    FlushBatch(kAllBatchSlots);
    g_renderer.blend = state;
    ApplyBlendState();
}

void SetColorMask(bool red, bool green, bool blue, bool alpha) {
    if (g_renderer.opengl) {
        GL_SetColorMask(red, green, blue, alpha);
        return;
    }
    SetState(D3DRS_COLORWRITEENABLE, (red ? 1u : 0u) | (green ? 2u : 0u) | (blue ? 4u : 0u) | (alpha ? 8u : 0u));
}

void SetAlphaTest(int func, int reference) {
    FlushBatch(kAllBatchSlots);
    if (g_renderer.opengl) {
        GL_SetAlphaTest(func, reference);
        return;
    }
    if (func == kCompareAlways) {
        SetState(D3DRS_ALPHATESTENABLE, false);
        return;
    }
    SetState(D3DRS_ALPHATESTENABLE, true);
    SetState(D3DRS_ALPHAFUNC, static_cast<DWORD>(func + 1));
    SetState(D3DRS_ALPHAREF, static_cast<DWORD>(reference));
}

void SetDepthTest(bool on) {
    FlushBatch(kAllBatchSlots);
    if (!g_renderer.zbuffer) return;
    if (g_renderer.opengl) {
        GL_SetDepthTest(on);
        return;
    }
    SetState(D3DRS_ZENABLE, on);
    SetState(D3DRS_ZWRITEENABLE, on);
    SetState(D3DRS_ZFUNC, on ? D3DCMP_LESSEQUAL : D3DCMP_ALWAYS);
}

void SetCullMode(int mode) {
    FlushBatch(kAllBatchSlots);
    if (g_renderer.opengl) {
        GL_SetCullMode(mode);
        return;
    }
    const DWORD cull = mode == kCullBack ? D3DCULL_CCW : mode == kCullFront ? D3DCULL_CW : D3DCULL_NONE;
    SetState(D3DRS_CULLMODE, cull);
}

int ParseBlendModeWord(const char* word, int fallback) {
    if (!word) return fallback;
    if (strncasecmp(word, "add", 3) == 0) return kBlendAdd;
    if (strcasecmp(word, "none") == 0) return kBlendNone;
    if (strcasecmp(word, "sum") == 0) return kBlendSum;
    if (strcasecmp(word, "max") == 0) return kBlendMax;
    return fallback;
}

int ParseBlendFactor(const char* word) {
    return WordCode(word, kBlendFactorWords, 1, kBlendFactorUnchanged);
}

int ParseCompareFunc(const char* word) {
    return WordCode(word, kCompareWords, 0, kCompareAlways);
}

int ParseCullMode(const char* word) {
    return WordCode(word, kCullWords, 1, kCullNone);
}

int ParseHexColor(const char* text) {
    uint32_t value = 0;
    uint32_t weight = 1;
    for (std::size_t i = std::strlen(text); i-- > 0; weight *= 16u) {
        const char c = text[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'Z') digit = std::min(static_cast<uint32_t>(c - 'A' + 10), 15u);
        else if (c >= 'a' && c <= 'z') digit = std::min(static_cast<uint32_t>(c - 'a' + 10), 15u);
        value += digit * weight;
    }
    return static_cast<int>(value);
}

uint32_t MakeColorARGB(const char* text, uint32_t rgb, float alpha) {
    const uint32_t low = text ? static_cast<uint32_t>(ParseHexColor(text)) : rgb;
    const float clamped = alpha > 0.0f ? std::min(alpha, 1.0f) : 0.0f;  // not a number: 0
    const uint32_t top = static_cast<uint32_t>(std::lround(clamped * 255.001f));
    return (top << 24) | (low & 0x00FFFFFFu);
}
