#include "graphics/render_gl.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/log.h"
#include "graphics/fbo_render_buffer.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "graphics/texture.h"
#include "platform/gl/gl_api.h"
#include "platform/gl/gl_context.h"

namespace {

// States that target switches re-apply: the front face follows where drawing goes.
struct BackEnd {
    std::unique_ptr<GLContext> context;
    Texture* renderTexture = nullptr;
    int cullMode = kCullNone;
    bool depthTest = false;
    gl::Boolean colorMask[4] = {1, 1, 1, 1};
    std::vector<uint8_t> expanded;  // alpha uploads widened to RGBA, kept between calls
};

BackEnd g_backEnd;

gl::Int Param(gl::Enum value) {
    return static_cast<gl::Int>(value);
}

gl::Enum AddressMode(int mode) {
    switch (mode) {
        case kAddressClamp: return gl::CLAMP_TO_EDGE;
        case kAddressMirror: return gl::MIRRORED_REPEAT;
        case kAddressBorder: return gl::CLAMP_TO_BORDER;
        default: return gl::REPEAT;
    }
}

void SetLinearFilters() {
    g_gl.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_MIN_FILTER, Param(gl::LINEAR));
    g_gl.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_MAG_FILTER, Param(gl::LINEAR));
}

uint32_t NewTexture() {
    gl::Uint name = 0;
    g_gl.GenTextures(1, &name);
    g_gl.BindTexture(gl::TEXTURE_2D, name);
    SetLinearFilters();
    return name;
}

// Window y grows upward; in a target the projection is flipped as well, so the winding
// the scripts mean is reversed there.
void ApplyCullMode() {
    const GLFunctions& f = g_gl;
    const int mode = g_backEnd.cullMode;
    if (mode != kCullBack && mode != kCullFront) {
        f.Disable(gl::CULL_FACE);
        return;
    }
    const bool inTarget = g_backEnd.renderTexture != nullptr;
    f.Enable(gl::CULL_FACE);
    f.FrontFace(inTarget ? gl::CCW : gl::CW);
    f.CullFace(mode == kCullBack ? gl::BACK : gl::FRONT);
}

void ApplyDepthTest() {
    const bool on = g_backEnd.depthTest;
    on ? g_gl.Enable(gl::DEPTH_TEST) : g_gl.Disable(gl::DEPTH_TEST);
    g_gl.DepthMask(on);
}

// Viewport, projection and model-view for the window or the active target; the scripts'
// cull and depth states stay as they were set.
void SetView(const FBORenderBuffer* buffer) {
    const GLFunctions& f = g_gl;
    const int width = buffer ? buffer->width : g_renderer.windowWidth;
    const int height = buffer ? buffer->height : g_renderer.windowHeight;
    buffer ? buffer->Bind() : FBORenderBuffer::Unbind();
    f.Viewport(0, 0, width, height);
    SetProjection(buffer != nullptr, width, height);
    f.MatrixMode(gl::MODELVIEW);
    f.LoadIdentity();
    f.Enable(gl::TEXTURE_2D);
    ApplyCullMode();
    ApplyDepthTest();
}

// Masks do not apply to clears on the other back end: everything is cleared here too.
void ClearAll(float red, float green, float blue, float alpha, bool depth) {
    const GLFunctions& f = g_gl;
    const gl::Boolean* mask = g_backEnd.colorMask;
    f.ColorMask(1, 1, 1, 1);
    f.DepthMask(1);
    f.ClearColor(red, green, blue, alpha);
    f.ClearDepth(g_renderer.clearDepth);
    f.Clear(gl::COLOR_BUFFER_BIT | (depth ? gl::DEPTH_BUFFER_BIT : 0));
    f.ColorMask(mask[0], mask[1], mask[2], mask[3]);
    f.DepthMask(g_backEnd.depthTest);
}

const char* Text(const unsigned char* text) {
    return text ? reinterpret_cast<const char*>(text) : "";
}

void SetFixedStates() {
    const GLFunctions& f = g_gl;
    // Rows of any byte width are packed tightly in every upload.
    f.PixelStorei(gl::UNPACK_ALIGNMENT, 1);
    f.DepthFunc(gl::LEQUAL);
    f.Enable(gl::BLEND);
    f.BlendFunc(gl::SRC_ALPHA, gl::ONE_MINUS_SRC_ALPHA);
    f.EnableClientState(gl::VERTEX_ARRAY);
    f.EnableClientState(gl::TEXTURE_COORD_ARRAY);
    f.EnableClientState(gl::COLOR_ARRAY);
    g_backEnd.cullMode = kCullNone;
    g_backEnd.depthTest = false;
    std::fill(std::begin(g_backEnd.colorMask), std::end(g_backEnd.colorMask), gl::Boolean{1});
}

}  // namespace

