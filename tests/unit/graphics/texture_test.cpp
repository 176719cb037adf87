#include "graphics/texture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fixtures/image_fixtures.h"
#include "fixtures/mounted_dir.h"
#include "render_fixture.h"

namespace {

// Texture files are written into a fresh data folder that the texture unit reads from.
class TextureTest : public RenderFixture {
protected:
    void TearDown() override {
        ReleaseAllTextures();
        RenderFixture::TearDown();
    }

    void Png(const std::string& name, int width, int height, int channels = 4) {
        dir_.Write(name, EncodeImage(FixtureFormat::Png, width, height, channels, PatternPixels(width, height, channels)));
    }
    void Text(const std::string& name, const std::string& text) { dir_.Write(name, text); }

    MountedDir dir_;
};

void ExpectRect(const SpriteRect& r, const SpriteRect& expected) {
    const float got[] = {r.u0, r.v0, r.u1, r.v1, r.width, r.height, r.pivotX, r.pivotY};
    const float want[] = {expected.u0,    expected.v0,     expected.u1,     expected.v1,
                          expected.width, expected.height, expected.pivotX, expected.pivotY};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(got[i], want[i]) << "field " << i;
}

TEST_F(TextureTest, NameWithoutExtensionPrefersDdsAndIsShared) {
    Png("gfx/hero.png", 4, 4);
    dir_.Write("gfx/hero.dds", EncodeDds(2, 2, PatternPixels(2, 2, 4)));
    Texture* first = LoadTexture("gfx\\hero ");
    EXPECT_EQ(first->name, "gfx/hero.dds");
    EXPECT_EQ(first->formatIndex, kFormatDds);
    EXPECT_EQ(first->imageWidth, 2);
    Texture* second = LoadTexture("gfx/hero");
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->refCount, 2);
    Texture* png = LoadTexture("gfx/hero.png");
    EXPECT_NE(png, first);
    EXPECT_EQ(png->formatIndex, kFormatPng);
    EXPECT_EQ(AllTextures().size(), 2u);
}

TEST_F(TextureTest, PaddedToPowersOfTwoWithMainSprite) {
    Png("box.png", 100, 50);
    Texture* t = LoadTexture("box");
    EXPECT_EQ(t->width, 128);
    EXPECT_EQ(t->height, 64);
    EXPECT_EQ(t->imageWidth, 100);
    EXPECT_EQ(t->imageHeight, 50);
    ExpectRect(GetSprite(t, "main"), {0, 0, 0.78125f, 0.78125f, 100, 50, 50, 25});
}

TEST_F(TextureTest, PaddingOffKeepsTheImageSize) {
    g_renderer.texForcePowerOf2 = false;
    Png("box.png", 100, 50);
    Texture* t = LoadTexture("box.png");
    EXPECT_EQ(t->width, 100);
    EXPECT_FLOAT_EQ(GetSprite(t, "main").u1, 1.0f);
}

TEST_F(TextureTest, SpriteSheetWithScale) {
    Png("hero.png", 128, 64);
    Text("hero.txt",
         "idle 0 0 64 64 32 60\n@scale 2\n1 2 3 4 5 6\nshort 1 2 3 4 5\n# a comment\n\n@scale\nrun 64 0 64 64 32 60\r\n");
    Texture* t = LoadTexture("hero");
    ASSERT_EQ(t->sprites.size(), 2u);
    EXPECT_EQ(t->sprites[1].name, "run");
    EXPECT_EQ(FindSprite(t, "short"), nullptr);
    EXPECT_EQ(FindSprite(t, "1"), nullptr);
    EXPECT_FLOAT_EQ(t->scale, 2.0f);
    ExpectRect(GetSprite(t, "idle"), {0, 0, 0.5f, 1, 32, 32, 16, 30});
    EXPECT_FLOAT_EQ(GetSprite(t, "run").u0, 0.5f);
}

// A repeated name keeps its first entry; the index is built once, not on every lookup
// (a rebuild would forget where the last lookup found its sprite).
TEST_F(TextureTest, RepeatedSpriteNameKeepsTheFirstAndIndexesOnce) {
    Png("hero.png", 128, 64);
    Text("hero.txt", "idle 0 0 64 64 32 60\nrun 64 0 64 64 32 60\nidle 0 0 8 8 0 0\n");
    Texture* t = LoadTexture("hero");
    ASSERT_EQ(t->sprites.size(), 3u);
    EXPECT_EQ(FindSprite(t, "idle"), &t->sprites[0]);
    EXPECT_EQ(FindSprite(t, "run"), &t->sprites[1]);
    EXPECT_EQ(FindSprite(t, "none"), nullptr);
    EXPECT_EQ(t->lastSprite, 1u);
}

