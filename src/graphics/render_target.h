#pragma once
// Drawing into render-target textures while a frame's scene is open. Targets do not nest.
#include <cstdint>

struct Texture;

// Fatal for a texture without a render target; false when the back end cannot bind it
// (the frame goes on on the back buffer).
bool BeginRenderToTexture(Texture* texture, uint32_t clearColourARGB);
// Back to the back buffer, reopening the frame's scene; nothing when no target is active.
void EndRenderToTexture();
// For the frame's start, before the clear: a target the scripts left active is closed
// without reopening a scene, so the clear and the new scene reach the back buffer.
void CloseLeftoverRenderTarget();
// The texture being drawn into, or null.
const Texture* ActiveRenderTarget();
