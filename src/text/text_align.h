#pragma once
// The alignment flags of both text renderers (TrueText and bitmap fonts):
// - left/right/center, top/bottom/vcenter: the text within its box
// - block_*: the box about the position; const_*: sizes that stay fixed
// - kAlignSkip: internal marker of the bitmap-font renderer
#include <cstdint>

enum TextAlign : uint32_t {
    kAlignLeft = 0x1,
    kAlignRight = 0x2,
    kAlignCenter = 0x4,
    kAlignTop = 0x8,
    kAlignBottom = 0x10,
    kAlignVCenter = 0x20,
    kAlignBlockLeft = 0x40,
    kAlignBlockRight = 0x80,
    kAlignBlockCenter = 0x100,
    kAlignBlockTop = 0x200,
    kAlignBlockBottom = 0x400,
    kAlignBlockVCenter = 0x800,
    kAlignConstWidth = 0x1000,
    kAlignConstHeight = 0x2000,
    kAlignConstSize = 0x3000,
    kAlignSkip = 0x40000000,
};
