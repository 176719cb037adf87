#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "graphics/texture.h"
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

// The file size field counts 54 header bytes and 4 a pixel in 32 bits.
TEST_F(BmpWriter, SizesThatFitTheFileFormat) {
    struct Case {
        int width, height;
        bool fits;
    };
    for (const Case& c : {Case{32768, 32767, true}, Case{32768, 32768, false}, Case{1073741810, 1, true},
                          Case{1073741811, 1, false}, Case{100000, 100000, false}, Case{0, 5, false}})
        EXPECT_EQ(BmpSizeFits(c.width, c.height), c.fits) << c.width << "x" << c.height;
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

#include "fixtures/image_fixtures.h"
#include "graphics/render_target.h"
#include "platform/d3d9/d3dx9.h"

namespace {

class FakeSurface : public IDirect3DSurface9 {
public:
    unsigned long AddRef() override { return ++refs; }
    unsigned long Release() override { return --refs; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    HRESULT GetDesc(D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT LockRect(D3DLOCKED_RECT*, const RECT*, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT UnlockRect() override { return D3D_OK; }
    unsigned long refs = 1;
};

// Records the scenes drawn into it; can refuse to bind.
class FakeRenderToSurface : public ID3DXRenderToSurface {
public:
    unsigned long AddRef() override { return ++refs; }
    unsigned long Release() override { return --refs; }
    HRESULT BeginScene(IDirect3DSurface9*, const D3DVIEWPORT9*) override {
        if (refuse) return D3DERR_INVALIDCALL;
        ++begun;
        return D3D_OK;
    }
    HRESULT EndScene(DWORD) override {
        ++ended;
        return D3D_OK;
    }
    unsigned long refs = 1;
    int begun = 0, ended = 0;
    bool refuse = false;
};

class TargetDeviceTexture : public FakeTexture {
public:
    TargetDeviceTexture() : FakeTexture(64, 64, D3DFMT_A8R8G8B8, 4) {}
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9** out) override {
        surface.AddRef();
        *out = &surface;
        return D3D_OK;
    }
    FakeSurface surface;
};

struct FakeTarget {
    TargetDeviceTexture device;
    FakeRenderToSurface target;
    Texture record;
    FakeTarget() {
        record.width = record.height = 64;
        record.deviceTexture = &device;
        record.renderTarget = &target;
        record.isRenderTarget = true;
    }
};

class RenderTargetTest : public RenderFixture {
protected:
    void SetUp() override {
        RenderFixture::SetUp();
        ASSERT_TRUE(BeginScene());
    }
    void TearDown() override {
        CloseLeftoverRenderTarget();
        ReleaseAllTextures();
        RenderFixture::TearDown();
    }
    void PendingQuad() { DrawRectangle(nullptr, 10, 10, 0, 8, 8, 0, 1, 1); }
};

TEST_F(RenderTargetTest, BeginClosesTheSceneAndEndReopensIt) {
    FakeTarget t;
    PendingQuad();
    ASSERT_TRUE(BeginRenderToTexture(&t.record, 0xFF000000u));
    EXPECT_EQ(device.draws.size(), 1u);  // the back buffer's quad went first
    EXPECT_EQ(device.scenesEnded, 1);
    EXPECT_FALSE(g_renderer.sceneBegun);
    EXPECT_TRUE(g_renderer.renderTargetActive);
    EXPECT_EQ(ActiveRenderTarget(), &t.record);
    EXPECT_EQ(t.target.begun, 1);
    PendingQuad();
    EndRenderToTexture();
    EXPECT_EQ(device.draws.size(), 2u);  // flushed into the target before leaving it
    EXPECT_EQ(t.target.ended, 1);
    EXPECT_TRUE(g_renderer.sceneBegun);
    EXPECT_FALSE(g_renderer.renderTargetActive);
    EXPECT_EQ(ActiveRenderTarget(), nullptr);
    EXPECT_EQ(t.device.surface.refs, 1u);  // the bound level was let go
}

TEST_F(RenderTargetTest, TargetsDoNotNest) {
    FakeTarget a, b;
    ASSERT_TRUE(BeginRenderToTexture(&a.record, 0));
    ASSERT_TRUE(BeginRenderToTexture(&b.record, 0));
    EXPECT_EQ(a.target.ended, 1);
    EXPECT_EQ(b.target.begun, 1);
    EXPECT_FALSE(g_renderer.sceneBegun);  // still drawing into b
    EndRenderToTexture();
    EXPECT_TRUE(g_renderer.sceneBegun);
    EXPECT_EQ(b.target.ended, 1);
}

TEST_F(RenderTargetTest, EndWithoutTargetDoesNothing) {
    PendingQuad();
    EndRenderToTexture();
    EXPECT_EQ(PendingBatchVertices(0), 4);
    EXPECT_TRUE(device.draws.empty());
    EXPECT_EQ(device.scenesEnded, 0);
}

TEST_F(RenderTargetTest, RefusedBindStaysOnTheBackBuffer) {
    FakeTarget t;
    t.target.refuse = true;
    EXPECT_FALSE(BeginRenderToTexture(&t.record, 0));
    EXPECT_TRUE(g_renderer.sceneBegun);
    EXPECT_FALSE(g_renderer.renderTargetActive);
    EXPECT_FALSE(g_renderer.sceneWasBegun);
}

TEST_F(RenderTargetTest, TextureWithoutTargetIsFatal) {
    Texture plain;
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            BeginRenderToTexture(&plain, 0);
        },
        testing::ExitedWithCode(3), "BeginRenderToTexture - texture is not a render target");
}

TEST_F(RenderTargetTest, LeftoverTargetIsClosedBeforeTheNextClear) {
    FakeTarget t;
    ASSERT_TRUE(BeginRenderToTexture(&t.record, 0));
    // The frame ends with the scripts' target still bound.
    FlushBatch(kAllBatchSlots);
    EndScene();
    const int scenes = device.scenesBegun;
    CloseLeftoverRenderTarget();
    EXPECT_EQ(t.target.ended, 1);
    EXPECT_FALSE(g_renderer.renderTargetActive);
    EXPECT_FALSE(g_renderer.sceneBegun);  // no scene is opened before the clear
    EXPECT_EQ(device.scenesBegun, scenes);
    EXPECT_TRUE(ClearScreen());
    EXPECT_TRUE(BeginScene());
}

TEST_F(RenderTargetTest, ActiveTargetOutlivesItsLastReference) {
    const MountedDir dir;
    dir.Write("layer.png", EncodeImage(FixtureFormat::Png, 4, 4, 4, PatternPixels(4, 4, 4)));
    Texture* layer = LoadTexture("layer");
    FakeTarget fake;
    layer->deviceTexture = &fake.device;
    layer->renderTarget = &fake.target;
    ASSERT_TRUE(BeginRenderToTexture(layer, 0));
    layer->refCount = 0;
    ReleaseUnusedTextures();  // as when a script collects garbage during its render
    ASSERT_EQ(AllTextures().size(), 1u);
    EndRenderToTexture();
    EXPECT_EQ(fake.target.ended, 1);
    ReleaseUnusedTextures();
    EXPECT_TRUE(AllTextures().empty());
}

}  // namespace

#include "graphics/image_files.h"
#include "graphics/image_loader.h"
#include "software_device_fixture.h"

namespace {

const float kRed[3] = {1, 0, 0};
const float kGreen[3] = {0, 1, 0};

class DrawnTargetTest : public SoftwareDeviceTest {};

TEST_F(DrawnTargetTest, SceneDrawnIntoATargetReadsBack) {
    Open(128, 96, 64, 48);  // letterbox scale 2 on the back buffer
    Texture* target = CreateBlankTexture(32, 32, 16, 16, true, false, true, false, false);
    ASSERT_NE(target, nullptr);
    BeginFrame();
    DrawRectangle(kGreen, 0, 0, 0, 4, 4, 0, 1, 1);  // on the back buffer, before the target
    ASSERT_TRUE(BeginRenderToTexture(target, 0xFF0000FFu));
    DrawRectangle(kRed, 8, 8, 0, 8, 8, 0, 1, 1);  // target pixels: no letterbox
    EndRenderToTexture();
    EXPECT_TRUE(g_renderer.sceneBegun);
    EndScene();
    EXPECT_EQ(TexturePixel(target->deviceTexture, 9, 9), 0xFFFF0000u);
    EXPECT_EQ(TexturePixel(target->deviceTexture, 15, 15), 0xFFFF0000u);
    EXPECT_EQ(TexturePixel(target->deviceTexture, 16, 16), 0xFF0000FFu);
    EXPECT_EQ(TexturePixel(target->deviceTexture, 4, 4), 0xFF0000FFu);
    target->refCount = 0;
}

// Decodes a saved screenshot: width, height and the top-left pixel as the engine's RGBA word.
struct Shot {
    int width = 0, height = 0;
    uint32_t topLeft = 0, bottomRight = 0;
};

Shot ReadShot(const std::string& name) {
    Shot shot;
    const auto file = LoadStoredFile(name);
    if (!file) return shot;
    DecodedImage image;
    if (TryDecodeImage(file->data(), file->size(), image) == 0) return shot;
    shot = {image.width, image.height, image.pixels[0],
            image.pixels[static_cast<std::size_t>(image.width) * image.height - 1]};
    return shot;
}

class ScreenshotTest : public SoftwareDeviceTest {
protected:
    // A green virtual screen with a red top-left corner of 8 x 8 virtual pixels.
    void DrawScene() {
        BeginFrame();
        DrawRectangle(kGreen, 0, 0, 0, static_cast<float>(g_renderer.virtualWidth),
                      static_cast<float>(g_renderer.virtualHeight), 0, 1, 1);
        DrawRectangle(kRed, 0, 0, 0, 8, 8, 0, 1, 1);
        EndScene();
    }
};

TEST_F(ScreenshotTest, LetterboxedScreenIsSavedAtItsWindowSize) {
    Open(1280, 720, 1024, 768);
    DrawScene();
    TakeScreenshot(nullptr, nullptr, nullptr);
    TakeScreenshot(nullptr, nullptr, nullptr);
    const Shot first = ReadShot("screenshots/screen000.bmp");
    EXPECT_EQ(first.width, 960);
    EXPECT_EQ(first.height, 720);
    EXPECT_EQ(first.topLeft, 0xFF0000FFu);      // red, opaque, the right way up
    EXPECT_EQ(first.bottomRight, 0xFF00FF00u);  // green up to the picture's edge
    EXPECT_EQ(ReadShot("screenshots/screen001.bmp").width, 960);
}

// Sizes whose file would not fit the format's 32-bit byte counts (from 2^30 pixels on) are
// refused with a warning before any memory is taken; the next screenshot is taken as usual.
TEST_F(ScreenshotTest, DestinationsTooLargeForAFileAreRefused) {
    Open(128, 96, 64, 48);
    DrawScene();
    for (const ScreenshotSize size : {ScreenshotSize{100000, 100000}, ScreenshotSize{32768, 32768},
                                      ScreenshotSize{1 << 30, 1}, ScreenshotSize{65536, 16384}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        g_config.create_log = true;
        testing::internal::CaptureStderr();
        TakeScreenshot("huge.bmp", nullptr, &size);
        const std::string log = testing::internal::GetCapturedStderr();
        g_config.create_log = false;
        EXPECT_NE(log.find("WARNING"), std::string::npos);
        EXPECT_NE(log.find(std::to_string(size.width) + "x" + std::to_string(size.height) + " pixels do not fit"),
                  std::string::npos)
            << log;
        EXPECT_FALSE(LoadStoredFile("huge.bmp"));
    }
    const ScreenshotSize small{32, 24};
    TakeScreenshot("small.bmp", nullptr, &small);
    EXPECT_EQ(ReadShot("small.bmp").width, 32);
}

TEST_F(ScreenshotTest, SourceRectangleResampledToTheDestination) {
    Open(128, 96, 64, 48);
    DrawScene();
    const ScreenshotRect corner{0, 0, 16, 16};
    const ScreenshotSize size{4, 4};
    TakeScreenshot("corner.png", &corner, &size);
    const Shot shot = ReadShot("corner.png.bmp");
    EXPECT_EQ(shot.width, 4);
    EXPECT_EQ(shot.height, 4);
    EXPECT_EQ(shot.topLeft, 0xFF0000FFu);
    EXPECT_EQ(shot.bottomRight, 0xFF00FF00u);
}

}  // namespace
