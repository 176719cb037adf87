#pragma once
// The utility subset the back end uses over the software device: texture creation with
// format substitution, drawing into a texture surface, saving a surface as an in-memory
// BMP image, and the names of the error codes.
#include "platform/d3d9/d3d9.h"

constexpr HRESULT D3DXERR_INVALIDDATA = static_cast<HRESULT>(0x88760B59u);

constexpr DWORD D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr DWORD D3DX_FILTER_NONE = 1;

enum D3DXIMAGE_FILEFORMAT : DWORD { D3DXIFF_BMP = 0 };

struct ID3DXBuffer : IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

// Redirects the device's drawing into a surface between BeginScene and EndScene and then
// restores the device's own target, depth buffer and viewport.
struct ID3DXRenderToSurface : IUnknown {
    // viewport null: the whole surface. The surface must have the object's size and format.
    virtual HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT EndScene(DWORD mipFilter) = 0;
};

// levels 0 or D3DX_DEFAULT: a full mip chain; sizes 0 become 1; an R8G8B8 request gets
// X8R8G8B8, the nearest format the device draws with.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface);

// A BMP file (54-byte header, 32 bits per pixel, rows bottom-up, bytes B, G, R, A) of the
// rectangle (null: the whole surface).
HRESULT D3DXSaveSurfaceToFileInMemory(ID3DXBuffer** buffer, D3DXIMAGE_FILEFORMAT format,
                                      IDirect3DSurface9* surface, const void* palette, const RECT* rect);

// "D3DERR_INVALIDCALL" and so on; "Unknown error" for a code it does not know.
const char* DXGetErrorString(HRESULT hr);
