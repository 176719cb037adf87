#pragma once
// The OpenGL back end of the renderer: the context on the engine window, its fixed
// states, the renderer's codes mapped to OpenGL, textures, render targets as framebuffer
// objects, uploads, drawing from the client vertex array, presenting and readback.
//   GL_Init, GL_Close, GL_Present     the context's life (start-up failures are fatal)
//   GL_ResetView, GL_Clear            the window's view; the frame's clear
//   GL_SetProjectionMatrix            the projection the front end computed
//   GL_BlendFactor, GL_SetBlendState, GL_SetBlendEquation, GL_SetColorMask,
//   GL_SetAlphaTest, GL_SetDepthTest, GL_SetCullMode      the render-state setters
//   GL_CreateBlankTexture, GL_CreateTextureFromSurface, GL_UpdateTexture, GL_DeleteTexture
//   GL_MaxTextureSide                 the largest texture side the context takes
//   GL_CreateRenderTarget, GL_BeginRenderToTexture, GL_EndRenderToTexture
//   GL_BindTexture, GL_DrawIndexed    one indexed draw from the client vertex array
//   GL_ReadBackBuffer                 a window rectangle, bottom-up, bytes B, G, R, A
//   GL_LogPendingError                "[file : line] GL ERROR {code}: label"
#include <cstdint>
#include <memory>

struct SDL_Window;
class Surface;
struct Texture;
struct RenderVertex;
class FBORenderBuffer;

bool GL_Init(SDL_Window* window);
void GL_Close();
bool GL_Present();

void GL_ResetView();
void GL_Clear();
void GL_SetProjectionMatrix(const float matrix[16]);

// Renderer blend-factor code (1..10) to OpenGL; anything else gives ONE.
unsigned GL_BlendFactor(int code);
void GL_SetBlendState(int src, int dst, bool enabled, int equation);
// Does nothing without glBlendEquation or for an unknown code.
void GL_SetBlendEquation(int code);
void GL_SetColorMask(bool red, bool green, bool blue, bool alpha);
void GL_SetAlphaTest(int func, int reference);
void GL_SetDepthTest(bool on);
void GL_SetCullMode(int code);

// 0 when the context refuses.
uint32_t GL_CreateBlankTexture(int width, int height, bool alpha, bool renderTarget, bool fullColour);
uint32_t GL_CreateTextureFromSurface(const Surface& surface);
// 0 while there is no context.
int GL_MaxTextureSide();
void GL_UpdateTexture(const void* pixels, const Texture& texture, int x, int y, int width, int height, int kind);
void GL_DeleteTexture(uint32_t texture);

// Null without the framebuffer-object extension or when the framebuffer is incomplete;
// an active target stays bound.
std::unique_ptr<FBORenderBuffer> GL_CreateRenderTarget(int width, int height, bool withDepth, uint32_t texture);
bool GL_BeginRenderToTexture(Texture* texture, uint32_t clearColourARGB);
void GL_EndRenderToTexture();

void GL_BindTexture(uint32_t texture, int mode);
void GL_DrawIndexed(const RenderVertex* vertices, const uint16_t* indices, int indexCount);

bool GL_ReadBackBuffer(int left, int top, int right, int bottom, Surface& capture);

void GL_LogPendingError(const char* label, const char* file, int line);
