#pragma once
// The alignment flags that both text renderers take (the words that name them are read
// by ParseAlignment).
// - TextAlign: line, vertical, block and constant-size flags
enum TextAlign : int {
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
    // Callers that only measure skip the alignment pass.
    kAlignSkip = 0x40000000,
};