// A scale of zero or below would give sprites of infinite or negative size.
TEST_F(TextureTest, SpriteSheetScaleMustBePositive) {
    Png("hero.png", 128, 64);
    Text("hero.txt", "@scale 2\n@scale 0\nidle 0 0 64 64 32 60\n@scale -3\n@scale -0\n");
    Texture* t = LoadTexture("hero");
    EXPECT_FLOAT_EQ(t->scale, 2.0f);
    ExpectRect(GetSprite(t, "idle"), {0, 0, 0.5f, 1, 32, 32, 16, 30});
}

TEST_F(TextureTest, MissingSpriteIsFatal) {
    Png("hero.png", 8, 8);
    Texture* t = LoadTexture("hero");
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            GetSprite(t, "jump");
        },
        testing::ExitedWithCode(3), "Missing sprite <jump> in texture <hero.png>");
}

struct CropCase {
    const char* label;
    int x, y, width, height;
    float scale;
    float u0, v0, w, h;  // expected: position in texture pixels, size in drawing units
};

TEST_F(TextureTest, CropAppliesToOneLookup) {
    Png("sheet.png", 64, 64);
    Texture* t = LoadTexture("sheet");
    const CropCase cases[] = {
        {"left edge", 8, 0, 0, 0, 1, 8, 0, 56, 64},
        {"box", 4, 6, 16, 10, 1, 4, 6, 16, 10},
        {"negative stops short", 0, 0, -8, -4, 1, 0, 0, 56, 60},
        {"beyond the sprite", 100, 70, 0, 0, 1, 64, 64, 0, 0},
        {"wider than the rest", 60, 0, 30, 0, 1, 60, 0, 4, 64},
        {"scaled", 8, 0, 0, 0, 2, 16, 0, 24, 32},
    };
    for (const CropCase& c : cases) {
        SCOPED_TRACE(c.label);
        t->scale = c.scale;
        CropNextSprite(c.x, c.y, c.width, c.height);
        const SpriteRect r = GetSprite(t, "main");
        EXPECT_FLOAT_EQ(r.u0 * 64, c.u0);
        EXPECT_FLOAT_EQ(r.v0 * 64, c.v0);
        EXPECT_FLOAT_EQ(r.width, c.w);
        EXPECT_FLOAT_EQ(r.height, c.h);
        EXPECT_GE(r.u1, r.u0);
        const SpriteRect next = GetSprite(t, "main");
        EXPECT_FLOAT_EQ(next.u0, 0.0f);
        EXPECT_FLOAT_EQ(next.width, 64.0f / c.scale);
    }
}

TEST_F(TextureTest, AlphaFileMustMatchTheImageSize) {
    Png("tree.png", 4, 4, 3);
    Png("tree_alpha.png", 4, 2, 1);
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            LoadTexture("tree");
        },
        testing::ExitedWithCode(3), "Sizes of bitmap <tree.png> and its alpha file <tree_alpha.png> must be the same\\.");
}

TEST_F(TextureTest, ColourImagesAreMarkedAsHavingAlpha) {
    Png("tree.png", 4, 4, 3);
    Png("rock.png", 4, 4, 3);
    Png("rock_alpha.png", 4, 4, 1);
    EXPECT_TRUE(LoadTexture("tree")->hasAlpha);
    EXPECT_TRUE(LoadTexture("rock")->hasAlpha);
}

TEST_F(TextureTest, LoadFailuresAreFatal) {
    dir_.Write("anim.gif", "GIF89a");
    Png("wide.png", 16385, 1, 1);
    dir_.Write("tall.dds", EncodeDds(1, 20000, std::vector<uint8_t>(4, 0)));
    struct Case {
        const char *name, *message;
    };
    for (const Case& c : {Case{"nothing", "Can't find texture 'nothing'"},
                          Case{"anim.gif", "Unknown texture format in <anim\\.gif>"},
                          Case{"wide", "Image too large: 16385x1 pixels \\(at most 16384x16384\\)"},
                          Case{"tall", "Image too large: 1x20000 pixels"}}) {
        EXPECT_EXIT(
            {
                g_config.create_log = true;
                LoadTexture(c.name);
            },
            testing::ExitedWithCode(3), c.message);
    }
}

TEST_F(TextureTest, UnreferencedTextureIsReusedWithinTheFrame) {
    Png("coin.png", 8, 8);
    Texture* t = LoadTexture("coin");
    t->refCount -= 1;
    std::filesystem::remove(dir_ / "coin.png");  // a reload would now be fatal
    EXPECT_EQ(LoadTexture("coin.png"), t);
    EXPECT_EQ(t->refCount, 1);
    t->refCount = 0;
    ReleaseUnusedTextures();
    EXPECT_TRUE(AllTextures().empty());
}

