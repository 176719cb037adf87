#include "graphics/render_target.h"

#include "core/log.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/render_gl.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"

namespace {

const Texture* g_activeTarget = nullptr;

void CloseScene() {
    if (!g_renderer.sceneBegun) return;
    g_renderer.sceneBegun = false;
    if (g_renderer.opengl) return;
    if (IDirect3DDevice9* device = D3D_Device()) device->EndScene();
}

}  // namespace

bool BeginRenderToTexture(Texture* texture, uint32_t clearColourARGB) {
    if (!HasRenderTarget(texture)) VELK_ERROR("BeginRenderToTexture - texture is not a render target");
    FlushBatch(kAllBatchSlots);
    EndRenderToTexture();
    g_renderer.sceneWasBegun = g_renderer.sceneBegun;
    CloseScene();
    g_renderer.currentTexture = nullptr;
    const bool begun = g_renderer.opengl ? GL_BeginRenderToTexture(texture, clearColourARGB)
                                         : D3D_BeginRenderToTexture(texture, clearColourARGB);
    if (begun) {
        g_renderer.renderTargetActive = true;
        g_activeTarget = texture;
        return true;
    }
    // Only a scene that was open is reopened: one opened here would never be ended.
    if (g_renderer.sceneWasBegun) BeginScene();
    g_renderer.sceneWasBegun = false;
    return false;
}

void EndRenderToTexture() {
    if (!g_renderer.renderTargetActive) return;
    FlushBatch(kAllBatchSlots);
    g_renderer.currentTexture = nullptr;
    g_renderer.opengl ? GL_EndRenderToTexture() : D3D_EndRenderToTexture();
    g_renderer.renderTargetActive = false;
    g_activeTarget = nullptr;
    if (g_renderer.sceneWasBegun) BeginScene();
    g_renderer.sceneWasBegun = false;
}

void CloseLeftoverRenderTarget() {
    g_renderer.sceneWasBegun = false;
    EndRenderToTexture();
}

const Texture* ActiveRenderTarget() { return g_activeTarget; }
