#include "ogv_video_clip.h"

#include "ogv_exception.h"
#include "ogv_log.h"
#include "ogv_yuv.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr int kReadChunk = 4096;
constexpr int kScanStep = 4096;
constexpr int kScanLimit = 40960;
// Larger pictures would make the frame queue alone take gigabytes.
constexpr uint32_t kMaxPictureSide = 4096;

}  // namespace

OgvVideoClip::OgvVideoClip(std::unique_ptr<OgvDataSource> source, int precachedFrames)
    : dataSource_(std::move(source)), name_(dataSource_->getName()), precachedFrames_(precachedFrames) {
    load();
}

void OgvVideoClip::load() {
    OgvLog("-----");
    readTheoraHeaders();
    checkStreamFormat();
    decoder_.reset(th_decode_alloc(&headers_.info, headers_.setup));
    if (!decoder_) throw OgvException("Theora decoder could not be created for " + name_, __FILE__, __LINE__);
    const th_info& info = headers_.info;
    width_ = static_cast<int>(info.pic_width);
    height_ = static_cast<int>(info.pic_height);
    OgvLog("width: " + ogvIntToString(width_) + ", height: " + ogvIntToString(height_) +
           ", fps: " + ogvIntToString(static_cast<int>(info.fps_numerator)));
    frameQueue_ = std::make_unique<OgvFrameQueue>(precachedFrames_, width_, height_);
    scanDuration();
    if (duration_ < 0) OgvLog("unable to determine file duration!");
    else OgvLog("duration: " + ogvFloatToString(duration_) + " seconds");
    // Read the headers again so the stream stands right after them.
    ogg_sync_reset(&sync_.state);
    dataSource_->seek(0);
    readTheoraHeaders();
    frameDuration_ = static_cast<float>(static_cast<double>(info.fps_denominator) / info.fps_numerator);
    OgvLog("-----");
}

bool OgvVideoClip::readChunk() {
    char* buffer = ogg_sync_buffer(&sync_.state, kReadChunk);
    const int count = buffer ? dataSource_->read(buffer, kReadChunk) : 0;
    if (count <= 0) return false;
    ogg_sync_wrote(&sync_.state, count);
    return true;
}

// The beginning-of-stream pages name the streams; the first Theora one is taken, every
// other stream is ignored (nothing here plays a video's sound).
void OgvVideoClip::readTheoraHeaders() {
    theoraStream_.close();
    headers_.reset();
    theoraHeaders_ = 0;
    bool headerPagesDone = false;
    while (!headerPagesDone && readChunk()) {
        ogg_page page;
        while (ogg_sync_pageout(&sync_.state, &page) > 0) {
            if (!ogg_page_bos(&page)) {
                if (theoraHeaders_) ogg_stream_pagein(&theoraStream_.state, &page);
                headerPagesDone = true;
                break;
            }
            if (theoraHeaders_) continue;
            theoraStream_.open(ogg_page_serialno(&page));
            ogg_stream_pagein(&theoraStream_.state, &page);
            ogg_packet packet;
            if (ogg_stream_packetout(&theoraStream_.state, &packet) == 1 &&
                th_decode_headerin(&headers_.info, &headers_.comment, &headers_.setup, &packet) > 0) {
                theoraHeaders_ = 1;
            } else {
                theoraStream_.close();
            }
        }
    }
    if (!theoraHeaders_) throw OgvException("No Theora video stream found in " + name_, __FILE__, __LINE__);
    completeTheoraHeaders();
}

void OgvVideoClip::completeTheoraHeaders() {
    while (theoraHeaders_ < 3) {
        ogg_packet packet;
        const int got = ogg_stream_packetout(&theoraStream_.state, &packet);
        if (got < 0) throw OgvException("Error parsing Theora stream headers.", __FILE__, __LINE__);
        if (got > 0) {
            if (th_decode_headerin(&headers_.info, &headers_.comment, &headers_.setup, &packet) <= 0)
                throw OgvException("invalid theora stream", __FILE__, __LINE__);
            ++theoraHeaders_;
            continue;
        }
        ogg_page page;
        if (ogg_sync_pageout(&sync_.state, &page) > 0) ogg_stream_pagein(&theoraStream_.state, &page);
        else if (!readChunk()) throw OgvException("End of file found prematurely", __FILE__, __LINE__);
    }
}

// The converter reads 4:2:0 planes; other layouts are refused rather than shown wrong.
void OgvVideoClip::checkStreamFormat() const {
    const th_info& info = headers_.info;
    if (info.pixel_fmt != TH_PF_420)
        throw OgvException("Unsupported pixel format in " + name_ + ": only 4:2:0 Theora video is played", __FILE__,
                           __LINE__);
    if (info.pic_width == 0 || info.pic_height == 0 || info.pic_width > kMaxPictureSide ||
        info.pic_height > kMaxPictureSide || info.pic_x + info.pic_width > info.frame_width ||
        info.pic_y + info.pic_height > info.frame_height)
        throw OgvException("Unsupported picture size in " + name_, __FILE__, __LINE__);
    if (info.fps_numerator == 0 || info.fps_denominator == 0)
        throw OgvException("No frame rate in " + name_, __FILE__, __LINE__);
}

