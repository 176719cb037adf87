// The video glue on the software device: frames reach the texture, the last one stays,
// alpha-packed frames, and what reopening leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/theora_video.h"
#include "ogv_log.h"
#include "ogv_video_clip.h"
#include "unit/graphics/software_device_fixture.h"
#include "video/video_handle.h"
#include "video/video_manager.h"

namespace {

uint32_t Grey(int luma) {
    const uint32_t g = static_cast<uint32_t>(std::clamp(static_cast<int>((luma - 16) * 9535.988) >> 13, 0, 255));
    return g << 16 | g << 8 | g;
}

int OpenFileCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

class VideoGlue : public SoftwareDeviceTest {
protected:
    void SetUp() override {
        Open(64, 64, 64, 64);
        OgvSetLogFunction([](const std::string&) {});
        CreateVideoManager();
    }
    void TearDown() override {
        CloseVideoClip(handle_);
        DestroyVideoManager();
        OgvSetLogFunction(nullptr);
        SoftwareDeviceTest::TearDown();
    }
    uint32_t Pixel(int x, int y) const { return TexturePixel(handle_.texture->deviceTexture, x, y); }

    VideoHandle handle_;
};

TEST_F(VideoGlue, FramesReachTheTextureAndTheLastOneStays) {
    dir_.Write("clip.ogv", MakeTheoraVideo({}));
    Texture* texture = OpenVideoClip(handle_, "clip.ogv");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(SpriteRectOf(texture, "main").width, 64);
    EXPECT_EQ(SpriteRectOf(texture, "main").height, 48);
    UpdateVideoClip(handle_, 0);
    EXPECT_EQ(Pixel(10, 10), 0xFF000000u | Grey(FlatFrameLuma(0))) << "the first frame before any time passes";
    UpdateVideoClip(handle_, 0.05f);
    EXPECT_EQ(Pixel(63, 47), 0xFF000000u | Grey(FlatFrameLuma(1)));
    for (int n = 0; n < 40; ++n) UpdateVideoClip(handle_, 0.04f);
    EXPECT_TRUE(handle_.clip->isEndOfFile());
    const uint32_t last = 0xFF000000u | Grey(FlatFrameLuma(9));
    EXPECT_EQ(Pixel(10, 10), last);

    // A lost device or a full-screen toggle makes the texture anew, empty.
    ReleaseDeviceTextures();
    ReloadDeviceTextures();
    ASSERT_NE(Pixel(10, 10), last) << "the new texture starts empty";
    UpdateVideoClip(handle_, 0.04f);
    EXPECT_EQ(Pixel(10, 10), last);
}

TEST_F(VideoGlue, AlphaPackedFramesTakeAlphaFromTheRightHalf) {
    TheoraVideoSpec spec;
    spec.rightLuma = 126;
    dir_.Write("packed.ogv", MakeTheoraVideo(spec));
    handle_.alphaPacked = true;
    Texture* texture = OpenVideoClip(handle_, "packed.ogv");
    ASSERT_NE(texture, nullptr);
    EXPECT_TRUE(texture->hasAlpha);
    EXPECT_EQ(SpriteRectOf(texture, "main").width, 32);
    UpdateVideoClip(handle_, 0.05f);  // frame 1: luma 26 on the left
    EXPECT_EQ(Pixel(5, 5), (Grey(126) & 0xFF) << 24 | Grey(FlatFrameLuma(1)));
    EXPECT_EQ(Pixel(31, 47), (Grey(126) & 0xFF) << 24 | Grey(FlatFrameLuma(1)));
}

// Each reopening closes the previous clip's file and gives up its texture.
TEST_F(VideoGlue, ReopeningLeavesNoFilesOrTexturesBehind) {
    dir_.Write("clip.ogv", MakeTheoraVideo({}));
    OpenVideoClip(handle_, "clip.ogv");
    UpdateVideoClip(handle_, 0);
    ReleaseUnusedTextures();
    const int files = OpenFileCount();
    const std::size_t textures = AllTextures().size();
    for (int n = 0; n < 100; ++n) {
        ASSERT_NE(OpenVideoClip(handle_, "clip.ogv"), nullptr);
        UpdateVideoClip(handle_, 0);
    }
    ReleaseUnusedTextures();
    EXPECT_EQ(OpenFileCount(), files);
    EXPECT_EQ(AllTextures().size(), textures);
    EXPECT_EQ(Pixel(0, 0), 0xFF000000u | Grey(FlatFrameLuma(0)));
}

TEST_F(VideoGlue, NothingWithoutAManagerOrAName) {
    EXPECT_EQ(OpenVideoClip(handle_, ""), nullptr);
    DestroyVideoManager();
    dir_.Write("clip.ogv", MakeTheoraVideo({}));
    EXPECT_EQ(OpenVideoClip(handle_, "clip.ogv"), nullptr);
    EXPECT_EQ(handle_.clip, nullptr);
    UpdateVideoClip(handle_, 0.1f);
}

}  // namespace
