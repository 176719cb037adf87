#pragma once
// The texture record the renderer draws with. The texture unit fills and owns it; the
// renderer reads only the device objects, the device size and the sprite rectangles.
#include <cstdint>
#include <list>
#include <string>

struct IDirect3DTexture9;
struct ID3DXRenderToSurface;

struct Sprite {
    std::string name;
    int32_t x = 0, y = 0, width = 0, height = 0, pivotX = 0, pivotY = 0;
};

struct Texture {
    std::string name;
    int32_t refCount = 0;
    int32_t width = 0, height = 0;  // the device texture's size
    float scale = 1.0f;
    int32_t imageWidth = 0, imageHeight = 0;
    int32_t memoryBytes = 0;
    bool hasAlpha = false, hasDepth = false, isRenderTarget = false, dynamic = false, fullColour = false;
    int32_t formatIndex = 6;
    std::list<Sprite> sprites;
    IDirect3DTexture9* deviceTexture = nullptr;
    ID3DXRenderToSurface* renderTarget = nullptr;
};

// What a sprite lookup gives the drawing code: its UV rectangle on the device texture,
// its size and pivot in drawing units.
struct SpriteRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    float width = 0.0f, height = 0.0f, pivotX = 0.0f, pivotY = 0.0f;
};

// Fatal when the texture has no sprite of that name.
SpriteRect GetSprite(Texture* texture, const char* spriteName);