void GL_LogPendingError(const char* label, const char* file, int line) {
    if (!g_backEnd.context) return;
    const gl::Enum error = g_gl.GetError();
    if (error != gl::NO_ERROR)
        LogPrintf("[%s : %d] GL ERROR {%u}: %s", file, line, error, label);
}

#define GL_CHECK(label) GL_LogPendingError(label, __FILE__, __LINE__)

bool GL_Init(SDL_Window* window) {
    g_backEnd.context = std::make_unique<GLContext>(window);
    switch (g_backEnd.context->error()) {
        case GLContextError::NoContext:
            LogPrintf("SDL: %s", GLPlatformError());
            GL_Close();
            VELK_ERROR("OpenGL error: Can't Create A GL Rendering Context.");
        case GLContextError::NotCurrent:
            LogPrintf("SDL: %s", GLPlatformError());
            GL_Close();
            VELK_ERROR("OpenGL error: Can't Create A GL Device Context.");
        case GLContextError::None: break;
    }
    if (!LoadGLCoreFunctions()) {
        GL_Close();
        VELK_ERROR("OpenGL error: Can't Create A GL Rendering Context.");
    }
    GL_LoadExtensions();
    LogPrintf("OpenGL: %s, %s, %s", Text(g_gl.GetString(gl::VENDOR)), Text(g_gl.GetString(gl::RENDERER)),
              Text(g_gl.GetString(gl::VERSION)));
    // No vertical sync; a driver that refuses to change it just keeps its own.
    if (!SetGLSwapInterval(0)) LogPrintf("OpenGL: the swap interval stays the driver's");
    SetFixedStates();
    GL_ResetView();
    g_renderer.sceneBegun = false;
    return true;
}

void GL_Close() {
    g_backEnd.renderTexture = nullptr;
    g_backEnd.context.reset();
}

bool GL_Present() {
    if (!g_backEnd.context) return false;
    SwapGLWindow(g_backEnd.context->window());
    return true;
}

void GL_ResetView() {
    SetView(nullptr);
    CreateVertexBuffer();
}

void GL_Clear() {
    ClearAll(0.0f, 0.0f, 0.0f, 1.0f, true);
    g_gl.MatrixMode(gl::MODELVIEW);
    g_gl.LoadIdentity();
}

void GL_SetProjectionMatrix(const float matrix[16]) {
    if (!g_backEnd.context) return;
    // Row by row with row vectors is column by column with column vectors: loaded as it is.
    g_gl.MatrixMode(gl::PROJECTION);
    g_gl.LoadMatrixf(matrix);
    g_gl.MatrixMode(gl::MODELVIEW);
}

unsigned GL_BlendFactor(int code) {
    static constexpr gl::Enum kFactors[] = {gl::ZERO,      gl::ONE,
                                            gl::SRC_COLOR, gl::ONE_MINUS_SRC_COLOR,
                                            gl::SRC_ALPHA, gl::ONE_MINUS_SRC_ALPHA,
                                            gl::DST_ALPHA, gl::ONE_MINUS_DST_ALPHA,
                                            gl::DST_COLOR, gl::ONE_MINUS_DST_COLOR};
    return code >= 1 && code <= 10 ? kFactors[code - 1] : gl::ONE;
}

void GL_SetBlendState(int src, int dst, bool enabled, int equation) {
    if (!g_backEnd.context) return;
    enabled ? g_gl.Enable(gl::BLEND) : g_gl.Disable(gl::BLEND);
    g_gl.BlendFunc(GL_BlendFactor(src), GL_BlendFactor(dst));
    GL_SetBlendEquation(equation);
}

void GL_SetBlendEquation(int code) {
    static constexpr gl::Enum kEquations[] = {gl::FUNC_ADD, gl::FUNC_SUBTRACT, gl::FUNC_REVERSE_SUBTRACT, gl::MIN,
                                              gl::MAX};
    if (!g_gl.BlendEquation || code < kBlendOpAdd || code > kBlendOpMax) return;
    g_gl.BlendEquation(kEquations[code - kBlendOpAdd]);
}

void GL_SetColorMask(bool red, bool green, bool blue, bool alpha) {
    gl::Boolean* mask = g_backEnd.colorMask;
    mask[0] = red, mask[1] = green, mask[2] = blue, mask[3] = alpha;
    if (g_backEnd.context) g_gl.ColorMask(red, green, blue, alpha);
}

