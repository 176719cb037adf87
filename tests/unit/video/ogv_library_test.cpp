// The video library on videos encoded at test time: conversion, timing, looping, the
// header errors and what a damaged file does.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "fixtures/theora_video.h"
#include "fixtures/memory_source.h"
#include "ogv_exception.h"
#include "ogv_log.h"
#include "ogv_video_manager.h"
#include "ogv_yuv.h"

namespace {

// The grey a flat frame of luma y converts to.
int GreyOf(int luma) { return std::clamp(static_cast<int>((luma - 16) * 9535.988) >> 13, 0, 255); }

std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}

class VideoLibrary : public testing::Test {
protected:
    void SetUp() override {
        LogLines().clear();
        OgvSetLogFunction([](const std::string& text) { LogLines().push_back(text); });
    }
    void TearDown() override { OgvSetLogFunction(nullptr); }

    OgvVideoClip* Open(const TheoraVideoSpec& spec, SourceRecord* record = nullptr) {
        return manager_.createVideoClip(std::make_unique<MemorySource>(MakeTheoraVideo(spec), record));
    }
    bool Logged(const std::string& text) const {
        return std::find(LogLines().begin(), LogLines().end(), text) != LogLines().end();
    }
    // Plays one host frame as the glue does; the shown frame's number, or -1.
    static int Step(OgvVideoClip* clip, float dt, int* grey = nullptr) {
        clip->update(dt);
        clip->decodeNextFrame();
        OgvVideoFrame* frame = clip->getNextFrame();
        if (!frame) return -1;
        if (grey) *grey = frame->pixels[0];
        const int number = frame->frameNumber;
        clip->popFrame();
        return number;
    }

    OgvVideoManager manager_;
};

TEST(YuvConversion, StudioRangeToRgb) {
    struct Case {
        uint8_t y, cb, cr;
        uint8_t r, g, b;
    };
    const Case cases[] = {{16, 128, 128, 0, 0, 0},
                          {235, 128, 128, 254, 254, 254},
                          {236, 128, 128, 255, 255, 255},
                          {128, 128, 255, 255, 27, 130}};
    for (const Case& c : cases) {
        const uint8_t luma[4] = {c.y, c.y, c.y, c.y};
        OgvPicture picture{luma, &c.cb, &c.cr, 2, 1, 0, 0, 2, 2};
        uint8_t out[12];
        DecodeYUVToRGB(picture, out, 6);
        for (int pixel = 0; pixel < 4; ++pixel) {
            EXPECT_EQ(out[pixel * 3], c.r) << int(c.y) << " " << int(c.cr);
            EXPECT_EQ(out[pixel * 3 + 1], c.g);
            EXPECT_EQ(out[pixel * 3 + 2], c.b);
        }
    }
}

// A picture at an odd offset reads the chroma sample of each pixel's own plane position,
// rows by the plane strides.
TEST(YuvConversion, PictureRegionAtOddOffsetUsesPlanePositions) {
    const uint8_t luma[4 * 8] = {};  // stride 8, four rows, Y 0 (clamped black plus chroma)
    uint8_t cr[2 * 5] = {};
    const uint8_t cb[2 * 5] = {128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
    cr[0] = 128, cr[1] = 200, cr[5] = 220, cr[6] = 255;  // samples (0,0) (1,0) (0,1) (1,1)
    OgvPicture picture{luma, cb, cr, 8, 5, 1, 1, 2, 2};
    uint8_t out[2 * 6];
    DecodeYUVToRGB(picture, out, 6);
    auto redOf = [](int y, int crValue) {
        return std::clamp((static_cast<int>((y - 16) * 9535.988) + static_cast<int>((crValue - 128) * 13074.932)) >> 13,
                          0, 255);
    };
    EXPECT_EQ(out[0], redOf(0, 128));  // plane (1, 1): sample (0, 0)
    EXPECT_EQ(out[3], redOf(0, 200));  // plane (2, 1): sample (1, 0)
    EXPECT_EQ(out[6], redOf(0, 220));  // plane (1, 2): sample (0, 1)
    EXPECT_EQ(out[9], redOf(0, 255));  // plane (2, 2): sample (1, 1)
}

TEST_F(VideoLibrary, PlaysEveryFrameOnTimeAndStopsAtTheEnd) {
    SourceRecord record;
    OgvVideoClip* clip = Open({}, &record);
    EXPECT_EQ(clip->getWidth(), 64);
    EXPECT_EQ(clip->getHeight(), 48);
    EXPECT_FLOAT_EQ(clip->getFrameDuration(), 0.04f);
    EXPECT_FLOAT_EQ(clip->getDuration(), 0.4f);
    EXPECT_EQ(clip->getFrameCount(), 10);
    EXPECT_FALSE(record.seekedBeforeStart) << "the file is shorter than the duration scan's window";
    EXPECT_TRUE(Logged("width: 64, height: 48, fps: 25"));
    EXPECT_TRUE(Logged("duration: 0.400 seconds"));

    OgvVideoFrame* first = clip->getFrameQueue().getFirstAvailableFrame();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->time, 0.0f);
    for (int n = 0; n < 10; ++n) {
        int grey = -1;
        EXPECT_EQ(Step(clip, n == 0 ? 0.02f : 0.04f, &grey), n);
        EXPECT_EQ(grey, GreyOf(FlatFrameLuma(n))) << "frame " << n;
    }
    for (int n = 0; n < 5; ++n) EXPECT_EQ(Step(clip, 0.04f), -1);
    EXPECT_TRUE(clip->isEndOfFile());
    EXPECT_EQ(clip->getFrameQueue().getFirstAvailableFrame(), nullptr);
    EXPECT_EQ(clip->getDroppedFrames(), 0);
    EXPECT_EQ(clip->getFramesPassed(), 10);
}