// The last Theora page near the end of the file gives the frame count; the window
// widens until one is found, never reaching before the start of the file.
void OgvVideoClip::scanDuration() {
    const int64_t size = dataSource_->getSize();
    const th_info& info = headers_.info;
    for (int span = kScanStep; span <= kScanLimit && duration_ <= 0; span += kScanStep) {
        const int64_t start = std::max<int64_t>(0, size - span);
        const int count = static_cast<int>(size - start);
        ogg_sync_reset(&sync_.state);
        dataSource_->seek(start);
        char* buffer = ogg_sync_buffer(&sync_.state, count);
        const int got = buffer ? dataSource_->read(buffer, count) : 0;
        if (got > 0) ogg_sync_wrote(&sync_.state, got);
        ogg_page page;
        for (int result; (result = ogg_sync_pageout(&sync_.state, &page)) != 0;) {
            if (result < 0 || ogg_page_serialno(&page) != theoraStream_.state.serialno) continue;
            const ogg_int64_t granule = ogg_page_granulepos(&page);
            if (granule == -1) {
                duration_ = -1.0f;
                continue;
            }
            const ogg_int64_t frames = th_granule_frame(decoder_.get(), granule) + 1;
            duration_ = static_cast<float>(static_cast<double>(frames) * info.fps_denominator / info.fps_numerator);
            frameCount_ = static_cast<int>(frames);
        }
        if (start == 0) break;
    }
}

bool OgvVideoClip::readData() {
    // Pages left in the synchroniser by the header reader come first.
    if (takePages()) return true;
    if (!readChunk()) {
        // One pass ahead at most: a short clip does not restart again before the clock wraps.
        if (!loop_) endOfFile_ = true;
        else if (!restarted_) restart();
        return false;
    }
    takePages();
    return true;
}

bool OgvVideoClip::takePages() {
    ogg_page page;
    bool taken = false;
    // The stream state takes only the pages of its own serial number.
    while (ogg_sync_pageout(&sync_.state, &page) > 0) {
        ogg_stream_pagein(&theoraStream_.state, &page);
        taken = true;
    }
    return taken;
}

void OgvVideoClip::restart() {
    decoder_.reset(th_decode_alloc(&headers_.info, headers_.setup));
    if (!decoder_) throw OgvException("Theora decoder could not be created for " + name_, __FILE__, __LINE__);
    ogg_stream_reset(&theoraStream_.state);
    ogg_sync_reset(&sync_.state);
    dataSource_->seek(0);
    endOfFile_ = false;
    restarted_ = true;
}

void OgvVideoClip::decodeNextFrame() {
    if (endOfFile_) return;
    OgvVideoFrame* frame = frameQueue_->requestEmptyFrame();
    if (!frame) return;
    for (;;) {
        ogg_packet packet;
        const int got = ogg_stream_packetout(&theoraStream_.state, &packet);
        if (got < 0) continue;  // a gap in the data: the next packet follows it
        if (got == 0) {
            if (readData()) continue;
            frame->inUse = false;
            return;
        }
        ogg_int64_t granule = -1;
        // Header packets met again after a restart, duplicates and damaged packets give no frame.
        if (th_decode_packetin(decoder_.get(), &packet, &granule) != 0) continue;
        const float end = static_cast<float>(th_granule_time(decoder_.get(), granule));
        duration_ = std::max(duration_, end);
        if (timer_.getTime() > end && !restarted_) {
            ++droppedFrames_;
            ++framesPassed_;
            continue;
        }
        frame->time = end - frameDuration_;
        // A frame decoded after the restart belongs to the next pass.
        frame->iteration = restarted_ ? 1 - iteration_ : iteration_;
        frame->frameNumber = static_cast<int>(th_granule_frame(decoder_.get(), granule));
        convertPicture(*frame);
        frame->ready = true;
        return;
    }
}

void OgvVideoClip::convertPicture(OgvVideoFrame& frame) {
    th_ycbcr_buffer planes;
    th_decode_ycbcr_out(decoder_.get(), planes);
    const th_info& info = headers_.info;
    OgvPicture picture;
    picture.luma = planes[0].data;
    picture.cb = planes[1].data;
    picture.cr = planes[2].data;
    picture.lumaStride = planes[0].stride;
    picture.chromaStride = planes[1].stride;
    picture.x = static_cast<int>(info.pic_x);
    picture.y = static_cast<int>(info.pic_y);
    picture.width = width_;
    picture.height = height_;
    DecodeYUVToRGB(picture, frame.pixels.data(), width_ * 3);
}

OgvVideoFrame* OgvVideoClip::getNextFrame() {
    const float time = timer_.getTime();
    for (;;) {
        OgvVideoFrame* frame = frameQueue_->getFirstAvailableFrame();
        if (!frame || frame->time > time) return nullptr;
        if (time <= frame->time + frameDuration_) return frame;
        if (frameQueue_->getReadyCount() <= 1) return frame;
        // A late frame of the next pass waits for the clock to wrap.
        if (restarted_ && frame->iteration != iteration_) return nullptr;
        ++droppedFrames_;
        ++framesPassed_;
        frameQueue_->pop();
    }
}

void OgvVideoClip::popFrame() {
    ++framesPassed_;
    frameQueue_->pop();
}

void OgvVideoClip::setLoop(bool loop) {
    loop_ = loop;
    if (loop) endOfFile_ = false;
}

void OgvVideoClip::update(float seconds) {
    if (timer_.isPaused()) return;
    timer_.update(seconds);
    const float time = timer_.getTime();
    if (loop_ && restarted_ && time >= duration_) wrapTimer(time);
}

// Frames of the finished pass still queued move onto the new pass's clock with it; the
// late ones among them are then dropped by getNextFrame like any late frame.
void OgvVideoClip::wrapTimer(float time) {
    iteration_ = 1 - iteration_;
    timer_.seek(time - duration_);
    restarted_ = false;
    int stale = 0;
    for (int i = 0; i < frameQueue_->size(); ++i) {
        OgvVideoFrame& frame = frameQueue_->at(i);
        if (!frame.ready) break;
        if (frame.iteration == iteration_) continue;
        frame.time -= duration_;
        frame.iteration = iteration_;
        ++stale;
    }
    if (stale > 0) OgvLog("retimed " + ogvIntToString(stale) + " end frames");
}