void GL_SetAlphaTest(int func, int reference) {
    if (!g_backEnd.context) return;
    if (func == kCompareAlways) {
        g_gl.Disable(gl::ALPHA_TEST);
        return;
    }
    g_gl.Enable(gl::ALPHA_TEST);
    g_gl.AlphaFunc(gl::NEVER + static_cast<gl::Enum>(func), static_cast<float>(reference) / 255.0f);
}

void GL_SetDepthTest(bool on) {
    g_backEnd.depthTest = on;
    if (g_backEnd.context) ApplyDepthTest();
}

void GL_SetCullMode(int code) {
    g_backEnd.cullMode = code;
    if (g_backEnd.context) ApplyCullMode();
}

uint32_t GL_CreateBlankTexture(int width, int height, bool alpha, bool renderTarget, bool fullColour) {
    if (!g_backEnd.context) return 0;
    const bool bits16 = g_renderer.tex16bit && !renderTarget && !fullColour;
    const gl::Enum internal = bits16 ? (alpha ? gl::RGBA4 : gl::RGB5) : (alpha ? gl::RGBA : gl::RGB);
    const gl::Enum format = alpha ? gl::RGBA : gl::RGB;
    const gl::Enum type = bits16 ? (alpha ? gl::UNSIGNED_SHORT_4_4_4_4 : gl::UNSIGNED_SHORT_5_6_5) : gl::UNSIGNED_BYTE;
    LogPrintf("GL_CreateBlankTexture: %d x %d (internal %u format %u type %u)", width, height, internal, format,
              type);
    const uint32_t name = NewTexture();
    g_gl.TexImage2D(gl::TEXTURE_2D, 0, Param(internal), width, height, 0, format, type, nullptr);
    GL_CHECK("GL_CreateBlankTexture");
    return name;
}

int GL_MaxTextureSide() {
    if (!g_backEnd.context) return 0;
    gl::Int side = 0;
    g_gl.GetIntegerv(gl::MAX_TEXTURE_SIZE, &side);
    return side;
}

uint32_t GL_CreateTextureFromSurface(const Surface& surface) {
    if (!g_backEnd.context || surface.width <= 0 || surface.height <= 0) return 0;
    const bool alpha = surface.hasAlpha;
    const bool bits16 = g_renderer.tex16bit;
    const gl::Enum internal = bits16 ? (alpha ? gl::RGBA4 : gl::RGB5) : (alpha ? gl::RGBA : gl::RGB);
    const gl::Enum format = alpha ? gl::RGBA : gl::RGB;
    const gl::Enum type = bits16 ? (alpha ? gl::UNSIGNED_SHORT_4_4_4_4 : gl::UNSIGNED_SHORT_5_6_5) : gl::UNSIGNED_BYTE;
    // The surface's own bytes are R, G, B, A: only the other layouts are converted.
    std::vector<uint8_t> converted;
    if (bits16 || !alpha)
        converted = ConvertSurfacePixels(bits16 ? (alpha ? kPixelsR4G4B4A4 : kPixelsR5G6B5) : kPixelsRGB, surface);
    const void* pixels = converted.empty() ? static_cast<const void*>(surface.pixels) : converted.data();
    const uint32_t name = NewTexture();
    g_gl.TexImage2D(gl::TEXTURE_2D, 0, Param(internal), surface.width, surface.height, 0, format, type, pixels);
    GL_CHECK("GL_CreateTextureFromSurface");
    return name;
}

void GL_UpdateTexture(const void* pixels, const Texture& texture, int x, int y, int width, int height, int kind) {
    const bool fits = x >= 0 && y >= 0 && width > 0 && height > 0 && static_cast<int64_t>(x) + width <= texture.width &&
                      static_cast<int64_t>(y) + height <= texture.height;
    if (!g_backEnd.context || !texture.glTexture || !pixels || !fits || kind < kUploadRGB || kind > kUploadAlpha) {
        VELK_WARNING("UpdateTexture: %dx%d at (%d, %d) of kind %d does not fit the texture", width, height, x, y,
                     kind);
        return;
    }
    GL_CHECK("GL_UpdateTexture PRE");
    g_gl.BindTexture(gl::TEXTURE_2D, texture.glTexture);
    if (kind == kUploadAlpha) {
        const auto* alpha = static_cast<const uint8_t*>(pixels);
        std::vector<uint8_t>& rgba = g_backEnd.expanded;
        rgba.resize(static_cast<std::size_t>(width) * height * 4);
        for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
            rgba[i * 4] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = 255;
            rgba[i * 4 + 3] = alpha[i];
        }
        pixels = rgba.data();
    }
    const gl::Enum format = kind == kUploadRGB ? gl::RGB : gl::RGBA;
    g_gl.TexSubImage2D(gl::TEXTURE_2D, 0, x, y, width, height, format, gl::UNSIGNED_BYTE, pixels);
    GL_CHECK("GL_UpdateTexture POST");
}

