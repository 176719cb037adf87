#pragma once
// Textures (the scripts' bitmaps): named, reference-counted images on the device with
// their sprite lists, blank textures for render targets and dynamic content, and the
// registry that shares a name loaded twice. Main thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "graphics/fbo_render_buffer.h"

struct IDirect3DTexture9;
struct ID3DXRenderToSurface;

struct Sprite {
    std::string name;
    int32_t x = 0, y = 0, width = 0, height = 0, pivotX = 0, pivotY = 0;
};

// Sprite names are looked up on every draw: hashed, and without building a string.
struct SpriteNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};
using SpriteIndex = std::unordered_map<std::string, std::size_t, SpriteNameHash, std::equal_to<>>;

// Image formats by extension; blank textures use kFormatNone.
enum ImageFormat : int32_t { kFormatDds = 0, kFormatPng = 1, kFormatJpg = 2, kFormatTga = 3, kFormatBmp = 4, kFormatNone = 6 };

struct Texture {
    std::string name;  // the resolved file name; empty for blank textures
    int32_t refCount = 0;
    int32_t width = 0, height = 0;  // the device texture's size
    float scale = 1.0f;             // image pixels per drawing unit
    int32_t imageWidth = 0, imageHeight = 0;
    int32_t memoryBytes = 0;
    bool hasAlpha = false, hasDepth = false, isRenderTarget = false, dynamic = false, fullColour = false;
    int32_t formatIndex = kFormatNone;
    // New each time the device objects are made: a blank texture made anew is empty again.
    uint32_t deviceGeneration = 0;
    std::vector<Sprite> sprites;  // in file order
    // name -> position in sprites; cleared with the list, rebuilt by the next lookup
    mutable SpriteIndex spriteIndex;
    // Where the last lookup found its sprite (games draw one sprite over and over); past the
    // end when none since the index was rebuilt.
    mutable std::size_t lastSprite = SIZE_MAX;
    // The back end's objects: Direct3D's are owned by the registry, which releases them
    // when it deletes the record; OpenGL's are a texture name and the target's buffers.
    IDirect3DTexture9* deviceTexture = nullptr;
    ID3DXRenderToSurface* renderTarget = nullptr;
    uint32_t glTexture = 0;
    std::unique_ptr<FBORenderBuffer> glRenderTarget;
};

// What drawing takes from a sprite: its UV rectangle on the device texture, its size and
// pivot in drawing units.
struct SpriteRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    float width = 0.0f, height = 0.0f, pivotX = 0.0f, pivotY = 0.0f;
};

// Gets or loads an image texture and adds a reference (fatal when it cannot be found).
Texture* LoadTexture(const std::string& name);
// Whether LoadTexture would find an image for the name.
bool TextureExists(const std::string& name);
// The back end's handle of the texture (what the batch tells textures apart by), 0 when none.
uintptr_t DeviceHandle(const Texture* texture);
bool HasRenderTarget(const Texture* texture);
// Null when the device refuses the texture or its render target. One reference.
Texture* CreateBlankTexture(int width, int height, int pivotX, int pivotY, bool alpha, bool depth, bool renderTarget,
                            bool dynamic, bool fullColour);
const Sprite* FindSprite(const Texture* texture, std::string_view name);
// Fatal when the texture has no sprite of that name. Consumes a pending crop.
SpriteRect GetSprite(Texture* texture, const char* spriteName);
// GetSprite without any crop: a pending crop stays pending. For callers that resolve a
// sprite once and draw it many times. Fatal, as GetSprite, for a missing sprite.
SpriteRect SpriteRectOf(const Texture* texture, const char* spriteName);
// The rectangle (in sprite pixels before the texture's scale) the next GetSprite cuts out;
// a negative start is taken as 0.
void CropNextSprite(int x, int y, int width, int height);

void LoadSpriteSheet(Texture* texture, const std::string& fileName);
int ImageFormatFromExtension(const std::string& extension);

// Deletes the textures nobody references, except one the active render target is.
void ReleaseUnusedTextures();
void ReleaseAllTextures();
void ReleaseDeviceTextures();
void ReloadDeviceTextures();
// Upload kinds: RGB bytes; four bytes in the back end's order (B, G, R, A on Direct3D,
// R, G, B, A on OpenGL: text colours are made to match); alpha bytes.
enum TextureUploadKind { kUploadRGB = 0, kUploadDeviceOrder = 1, kUploadAlpha = 2 };
void UpdateTexture(int x, int y, Texture* texture, int width, int height, const void* pixels, int kind);

struct TextureDeleter {
    void operator()(Texture* texture) const;  // releases the device objects too
};
using TexturePtr = std::unique_ptr<Texture, TextureDeleter>;

// One reference on a texture, given back when the holder lets go.
struct TextureReleaser {
    void operator()(Texture* texture) const { texture->refCount -= 1; }
};
using TextureReference = std::unique_ptr<Texture, TextureReleaser>;

// The registry in creation order (statistics, tests).
const std::vector<TexturePtr>& AllTextures();
