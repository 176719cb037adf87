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
