#pragma once
// Scenes drawn through the renderer front end alone, so each back end draws the same.
#include <cstdint>
#include <vector>

struct Texture;

// An 8 x 8 white square as two triangles running clockwise on screen, or reversed.
void WindingSquare(float x, float y, bool reversed);
// A texture of 0xAARRGGBB texels, uploaded as RGBA bytes in the back end's own order.
Texture* TexelTexture(int width, int height, const std::vector<uint32_t>& texels);

void DrawBoxes();
void DrawSpriteOneToOne();
void DrawLetterboxed();
void DrawRotated();
void DrawBlendModes();
void DrawAlphaTest();
void DrawCullSquares();
void DrawCullInTarget();
void DrawTargetOrientation();
void DrawClampAndWrap();
void DrawUploads();
void DrawTilted();
