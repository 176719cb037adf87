#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "graphics/bmp_writer.h"
#include "graphics/surface.h"

namespace {

// Warnings reach standard error only while the log is on.
class LoggedTest : public ::testing::Test {
protected:
    void SetUp() override { g_config.create_log = true; }
    void TearDown() override { g_config.create_log = false; }
    MountedDir dir_;
};

using BmpWriter = LoggedTest;

TEST_F(BmpWriter, HeaderOfATwoByOneSurface) {
    Surface s;
    s.Create(2, 1, true);
    s.pixels[0] = 0x44332211u;
    s.pixels[1] = 0x88776655u;
    const std::vector<uint8_t> expected = {
        'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                      // file header
        40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 8, 0, 0, 0,  // info header
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                          //
        0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,                          // pixels as stored
    };
    EXPECT_EQ(EncodeBmp(s), expected);

    SaveSurfaceAsBMP("shots/shot.bmp", s);
    const std::string written = dir_.Read("shots/shot.bmp");
    EXPECT_EQ(std::vector<uint8_t>(written.begin(), written.end()), expected);
}

TEST_F(BmpWriter, FileNamesGetTheBmpExtension) {
    struct Case {
        const char *name, *file;
        bool warns;
    };
    for (const Case& c : {Case{"shot.png", "shot.png.bmp", true}, Case{"shot", "shot.bmp", false},
                          Case{"shot.BMP", "shot.BMP", false}, Case{"dir.v2/shot", "dir.v2/shot.bmp", false}}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(BmpFileName(c.name), c.file);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(log.find("WARNING: SaveSurfaceAsBMP(" + std::string(c.name) + ") - wrong file extension!") !=
                      std::string::npos,
                  c.warns)
            << c.name;
    }
}

TEST_F(BmpWriter, EmptyCaptureAndFailedOpenOnlyWarn) {
    testing::internal::CaptureStderr();
    SaveSurfaceAsBMP("empty.bmp", Surface());
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("nothing to save"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "empty.bmp"));

    Surface s;
    s.Create(1, 1, true);
    std::filesystem::create_directories(dir_ / "taken.bmp");  // a folder cannot be opened as a file
    testing::internal::CaptureStderr();
    SaveSurfaceAsBMP("taken.bmp", s);
    log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("can't open"), std::string::npos);
}

}  // namespace

#include <tuple>

#include "graphics/screenshot.h"
#include "render_fixture.h"

namespace {

class ScreenshotPlanTest : public RenderFixture {};

struct PlanCase {
    const char* label;
    int windowWidth, windowHeight;
    bool hasSource;
    ScreenshotRect source;
    bool hasDestination;
    ScreenshotSize destination;
    ScreenshotRect expectedSource, expectedWindow;
    ScreenshotSize expectedDestination;
    bool resample;
};

TEST_F(ScreenshotPlanTest, RectanglesAreClampedAndMappedThroughTheLetterbox) {
    const PlanCase cases[] = {
        {"whole letterboxed screen", 1280, 720, false, {}, false, {}, {0, 0, 1024, 768}, {160, 0, 1120, 720},
         {1024, 768}, false},
        {"clamped source", 1024, 768, true, {-10, -10, 2000, 2000}, false, {}, {0, 0, 1024, 768}, {0, 0, 1024, 768},
         {1024, 768}, false},
        {"part at scale 1", 1024, 768, true, {100, 50, 300, 150}, true, {200, 100}, {100, 50, 300, 150},
         {100, 50, 300, 150}, {200, 100}, false},
        {"given size under a letterbox", 1280, 720, true, {0, 0, 512, 384}, true, {512, 384}, {0, 0, 512, 384},
         {160, 0, 640, 360}, {512, 384}, true},
        {"smaller destination", 1024, 768, false, {}, true, {256, 0}, {0, 0, 1024, 768}, {0, 0, 1024, 768},
         {256, 768}, true},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(c.label);
        UseWindow(c.windowWidth, c.windowHeight);
        const ScreenshotPlan plan =
            PlanScreenshot("x.bmp", c.hasSource ? &c.source : nullptr, c.hasDestination ? &c.destination : nullptr);
        const auto tuple = [](const ScreenshotRect& r) { return std::tuple(r.left, r.top, r.right, r.bottom); };
        EXPECT_EQ(tuple(plan.source), tuple(c.expectedSource));
        EXPECT_EQ(tuple(plan.window), tuple(c.expectedWindow));
        EXPECT_EQ(plan.destination.width, c.expectedDestination.width);
        EXPECT_EQ(plan.destination.height, c.expectedDestination.height);
        EXPECT_EQ(plan.resample, c.resample);
    }
}

TEST_F(ScreenshotPlanTest, EmptySourceIsFatal) {
    const ScreenshotRect inverted{500, 0, 400, 100};
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            PlanScreenshot("shot.bmp", &inverted, nullptr);
        },
        testing::ExitedWithCode(3), "Bad source rect \\{left=500, top=0, rigth=400, bottom=100\\}!\n <shot.bmp>");
}

TEST_F(ScreenshotPlanTest, UnreadableBackBufferIsAWarning) {
    const MountedDir dir;
    g_config.create_log = true;
    testing::internal::CaptureStderr();
    TakeScreenshot("shot.bmp", nullptr, nullptr);  // the recording device has no back buffer
    const std::string log = testing::internal::GetCapturedStderr();
    g_config.create_log = false;
    EXPECT_NE(log.find("could not be read"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "shot.bmp"));
}

}  // namespace
