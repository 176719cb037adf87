#pragma once
// OgvVideoFrame: one slot of a clip's frame queue: a packed RGB picture and its timing.
#include <cstdint>
#include <vector>

struct OgvVideoFrame {
    // Width x height RGB pixels, filled with 0xFF until a frame is decoded into them.
    OgvVideoFrame(int width, int height);

    std::vector<uint8_t> pixels;
    int frameNumber = 0;
    float time = 0.0f;   // presentation start on the clip's timer
    bool ready = false;  // holds a decoded frame not yet shown
    bool inUse = false;  // reserved by the decoder or holding a ready frame
    int iteration = 0;   // the loop pass the frame belongs to (0 or 1)
};
