#pragma once
// OgvVideoClip: one Ogg Theora video decoded ahead into a queue of RGB frames and timed
// against its own clock. Called once per host frame, in this order:
//   update(dt)          advances the clock; wraps it at the end of a looping clip
//   decodeNextFrame()   decodes at most one frame into the queue
//   getNextFrame()      the frame due now, or null
//   popFrame()          after showing the due frame: counts it and frees its slot
// Construction reads the headers and the duration and throws OgvException for a file
// that cannot be played. The clip owns its data source.
#include "ogv_data_source.h"
#include "ogv_frame_queue.h"
#include "ogv_stream_state.h"
#include "ogv_timer.h"

#include <memory>
#include <string>

class OgvVideoClip {
public:
    OgvVideoClip(std::unique_ptr<OgvDataSource> source, int precachedFrames);
    OgvVideoClip(const OgvVideoClip&) = delete;
    OgvVideoClip& operator=(const OgvVideoClip&) = delete;

    void update(float seconds);
    void decodeNextFrame();
    OgvVideoFrame* getNextFrame();
    void popFrame();

    const std::string& getName() const { return name_; }
    // The picture size, inside the coded frame.
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    float getDuration() const { return duration_; }
    float getFrameDuration() const { return frameDuration_; }
    int getFrameCount() const { return frameCount_; }
    int getDroppedFrames() const { return droppedFrames_; }
    int getFramesPassed() const { return framesPassed_; }
    int getIteration() const { return iteration_; }
    bool isLooping() const { return loop_; }
    // Looping again also clears the end of data, so decoding goes on from the start.
    void setLoop(bool loop);
    bool isEndOfFile() const { return endOfFile_; }
    OgvFrameQueue& getFrameQueue() { return *frameQueue_; }
    OgvTimer& getTimer() { return timer_; }

private:
    void load();
    void readTheoraHeaders();
    void completeTheoraHeaders();
    bool readChunk();
    void checkStreamFormat() const;
    void scanDuration();
    bool readData();
    bool takePages();
    void restart();
    void convertPicture(OgvVideoFrame& frame);
    void wrapTimer(float time);

    std::unique_ptr<OgvDataSource> dataSource_;
    std::unique_ptr<OgvFrameQueue> frameQueue_;
    OgvTimer timer_;
    OggSync sync_;
    OggStream theoraStream_;
    TheoraHeaders headers_;
    TheoraDecoder decoder_;
    std::string name_;
    int droppedFrames_ = 0;
    int framesPassed_ = 0;
    int theoraHeaders_ = 0;
    int precachedFrames_;
    float duration_ = -1.0f;
    float frameDuration_ = 0.0f;
    int width_ = 0, height_ = 0;
    int frameCount_ = 0;
    bool loop_ = false;
    bool endOfFile_ = false;
    bool restarted_ = false;  // the decoder went back to the start; the clock has not wrapped yet
    int iteration_ = 0;
};