// This device refuses every texture: the load warns with the size, and its quads draw
// nothing (not plain rectangles), batched or not, while untextured quads still draw.
TEST_F(TextureTest, TextureTheDeviceRefusedDrawsNothing) {
    Png("wall.png", 100, 50);
    g_config.create_log = true;
    testing::internal::CaptureStderr();
    Texture* wall = LoadTexture("wall");
    const std::string log = testing::internal::GetCapturedStderr();
    g_config.create_log = false;
    EXPECT_NE(log.find("Texture <wall.png>: the device refused 100x50 pixels (128x64 on the device"),
              std::string::npos)
        << log;
    ASSERT_EQ(DeviceHandle(wall), 0u);
    DrawSprite(wall, "main", 10, 10, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    const RenderVertex quad[4] = {};
    DrawTriangles(quad, 4, kQuadIndices, 6, wall, kAddressClamp, "main");
    FlushBatch(kAllBatchSlots);
    EXPECT_TRUE(device.draws.empty());
    const float white[3] = {1, 1, 1};
    DrawRectangle(white, 0, 0, 0, 8, 8, 0, 1, 1);
    FlushBatch(kAllBatchSlots);
    EXPECT_EQ(device.draws.size(), 1u);
    wall->refCount = 0;
}

TEST_F(TextureTest, ReleaseFlushesPendingQuadsAndUnbindsFirst) {
    Png("coin.png", 8, 8);
    Png("gem.png", 8, 8);
    Texture* coin = LoadTexture("coin");
    Texture* gem = LoadTexture("gem");
    FakeTexture coinDevice(8, 8, D3DFMT_A8R8G8B8, 4), gemDevice(8, 8, D3DFMT_A8R8G8B8, 4);
    coin->deviceTexture = &coinDevice;
    gem->deviceTexture = &gemDevice;
    DrawSprite(gem, "main", 10, 10, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    FlushBatch(kAllBatchSlots);
    DrawSprite(coin, "main", 10, 10, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);  // still pending
    ASSERT_EQ(device.draws.size(), 1u);
    coin->refCount = 0;
    gem->refCount = 0;
    ReleaseUnusedTextures();
    ASSERT_EQ(device.draws.size(), 2u);  // the coin quad reached the device before the coin went
    EXPECT_EQ(device.draws[1].texture, &coinDevice);
    EXPECT_EQ(device.texture, nullptr);
    EXPECT_EQ(g_renderer.currentTexture, nullptr);
    EXPECT_TRUE(AllTextures().empty());
}

}  // namespace

namespace {

TEST_F(TextureTest, DeviceRecreationKeepsRecordsAndReloadsImages) {
    Png("hero.png", 16, 8);
    Text("hero.txt", "idle 0 0 8 8 4 4\n@scale 2\n");
    Texture* t = LoadTexture("hero");
    t->refCount = 3;
    FakeTexture bound(16, 8, D3DFMT_A8R8G8B8, 4);
    t->deviceTexture = &bound;
    DrawSprite(t, "idle", 10, 10, 0, 0, 1, 1, 1, nullptr, 0, 0, 0, 0);
    FlushBatch(kAllBatchSlots);
    ASSERT_EQ(device.texture, &bound);
    ReleaseDeviceTextures();
    EXPECT_EQ(device.texture, nullptr);  // nothing released stays bound
    EXPECT_EQ(g_renderer.currentTexture, nullptr);
    EXPECT_EQ(t->deviceTexture, nullptr);
    EXPECT_EQ(t->memoryBytes, 0);
    Png("hero.png", 32, 8);  // what is on disk now is what comes back
    ReloadDeviceTextures();
    EXPECT_EQ(t->imageWidth, 32);
    EXPECT_EQ(t->refCount, 3);
    EXPECT_FLOAT_EQ(t->scale, 2.0f);
    ASSERT_EQ(t->sprites.size(), 1u);
    EXPECT_EQ(t->sprites[0].name, "idle");
    t->refCount = 0;
}

TEST_F(TextureTest, ShutdownReportsTexturesStillReferenced) {
    Png("kept.png", 4, 4);
    Png("dropped.png", 4, 4);
    LoadTexture("kept")->refCount = 2;
    LoadTexture("dropped")->refCount = 0;
    g_config.create_log = true;
    testing::internal::CaptureStderr();
    ReleaseAllTextures();
    const std::string log = testing::internal::GetCapturedStderr();
    g_config.create_log = false;
    EXPECT_NE(log.find("Texture is not released: kept.png [ref: 2]"), std::string::npos);
    EXPECT_EQ(log.find("dropped.png"), std::string::npos);
    EXPECT_TRUE(AllTextures().empty());
}

}  // namespace

#include "software_device_fixture.h"

namespace {

class TextureUploadTest : public SoftwareDeviceTest {
protected:
    void SetUp() override { Open(64, 64, 64, 64); }
};

TEST_F(TextureUploadTest, AlphaFileAndEdgeDuplicationReachTheDevice) {
    // 3 x 3 grey-blue image, alpha from the alpha file's blue byte; padded to 4 x 4.
    std::vector<uint8_t> rgb(27), alpha(9);
    for (int i = 0; i < 9; ++i) rgb[i * 3] = static_cast<uint8_t>(10 * i), rgb[i * 3 + 2] = 200, alpha[i] = static_cast<uint8_t>(20 * i);
    dir_.Write("tree.png", EncodeImage(FixtureFormat::Png, 3, 3, 3, rgb));
    dir_.Write("tree_alpha.png", EncodeImage(FixtureFormat::Png, 3, 3, 1, alpha));
    Texture* t = LoadTexture("tree");
    ASSERT_NE(t->deviceTexture, nullptr);
    EXPECT_EQ(t->width, 4);
    EXPECT_EQ(g_renderer.statistics.texturesAllocated, 1);
    EXPECT_EQ(g_renderer.statistics.textureBytes, 4 * 4 * 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const int i = y * 3 + x;
            EXPECT_EQ(TexturePixel(t->deviceTexture, x, y), uint32_t(20 * i) << 24 | uint32_t(10 * i) << 16 | 200u)
                << x << "," << y;
        }
    EXPECT_EQ(TexturePixel(t->deviceTexture, 3, 1), TexturePixel(t->deviceTexture, 2, 1));
    EXPECT_EQ(TexturePixel(t->deviceTexture, 1, 3), TexturePixel(t->deviceTexture, 1, 2));
    EXPECT_EQ(TexturePixel(t->deviceTexture, 3, 3), TexturePixel(t->deviceTexture, 2, 2));
    t->refCount = 0;
    ReleaseUnusedTextures();
    EXPECT_EQ(g_renderer.statistics.texturesAllocated, 0);
    EXPECT_EQ(g_renderer.statistics.textureBytes, 0);
}

TEST_F(TextureUploadTest, GreyImageKeepsGreyAsAlpha) {
    dir_.Write("mask.png", EncodeImage(FixtureFormat::Png, 2, 1, 1, {0, 128}));
    Texture* t = LoadTexture("mask");
    EXPECT_EQ(TexturePixel(t->deviceTexture, 1, 0), 0x80808080u);
    EXPECT_EQ(TexturePixel(t->deviceTexture, 0, 0), 0u);
}

TEST_F(TextureUploadTest, BlankTexturesAndTheirRecreation) {
    Texture* target = CreateBlankTexture(100, 30, 50, 15, true, false, true, false, false);
    ASSERT_NE(target, nullptr);
    EXPECT_NE(target->renderTarget, nullptr);
    EXPECT_EQ(target->refCount, 1);
    EXPECT_EQ(target->formatIndex, kFormatNone);
    EXPECT_EQ(target->imageWidth, 100);
    ASSERT_NE(FindSprite(target, "main"), nullptr);
    EXPECT_EQ(FindSprite(target, "main")->pivotX, 50);
    EXPECT_EQ(g_renderer.statistics.texturesAllocated, 1);
    ReleaseDeviceTextures();
    EXPECT_EQ(target->deviceTexture, nullptr);
    EXPECT_EQ(target->renderTarget, nullptr);
    EXPECT_EQ(g_renderer.statistics.texturesAllocated, 0);
    ReloadDeviceTextures();
    EXPECT_NE(target->deviceTexture, nullptr);
    EXPECT_NE(target->renderTarget, nullptr);
    EXPECT_EQ(g_renderer.statistics.texturesAllocated, 1);
    EXPECT_EQ(CreateBlankTexture(0, 10, 0, 0, true, false, false, false, false), nullptr);
    target->refCount = 0;
}

}  // namespace

namespace {

TEST_F(TextureUploadTest, MemoryCountFollowsTheTextureKeys) {
    dir_.Write("box.png", EncodeImage(FixtureFormat::Png, 100, 50, 4, PatternPixels(100, 50, 4)));
    struct Case {
        const char* label;
        bool tex16bit, dxt;
        int bytes;
    };
    for (const Case& c : {Case{"32-bit", false, false, 128 * 64 * 4}, Case{"16-bit", true, false, 128 * 64 * 2},
                          Case{"dxt count", false, true, 128 * 64}}) {
        SCOPED_TRACE(c.label);
        g_renderer.tex16bit = g_config.tex_16bit = c.tex16bit;
        g_renderer.texForceDxt = c.dxt;
        Texture* t = LoadTexture("box");
        EXPECT_EQ(t->memoryBytes, c.bytes);
        EXPECT_EQ(g_renderer.statistics.textureBytes, c.bytes);
        t->refCount = 0;
        ReleaseUnusedTextures();
        EXPECT_EQ(g_renderer.statistics.textureBytes, 0);
    }
}

}  // namespace
