#include "ogv_frame_queue.h"

OgvFrameQueue::OgvFrameQueue(int count, int width, int height) : width_(width), height_(height) { setSize(count); }

void OgvFrameQueue::setSize(int count) {
    const std::lock_guard lock(mutex_);
    frames_.clear();
    front_ = 0;
    for (int i = 0; i < count; ++i) frames_.push_back(std::make_unique<OgvVideoFrame>(width_, height_));
}

OgvVideoFrame* OgvFrameQueue::getFirstAvailableFrame() {
    const std::lock_guard lock(mutex_);
    if (frames_.empty()) return nullptr;
    OgvVideoFrame& front = at(0);
    return front.ready ? &front : nullptr;
}

void OgvFrameQueue::pop() {
    const std::lock_guard lock(mutex_);
    if (frames_.empty()) return;
    OgvVideoFrame& front = at(0);
    front.ready = false;
    front.inUse = false;
    front_ = (front_ + 1) % frames_.size();
}

OgvVideoFrame* OgvFrameQueue::requestEmptyFrame() {
    const std::lock_guard lock(mutex_);
    for (int i = 0; i < size(); ++i) {
        OgvVideoFrame& frame = at(i);
        if (frame.inUse) continue;
        frame.inUse = true;
        frame.ready = false;
        return &frame;
    }
    return nullptr;
}

int OgvFrameQueue::getReadyCount() {
    const std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& frame : frames_) count += frame->ready ? 1 : 0;
    return count;
}
