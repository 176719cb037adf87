#pragma once
// The pixel formats the device stores, and their conversion to and from 0xAARRGGBB.
#include <cstdint>

#include "platform/d3d9/d3d9.h"

// What the device stores for a requested format: R8G8B8 becomes X8R8G8B8; D3DFMT_UNKNOWN
// for a format it does not support.
D3DFORMAT StoredFormat(D3DFORMAT requested);
bool IsDepthFormat(D3DFORMAT format);
// Bytes per pixel of a stored format (depth formats count their nominal size).
int BytesPerPixel(D3DFORMAT format);

// A pixel of a colour format as 0xAARRGGBB; formats without alpha read alpha 255.
uint32_t LoadPixel(const uint8_t* p, D3DFORMAT format);
void StorePixel(uint8_t* p, D3DFORMAT format, uint32_t argb);