// The frame duration is the frame rate's denominator over its numerator: 29.97 fps plays
// on rather than freezing after its first frame.
TEST_F(VideoLibrary, NtscRateFramesFollowEachOther) {
    TheoraVideoSpec spec;
    spec.fpsNumerator = 30000;
    spec.fpsDenominator = 1001;
    OgvVideoClip* clip = Open(spec);
    EXPECT_NEAR(clip->getFrameDuration(), 1001.0 / 30000.0, 1e-7);
    EXPECT_NEAR(clip->getDuration(), 10 * 1001.0 / 30000.0, 1e-5);
    std::vector<int> shown;
    for (int step = 0; step < 20; ++step) {
        const int n = Step(clip, step == 0 ? 0.0f : 1001.0f / 30000.0f);
        if (n >= 0) shown.push_back(n);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// A 60x40 picture at (2, 4) inside a 64x48 coded frame: the picture alone, from its place.
TEST_F(VideoLibrary, PictureRegionInsideTheCodedFrame) {
    TheoraVideoSpec spec;
    spec.pictureWidth = 60;
    spec.pictureHeight = 40;
    spec.pictureX = 2;
    spec.pictureY = 4;
    spec.frames = 3;
    OgvVideoClip* clip = Open(spec);
    ASSERT_EQ(clip->getWidth(), 60);
    ASSERT_EQ(clip->getHeight(), 40);
    OgvVideoFrame* frame = clip->getNextFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->pixels.size(), 60u * 40u * 3u);
    for (std::size_t i = 0; i < frame->pixels.size(); ++i)
        ASSERT_EQ(frame->pixels[i], GreyOf(FlatFrameLuma(0))) << "byte " << i;
}

TEST_F(VideoLibrary, LateFramesAreDroppedUnlessTheOnlyOneReady) {
    OgvVideoClip* clip = Open({});
    for (int n = 0; n < 5; ++n) clip->decodeNextFrame();
    ASSERT_EQ(clip->getFrameQueue().getReadyCount(), 6);
    clip->update(0.13f);  // inside frame 3's interval
    OgvVideoFrame* frame = clip->getNextFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frameNumber, 3);
    EXPECT_EQ(clip->getDroppedFrames(), 3);

    OgvVideoClip* lone = Open({});
    lone->update(0.3f);
    frame = lone->getNextFrame();
    ASSERT_NE(frame, nullptr) << "late, but nothing else is ready";
    EXPECT_EQ(frame->frameNumber, 0);
    lone->popFrame();
    // The decoder skips frames that are already over without converting them.
    lone->decodeNextFrame();
    frame = lone->getNextFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frameNumber, 7);
    EXPECT_EQ(lone->getDroppedFrames(), 6);
}

// At the wrap both frames of the old pass still queued move onto the new clock and, being
// late there, give way to the new pass's first frame; playing then goes on frame by frame.
TEST_F(VideoLibrary, LoopWrapRetimesEveryStaleFrame) {
    OgvVideoClip* clip = Open({});
    clip->setLoop(true);
    for (int n = 0; n < 14; ++n) clip->decodeNextFrame();  // pass one, the restart, pass two's start
    for (int n = 0; n < 8; ++n) EXPECT_EQ(Step(clip, n == 0 ? 0.02f : 0.04f), n);
    // Frames 8 and 9 of the first pass are still queued when the clock passes the end.
    clip->update(0.11f);
    EXPECT_NEAR(clip->getTimer().getTime(), 0.01f, 1e-5) << "back by exactly the duration";
    EXPECT_EQ(clip->getIteration(), 1);
    EXPECT_TRUE(Logged("retimed 2 end frames"));
    OgvVideoFrame* frame = clip->getNextFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->frameNumber, 0);
    EXPECT_EQ(frame->pixels[0], GreyOf(FlatFrameLuma(0)));
    clip->popFrame();
    for (int n = 1; n < 10; ++n) EXPECT_EQ(Step(clip, 0.04f), n) << "second pass";
    EXPECT_EQ(Step(clip, 0.04f), 0) << "third pass";
    EXPECT_FALSE(clip->isEndOfFile());
}

// Before the clock wraps, a late frame of the next pass waits while others are ready.
TEST_F(VideoLibrary, NextPassFramesWaitForTheWrap) {
    OgvVideoClip* clip = Open({});
    clip->setLoop(true);
    for (int n = 0; n < 14; ++n) clip->decodeNextFrame();
    for (int n = 0; n < 10; ++n) EXPECT_EQ(Step(clip, n == 0 ? 0.02f : 0.04f), n);
    clip->update(0.005f);  // 0.365: the end of the first pass is not reached yet
    EXPECT_EQ(clip->getNextFrame(), nullptr);
}

