#pragma once
// The Direct3D 9 back end of the renderer: the device on the engine window, its fixed
// states, device textures and render targets, uploads, presenting and device loss.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3dx9.h"

struct SDL_Window;
class Surface;
struct Texture;

bool D3D_Init(SDL_Window* window);
bool D3D_Close();
bool D3D_Present();

// The device, null while the back end is closed.
IDirect3DDevice9* D3D_Device();
void D3D_SetProjectionMatrix(const float matrix[16]);

IDirect3DTexture9* D3D_CreateBlankTexture(int width, int height, bool alpha, bool dynamic, bool fullColour,
                                          bool renderTarget);
IDirect3DTexture9* D3D_CreateTextureFromSurface(const Surface& surface);
// The largest texture side the device takes; 0 while there is no device.
int D3D_MaxTextureSide();
ID3DXRenderToSurface* D3D_CreateRenderTarget(IDirect3DTexture9* texture, D3DFORMAT depthFormat);
bool D3D_BeginRenderToTexture(Texture* texture, uint32_t clearColour);
void D3D_EndRenderToTexture();
void D3D_UpdateTexture(int x, int y, IDirect3DTexture9* texture, int width, int height, const void* pixels, int kind);
void D3D_SetLinearFiltering();
const char* D3D_ErrorName(HRESULT result);
// The result of the last failed texture creation.
HRESULT D3D_LastTextureResult();

// What the device was created with (kept for the reset when closing).
const D3DPRESENT_PARAMETERS& D3D_PresentParameters();

// Test seam: drive the front end over a device made elsewhere (takes a reference;
// null detaches). The client vertex array comes and goes with it.
void D3D_AttachDeviceForTest(IDirect3DDevice9* device);
