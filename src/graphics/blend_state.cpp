#include "graphics/blend_state.h"

#include "graphics/render_d3d.h"
#include "graphics/sprite_batch.h"

namespace {

DWORD ReadState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state) {
    DWORD value = 0;
    device->GetRenderState(state, &value);
    return value;
}

}  // namespace

BlendState CurrentBlendState() {
    IDirect3DDevice9* device = D3D_Device();
    if (!device) return {};
    return {ReadState(device, D3DRS_SRCBLEND), ReadState(device, D3DRS_DESTBLEND),
            ReadState(device, D3DRS_ALPHABLENDENABLE), ReadState(device, D3DRS_BLENDOP)};
}

void RestoreBlendState(const BlendState& state) {
    FlushBatch(kAllBatchSlots);  // what is pending was drawn for the state being left
    IDirect3DDevice9* device = D3D_Device();
    if (!device) return;
    device->SetRenderState(D3DRS_SRCBLEND, state.src);
    device->SetRenderState(D3DRS_DESTBLEND, state.dst);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, state.enabled);
    device->SetRenderState(D3DRS_BLENDOP, state.op);
}

void SetBlendEquation(int equation) {
    FlushBatch(kAllBatchSlots);
    if (IDirect3DDevice9* device = D3D_Device()) device->SetRenderState(D3DRS_BLENDOP, static_cast<DWORD>(equation));
}
