#include "ogv_video_frame.h"

#include <cstddef>

OgvVideoFrame::OgvVideoFrame(int width, int height)
    : pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0xFF) {}
