#pragma once
// OgvFrameQueue: a fixed ring of frames; the decoder fills them in order, the display
// side takes them from the front.
//   OgvFrameQueue(count, width, height) / setSize(count)   count fresh frames
//   getFirstAvailableFrame()   the front frame when it is ready, else null
//   pop()                      the front frame is emptied and goes to the back
//   requestEmptyFrame()        the first frame (front first) not in use, now reserved; null when full
//   getReadyCount()            frames holding a decoded picture
//   size() / at(i)             the frames in order from the front
#include "ogv_video_frame.h"

#include <memory>
#include <mutex>
#include <vector>

class OgvFrameQueue {
public:
    OgvFrameQueue(int count, int width, int height);

    void setSize(int count);
    OgvVideoFrame* getFirstAvailableFrame();
    void pop();
    OgvVideoFrame* requestEmptyFrame();
    int getReadyCount();
    int size() const { return static_cast<int>(frames_.size()); }
    OgvVideoFrame& at(int index) { return *frames_[(front_ + index) % frames_.size()]; }

private:
    std::vector<std::unique_ptr<OgvVideoFrame>> frames_;
    std::size_t front_ = 0;
    int width_, height_;
    std::recursive_mutex mutex_;
};
