#include "script/scene/prerendered_target.h"

#include "graphics/render.h"
#include "graphics/render_target.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"

namespace {

// The part of the device texture the virtual screen covers (it may be rounded up).
float Extent(int used, int allocated) { return allocated > 0 ? static_cast<float>(used) / allocated : 1.0f; }

}  // namespace

void PrerenderedTarget::drop() {
    if (!texture_) return;
    --texture_->refCount;
    texture_ = nullptr;
}

Texture* PrerenderedTarget::begin(bool withAlpha) {
    Texture* target = CreateBlankTexture(g_renderer.virtualWidth, g_renderer.virtualHeight, 0, 0, withAlpha, false,
                                         true, false, true);
    if (!target) return nullptr;
    if (!BeginRenderToTexture(target, 0)) {
        --target->refCount;
        return nullptr;
    }
    return target;
}

void PrerenderedTarget::end() {
    FlushBatch(kAllBatchSlots);
    EndRenderToTexture();
}

void PrerenderedTarget::draw(const Transform& transform) const {
    static const float kWhite[3] = {1, 1, 1};
    DrawTexturedQuad(transform.x, transform.y, 0, static_cast<float>(g_renderer.virtualWidth),
                     static_cast<float>(g_renderer.virtualHeight), 0, 0, Extent(texture_->imageWidth, texture_->width),
                     Extent(texture_->imageHeight, texture_->height), texture_, transform.angle, alpha,
                     transform.scale_x, transform.scale_y, kWhite, 0, 0, 0, 0, 0, 0);
}
