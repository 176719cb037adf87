// Placeholder bodies until the software device lands.
#include "platform/d3d9/d3dx9.h"

IDirect3D9* Direct3DCreate9(UINT) { return nullptr; }
void D3D9Test_LoseDevice(IDirect3DDevice9*) {}
void D3D9Test_FailCreateDevice(int) {}

HRESULT D3DXCreateTexture(IDirect3DDevice9*, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**) {
    return D3DERR_NOTAVAILABLE;
}
HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9*, UINT, UINT, D3DFORMAT, BOOL, D3DFORMAT,
                                  ID3DXRenderToSurface**) {
    return D3DERR_NOTAVAILABLE;
}
HRESULT D3DXSaveSurfaceToFileInMemory(ID3DXBuffer**, D3DXIMAGE_FILEFORMAT, IDirect3DSurface9*, const void*,
                                      const RECT*) {
    return D3DERR_NOTAVAILABLE;
}
const char* DXGetErrorString(HRESULT) { return "Unknown error"; }
