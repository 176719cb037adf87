#pragma once
// The renderer front end: the one global renderer record, the letterbox, the projection,
// the frame bracket and the render-state setters. Everything runs on the main thread.
#include <climits>
#include <cstdint>

struct SDL_Window;
struct Texture;

struct DrawStatistics {
    int32_t trianglesDrawn = 0;
    int32_t pixelsDrawn = 0;
    int32_t drawCalls = 0;
    int32_t texturesAllocated = 0;
    int32_t textureBytes = 0;
    int32_t imagesDrawn = 0;
    int32_t imagesSkipped = 0;
};

enum BlendMode { kBlendNone = 0, kBlendAlpha = 1, kBlendAdd = 2, kBlendSum = 3, kBlendMax = 4 };
enum BlendEquation { kBlendOpAdd = 1, kBlendOpSubtract = 2, kBlendOpRevSubtract = 3, kBlendOpMin = 4, kBlendOpMax = 5 };
enum BlendFactorCode { kBlendFactorSrcAlpha = 5, kBlendFactorInvSrcAlpha = 6 };

// The blending the renderer set last, whatever the back end: what components save before
// they change it and restore afterwards.
struct BlendState {
    int src = kBlendFactorSrcAlpha;
    int dst = kBlendFactorInvSrcAlpha;
    bool enabled = true;
    int equation = kBlendOpAdd;
};

struct RendererState {
    bool opengl = false;
    bool sceneBegun = false;
    int virtualWidth = 1024, virtualHeight = 768;
    int windowWidth = 1024, windowHeight = 1024;
    int configWindowWidth = 0, configWindowHeight = 0;
    int workWidth = 1024, workHeight = 1024;
    bool aspectCorrection = true;
    float scaleX = 1.0f, scaleY = 1.0f;
    float offsetX = 0.0f, offsetY = 0.0f;
    bool fullScreen = false;
    bool bit16 = false;
    bool tex16bit = false;
    bool texForceDxt = false;
    bool texForcePowerOf2 = true;
    bool zbuffer = false;
    bool depth24 = false;
    bool vsync = false;
    float nearPlane = 1.0f;
    float cameraDistance = 200.0f;
    float farPlane = 100000.0f;
    // The far end of the depth range: the device clamps nothing, so clear to exactly 1.
    float clearDepth = 1.0f;
    float viewWidth = 0.0f, viewHeight = 0.0f;
    float viewOffsetX = 0.0f, viewOffsetY = 0.0f;
    bool renderTargetActive = false;
    bool sceneWasBegun = false;
    Texture* currentTexture = nullptr;
    BlendState blend;
    DrawStatistics statistics;
};

extern RendererState g_renderer;

enum CullModeCode { kCullNone = 1, kCullBack = 2, kCullFront = 3 };
inline constexpr int kCompareAlways = 7;
inline constexpr int kBlendFactorUnchanged = INT_MAX;

// Program-start defaults, then the configured display and texture keys.
void InitRenderGlobals();
void ApplyRenderConfig();

// Starts the chosen back end on the window and computes the letterbox (fatal on failure).
void InitRenderer(SDL_Window* window);
// Closes the back end (its client vertex array goes with it).
void CloseRenderer();
void UpdateViewportScale();

// Row-major 4x4 left-handed off-centre perspective matrix.
void MatrixPerspectiveOffCenter(float out[16], float left, float right, float bottom, float top, float zn, float zf);
void SetProjection(bool forRenderTarget, int width, int height);
void SetDefaultProjection();

bool BeginScene();
bool ClearScreen();
// The frame's end: flush, close the scene on the device.
void EndScene();
bool PresentFrame();
// Set when presenting found the device lost; the next frame re-creates the renderer.
bool RenderDeviceLost();
void ClearRenderDeviceLost();
void MarkRenderDeviceLost();
// The frame's default blending: source alpha over, blending on, equation add.
void SetDefaultBlendState();
void ResetFrameStatistics();

// A factor code outside 1..10 (an unknown word) leaves that factor as it is.
void SetBlendFunc(int src, int dst);
void SetBlendMode(int mode);
void RestoreBlendState(const BlendState& state);
void SetColorMask(bool red, bool green, bool blue, bool alpha);
void SetAlphaTest(int func, int reference);
void SetDepthTest(bool on);
void SetCullMode(int mode);

// "add..." (any case, any ending), "none", "sum", "max"; `fallback` for anything else.
int ParseBlendModeWord(const char* word, int fallback);
int ParseBlendFactor(const char* word);
int ParseCompareFunc(const char* word);
int ParseCullMode(const char* word);

int ParseHexColor(const char* text);
uint32_t MakeColorARGB(const char* text, uint32_t rgb, float alpha);
