// TrueText's start and end, the font registry, definitions and the atlas choice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/crash.h"
#include "graphics/surface.h"
#include "text/atlas.h"
#include "text/font_freetype.h"
#include "text_device_fixture.h"

namespace {

using testing::HasSubstr;
using testing::Not;

using TrueTextTest = TextDeviceTest;

TEST_F(TrueTextTest, StartsForTheWindowAndLetsEverythingGo) {
    Start(1366, 768, true);
    TrueText_Init();
    const std::string log = Log();
    EXPECT_THAT(log, HasSubstr("TrueText Init\n"));
    EXPECT_THAT(log, HasSubstr("TrueText Init Complete [width = 1366 height = 768 texture = 2048 tooltips = 409 "
                               "threshold {306 x 122 -> 18666} cache 512]"));
    ASSERT_TRUE(TrueText_Running());
    EXPECT_EQ(TrueText_CacheSize(), 2048);
    ASSERT_NE(TrueText_CacheTexture(), nullptr);
    EXPECT_EQ(TrueText_MainAtlas()->height, 1639);
    EXPECT_EQ(TrueText_SmallBlockAtlas()->yOffset, 1639);
    EXPECT_EQ(TrueText_SmallBlockAtlas()->height, 409);
    ASSERT_NE(TrueText_GlyphCacheSurface(), nullptr);
    EXPECT_EQ(TrueText_GlyphCacheSurface()->width, 512);
    EXPECT_NE(DebugFont_Texture(), nullptr);
    EXPECT_TRUE(TrueText_FreeTypeReady());
    TrueText_Destroy();
    EXPECT_THAT(Log(), HasSubstr("TrueText Destroy"));
    EXPECT_FALSE(TrueText_Running());
    EXPECT_EQ(DebugFont_Texture(), nullptr);
    EXPECT_FALSE(TrueText_FreeTypeReady());
    for (const TexturePtr& texture : AllTextures()) EXPECT_EQ(texture->refCount, 0);
}

TEST_F(TrueTextTest, SmallWindowsHaveNoGlyphCache) {
    Start(800, 600, true);
    TrueText_Init();
    EXPECT_THAT(Log(), HasSubstr("texture = 1024 tooltips = 204 threshold {153 x 61 -> 4666} cache 0]"));
    EXPECT_EQ(TrueText_GlyphAtlas(), nullptr);
    EXPECT_EQ(TrueText_GlyphCacheSurface(), nullptr);
    EXPECT_EQ(CacheTextureSize(1024, 1024), 1024);
    EXPECT_EQ(CacheTextureSize(1025, 10), 2048);
    EXPECT_EQ(GlyphCacheSize(2048), 512);
}

TEST_F(TrueTextTest, NothingHappensWhileOffOrBeforeInit) {
    Start(640, 480, false);
    TrueText_Init();
    EXPECT_FALSE(TrueText_Running());
    g_config.true_text = true;
    TrueText_ResetCache();
    TrueText_Destroy();
    EXPECT_EQ(TrueText_GetFont("any", 12), nullptr);
    EXPECT_EQ(TrueText_ChooseAtlas("k", 0, 0, true), nullptr);
    EXPECT_THAT(Log(), Not(HasSubstr("TrueText")));
    EXPECT_TRUE(AllTextures().empty());
}

TEST_F(TrueTextTest, DefinitionsComeBeforeTrueTypeBeforeOpenType) {
    Start(640, 480, true);
    InstallDejaVu("face.ttf");
    InstallDejaVu("b.ttf");
    InstallDejaVu("c.otf");
    dir_.Write("fonts/a.fn2", "font = \"fonts/face.ttf\"\n");
    dir_.Write("fonts/b.fn2", "font = \"fonts/face\"\n");
    TrueText_Init();
    struct Case {
        const char* name;
        const char* face;
    };
    for (const Case& c : {Case{"a", "fonts/face.ttf"}, Case{"b", "fonts/face"}, Case{"c", "fonts/c.otf"}}) {
        const TrueText_Font* font = TrueText_GetFont(c.name, 12);
        ASSERT_NE(font, nullptr) << c.name;
        EXPECT_EQ(font->faceName, c.face);
        EXPECT_NE(dynamic_cast<const TrueText_FreeTypeFont*>(font), nullptr);
        EXPECT_GT(font->resolved.lineHeight, 12.0f) << "the face opened";
    }
}

TEST_F(TrueTextTest, OneNameAtTwoSizesSharesOneFace) {
    Start(640, 480, true);
    InstallDejaVu("plain.ttf");
    TrueText_Init();
    TrueText_Font* small = TrueText_GetFont("plain", 12);
    TrueText_Font* large = TrueText_GetFont("plain", 10.5f);
    EXPECT_NE(small, large);
    EXPECT_EQ(TrueText_GetFont("plain", 12), small);
    EXPECT_EQ(TrueText_FontCount(), 2u);
    EXPECT_EQ(TrueText_FontKey("plain", 10.5f), "plain-10.5");
    EXPECT_EQ(TrueText_FontKey("plain", 12), "plain-12");
    EXPECT_EQ(TrueText_GetFace("fonts/plain.ttf"), TrueText_GetFace("fonts/plain.ttf"));
    TrueText_ResetCache();
    EXPECT_THAT(Log(), HasSubstr("TrueText reset cache"));
    EXPECT_EQ(TrueText_FontCount(), 0u);
}

TEST_F(TrueTextTest, DefinitionLengthsAndLayers) {
    Start(640, 480, true);
    InstallDejaVu("face.ttf");
    dir_.Write("fonts/fancy.fn2",
               "font = \"fonts/face.ttf\"\nfont_scale = 2\nclip_left = 3\nclip_top = 0.5em\nword_spacing = 2px\n"
               "layers = [\n"
               "  { color = \"#ff0000\" x = -2 blur = 1 alpha = nan outline = 1e30 }\n"
               "  { color = { start = \"#000000\" end = \"80ffffff\" } y = 4dp }\n"
               "  { x = 1 }\n"
               "]\n");
    TrueText_Init();
    const TrueText_Font* font = TrueText_GetFont("fancy", 9);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->size, 18.0f);
    EXPECT_EQ(font->resolved.clipLeft, 3.0f);
    EXPECT_NEAR(font->resolved.clipTop, 0.5f * 18 * 100 / 72, 1e-3);
    EXPECT_NEAR(font->resolved.paragraphSpacing, 0.5f * 18 * 100 / 72, 1e-3) << "the default 0.5em";
    EXPECT_EQ(font->resolved.wordSpacing, 2.0f);
    ASSERT_EQ(font->layers.size(), 3u);
    EXPECT_EQ(font->layers[0].colorMode, 1);
    EXPECT_EQ(font->layers[0].color, 0xFFFF0000u);
    EXPECT_EQ(font->layers[0].alpha, 1.0f) << "not a number: the default";
    EXPECT_EQ(font->layers[0].outline, 64.0f) << "limited";
    EXPECT_EQ(font->layers[1].colorMode, 2);
    EXPECT_EQ(font->layers[1].color, 0xFF000000u);
    EXPECT_EQ(font->layers[1].endColor, 0x80FFFFFFu);
    EXPECT_EQ(font->layers[2].colorMode, 0);
    // The first layer's blur and 64-pixel outline spread it 65 pixels every way.
    const TrueText_Extent& e = font->resolved.extent;
    EXPECT_EQ(e.minX, -67.0f);
    EXPECT_EQ(e.maxX, 63.0f);
    EXPECT_EQ(e.minY, -65.0f);
    EXPECT_EQ(e.maxY, 65.0f);
    // 4dp on a 480-pixel window over a 768-pixel virtual screen.
    EXPECT_EQ(TrueText_SizeToPixels(font->layers[1].y, font->size), 2.5f);
}