void GL_DeleteTexture(uint32_t texture) {
    if (g_backEnd.context && texture) g_gl.DeleteTextures(1, &texture);
}

std::unique_ptr<FBORenderBuffer> GL_CreateRenderTarget(int width, int height, bool withDepth, uint32_t texture) {
    if (!g_backEnd.context) return nullptr;
    if (!GLHasFramebufferObjects()) {
        VELK_WARNING("GL_CreateRenderTarget: no GL_EXT_framebuffer_object, the render target is refused");
        return nullptr;
    }
    auto buffer = std::make_unique<FBORenderBuffer>();
    const bool made = buffer->Create(width, height, withDepth, texture);
    // Creating leaves the window's framebuffer bound: a target being drawn into stays bound.
    if (g_backEnd.renderTexture && g_backEnd.renderTexture->glRenderTarget)
        g_backEnd.renderTexture->glRenderTarget->Bind();
    GL_CHECK("GL_CreateRenderTarget");
    return made ? std::move(buffer) : nullptr;
}

bool GL_BeginRenderToTexture(Texture* texture, uint32_t clearColourARGB) {
    if (!g_backEnd.context || !texture || !texture->glRenderTarget) return false;
    g_backEnd.renderTexture = texture;
    SetView(texture->glRenderTarget.get());
    const auto channel = [clearColourARGB](int shift) {
        return static_cast<float>(clearColourARGB >> shift & 0xFFu) / 255.0f;
    };
    ClearAll(channel(16), channel(8), channel(0), channel(24), texture->hasDepth);
    return true;
}

void GL_EndRenderToTexture() {
    g_backEnd.renderTexture = nullptr;
    if (g_backEnd.context) SetView(nullptr);
}

void GL_BindTexture(uint32_t texture, int mode) {
    if (!g_backEnd.context) return;
    g_gl.BindTexture(gl::TEXTURE_2D, texture);
    if (!texture) return;
    const gl::Int wrap = Param(AddressMode(mode));
    g_gl.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_WRAP_S, wrap);
    g_gl.TexParameteri(gl::TEXTURE_2D, gl::TEXTURE_WRAP_T, wrap);
}

void GL_DrawIndexed(const RenderVertex* vertices, const uint16_t* indices, int indexCount) {
    if (!g_backEnd.context) return;
    const GLFunctions& f = g_gl;
    GL_CHECK("DIT #1");
    constexpr gl::Sizei kStride = sizeof(RenderVertex);
    f.VertexPointer(3, gl::FLOAT, kStride, &vertices->x);
    f.TexCoordPointer(2, gl::FLOAT, kStride, &vertices->u);
    f.ColorPointer(4, gl::UNSIGNED_BYTE, kStride, &vertices->color);
    GL_CHECK("DIT #2");
    f.DrawElements(gl::TRIANGLES, indexCount, gl::UNSIGNED_SHORT, indices);
    GL_CHECK("DIT #3");
}

bool GL_ReadBackBuffer(int left, int top, int right, int bottom, Surface& capture) {
    if (!g_backEnd.context) return false;
    left = std::clamp(left, 0, g_renderer.windowWidth);
    right = std::clamp(right, left, g_renderer.windowWidth);
    top = std::clamp(top, 0, g_renderer.windowHeight);
    bottom = std::clamp(bottom, top, g_renderer.windowHeight);
    capture.Create(right - left, bottom - top, true);
    if (capture.PixelCount() == 0) return true;
    // The window's picture, even while a target is being drawn into.
    const FBORenderBuffer* target = g_backEnd.renderTexture ? g_backEnd.renderTexture->glRenderTarget.get() : nullptr;
    if (target) FBORenderBuffer::Unbind();
    // Rows come bottom-up, as the picture file stores them.
    g_gl.ReadPixels(left, g_renderer.windowHeight - bottom, capture.width, capture.height, gl::BGRA,
                    gl::UNSIGNED_BYTE, capture.pixels);
    if (target) target->Bind();
    GL_CHECK("GL_ReadBackBuffer");
    return true;
}