TEST_F(VideoLibrary, FileErrorsAreThrownWithTheirText) {
    const std::string video = MakeTheoraVideo({});
    TheoraVideoSpec chroma422;
    chroma422.chroma = 422;
    struct Case {
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {video.substr(0, 100), "End of file found prematurely"},  // inside the header pages
        {MakeOggWithoutTheora(), "No Theora video stream found in memory.ogv"},
        {"", "No Theora video stream found in memory.ogv"},
        {MakeTheoraVideo(chroma422), "Unsupported pixel format in memory.ogv: only 4:2:0 Theora video is played"},
    };
    for (const Case& c : cases) {
        SourceRecord record;
        try {
            manager_.createVideoClip(std::make_unique<MemorySource>(c.bytes, &record));
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const OgvException& e) {
            EXPECT_EQ(e.getMessage(), c.message);
            EXPECT_TRUE(e.getErrorText().starts_with("[ogv_video_clip.cpp:")) << e.getErrorText();
            EXPECT_TRUE(e.getErrorText().ends_with("] - " + c.message)) << e.getErrorText();
        }
        EXPECT_TRUE(record.deleted) << "the source is freed with the clip that failed";
        EXPECT_EQ(manager_.clipCount(), 0);
    }
}

// Damaged or cut files play what can be decoded and end; nothing reads out of bounds
// (the sanitizer build runs this too).
TEST_F(VideoLibrary, DamagedAndTruncatedFilesPlayWhatTheyCan) {
    TheoraVideoSpec spec;
    spec.frames = 30;
    spec.noisy = true;
    spec.quality = 40;
    const std::string video = MakeTheoraVideo(spec);
    spec.frames = 0;
    const std::size_t headerBytes = MakeTheoraVideo(spec).size();
    ASSERT_GT(video.size(), headerBytes + 2000);
    std::vector<std::string> damaged;
    damaged.push_back(video.substr(0, (video.size() + headerBytes) / 2));
    for (std::size_t stride : {97u, 331u, 1021u}) {
        std::string bytes = video;
        for (std::size_t at = headerBytes; at < bytes.size(); at += stride) bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
        damaged.push_back(bytes);
    }
    for (const std::string& bytes : damaged) {
        OgvVideoClip* clip = manager_.createVideoClip(std::make_unique<MemorySource>(bytes));
        for (int n = 0; n < 200 && !(clip->isEndOfFile() && !clip->getFrameQueue().getFirstAvailableFrame()); ++n)
            Step(clip, 0.04f);
        EXPECT_TRUE(clip->isEndOfFile());
        manager_.destroyVideoClip(clip);
    }
}

TEST_F(VideoLibrary, ManagerOwnsClipsAndTheirSources) {
    EXPECT_EQ(OgvVideoManager::getVersionString(), "1.0 RC3");
    SourceRecord record;
    OgvVideoClip* clip = Open({}, &record);
    EXPECT_NE(clip->getFrameQueue().getFirstAvailableFrame(), nullptr) << "the first frame is decoded at once";
    manager_.destroyVideoClip(clip);
    EXPECT_TRUE(record.deleted);
    EXPECT_TRUE(Logged("Destroyed video."));
    manager_.destroyVideoClip(nullptr);
    SourceRecord left;
    {
        OgvVideoManager other;
        other.createVideoClip(std::make_unique<MemorySource>(MakeTheoraVideo({}), &left));
    }
    EXPECT_TRUE(left.deleted) << "the manager frees the clips still open";
}

TEST(FrameQueue, FullQueueAndPopOfAnEmptyFront) {
    OgvFrameQueue queue(3, 2, 2);
    EXPECT_EQ(queue.at(0).pixels, std::vector<uint8_t>(12, 0xFF));
    OgvVideoFrame* frames[3];
    for (auto& frame : frames) ASSERT_NE(frame = queue.requestEmptyFrame(), nullptr);
    EXPECT_EQ(queue.requestEmptyFrame(), nullptr);
    EXPECT_EQ(queue.getFirstAvailableFrame(), nullptr) << "reserved, not ready";
    frames[1]->ready = true;
    EXPECT_EQ(queue.getReadyCount(), 1);
    queue.pop();  // the front was not ready: it still moves to the back
    EXPECT_EQ(&queue.at(2), frames[0]);
    EXPECT_EQ(queue.getFirstAvailableFrame(), frames[1]);
    EXPECT_EQ(queue.requestEmptyFrame(), frames[0]);
}

TEST(OgvExceptionText, KeepsThePathAfterTheSourceFolder) {
    EXPECT_EQ(OgvException("broken", "/home/build/ogvplayer/src/ogv_video_clip.cpp", 12).getErrorText(),
              "[ogv_video_clip.cpp:12] - broken");
    EXPECT_EQ(OgvException("broken", "", 0).getErrorText(), "broken");
}

}  // namespace