TEST_F(TrueTextTest, SystemWithADefinitionIsTheDebugFont) {
    Start(640, 480, true);
    dir_.Write("fonts/system.fn2", "letter_spacing = 1\n");
    TrueText_Init();
    const TrueText_Font* font = TrueText_GetFont("system", 20);
    ASSERT_NE(dynamic_cast<const TrueText_DebugFont*>(font), nullptr);
    EXPECT_EQ(font->resolved.lineHeight, 16.0f);
    EXPECT_EQ(font->resolved.letterSpacing, 1.0f);
}

TEST_F(TrueTextTest, TheRegistryIsBounded) {
    Start(640, 480, true);
    dir_.Write("fonts/system.fn2", "");
    TrueText_Init();
    for (int size = 1; size <= 300; ++size) ASSERT_NE(TrueText_GetFont("system", static_cast<float>(size)), nullptr);
    EXPECT_LE(TrueText_FontCount(), 256u);
    EXPECT_GT(TrueText_FontCount(), 0u);
}

TEST_F(TrueTextTest, SmallBlocksGoToTheirOwnAtlas) {
    Start(1366, 768, true);
    TrueText_Init();
    const AtlasRegion* small = TrueText_ChooseAtlas("small", 100, 20, false);
    ASSERT_NE(small, nullptr);
    EXPECT_GE(small->y, 1639);
    const AtlasRegion* large = TrueText_ChooseAtlas("large", 400, 20, false);
    ASSERT_NE(large, nullptr);
    EXPECT_LT(large->y, 1639);
    EXPECT_EQ(TrueText_ChooseAtlas("small", 0, 0, true), small);
    EXPECT_EQ(TrueText_ChooseAtlas("large", 0, 0, true), large);
    EXPECT_EQ(TrueText_ChooseAtlas("none", 0, 0, true), nullptr);
    EXPECT_EQ(TrueText_ChooseAtlas("too big", 4000, 20, false), nullptr);
    TrueText_ResetCache();
    EXPECT_EQ(TrueText_ChooseAtlas("small", 0, 0, true), nullptr);
}

using TrueTextDeathTest = TrueTextTest;

TEST_F(TrueTextDeathTest, BadFacesAndImageFontsAreFatal) {
    Start(640, 480, true);
    dir_.Write("fonts/broken.ttf", "not a font at all");
    dir_.Write("fonts/picture.fn2", "font = \"fonts/letters.PNG\"\n");
    TrueText_Init();
    // The death tests read the child's standard error themselves.
    testing::internal::GetCapturedStderr();
    EXPECT_EXIT(TrueText_GetFont("broken", 12), testing::ExitedWithCode(kExitFatal),
                "cannot open the font face fonts/broken.ttf");
    EXPECT_EXIT(TrueText_GetFont("missing", 12), testing::ExitedWithCode(kExitFatal),
                "file not found: fonts/missing.otf");
    EXPECT_EXIT(TrueText_GetFont("picture", 12), testing::ExitedWithCode(kExitFatal),
                "fonts/picture.fn2 names an image font");
    testing::internal::CaptureStderr();
}

}  // namespace
