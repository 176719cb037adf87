// The text component with TrueText on the software device, read back from the screen:
// font names under the global font scale, when it measures, how its owner's scale and
// angle and the letterbox reach it. The built-in font ("system": 16-pixel glyphs at any
// size, "A" 7 pixels wide) keeps positions exact; DejaVu Sans shows sizes that scale.
#include <gtest/gtest.h>

#include <string>

#include "fixtures/script_text.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"
#include "script/scene/scene.h"
#include "unit/text/text_device_fixture.h"

namespace {

class TextComponentTest : public TextDeviceTest {
protected:
    // A 512 x 384 window over the 1024 x 768 screen: the letterbox halves everything.
    void SetUp() override {
        TextDeviceTest::SetUp();
        Start(512, 384, true);
        dir_.Write("fonts/system.fn2", "font = system\n");
        InstallDejaVu("dejavu.ttf");
        TrueText_Init();
        LuaCreateState();
        L = LuaGetState();
        RegisterLuaApi();
        ASSERT_EQ(Run("scene = Scene() layer = Layer() scene:attach_layer(layer) "
                      "obj = GameObject() obj:setup{x = 200, y = 100} layer:attach_object(obj)"),
                  "");
    }
    void TearDown() override {
        LuaCloseState();
        TextDeviceTest::TearDown();
    }
    // A component on `obj` set up from the definition's text.
    void Attach(const std::string& definition) {
        ASSERT_EQ(Run("t = TextComponent() t:setup" + definition + " obj:attach_component(t) obj:prepare_components()"),
                  "");
    }
    // One frame as the engine draws it: the scene laid out before it begins.
    void Frame(bool prerender = true) {
        BeginFrame();
        if (prerender) PrerenderScene();
        ASSERT_EQ(Run("scene:render()"), "");
        EndFrame();
    }

    std::string Run(const std::string& code) { return RunScriptText(L, code); }
    std::string Eval(const std::string& expression) { return EvalScriptValues(L, expression); }

    lua_State* L = nullptr;
};

TEST_F(TextComponentTest, FontNamesFollowTheGlobalFontScale) {
    const struct {
        const char* scale;
        const char* font;
        const char* expected;
    } cases[] = {
        {"1.5", "system12", "system18"},
        {"1.05", "system12", "system12"},  // close enough to 1: names stay as written
        {"2", "plain", "plain0"},          // no digits: 0 times the scale
        {"2", "12", "12"},                 // digits only: left alone
        {"0.5", "dejavu 30", "dejavu 15"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Run(std::string("gfx_global_font_scaling(") + c.scale + ") c = TextComponent() c:setup{font = '" +
                      c.font + "'}"),
                  "");
        EXPECT_EQ(Eval("c:font()"), c.expected) << c.scale << " " << c.font;
    }
    // Without a "font" key the default is scaled as well; set_font is never scaled.
    ASSERT_EQ(Run("gfx_global_font_scaling(2) d = TextComponent() d:setup{} e = TextComponent() e:set_font('system12')"),
              "");
    EXPECT_EQ(Eval("d:font(), e:font()"), "system24 system12");
    ASSERT_EQ(Run("gfx_global_font_scaling(1.5) d = TextComponent() d:setup{text = 'x'}"), "");
    EXPECT_EQ(Eval("d:font()"), "system18");
    // The box is scaled: 20 becomes 40, which holds "AAAA" (28) on each line.
    Attach("{font = 'system10', text = 'AAAA AAAA', max_width = 20}");
    EXPECT_EQ(Eval("t:size()"), "28 32");
}

TEST_F(TextComponentTest, SetAlignDrawsAtOnceButMeasuresOnlyAtTheNextLayout) {
    // Two lines of 28 pixels in a 40-pixel box: left-aligned the text is 28 wide; centred
    // its lines take the box.
    Attach("{font = 'system10', text = 'AAAA AAAA', max_width = 40}");
    EXPECT_EQ(Eval("t:size()"), "28 32");
    Frame();
    const Box left = Ink();
    ASSERT_EQ(Run("t:set_align('center top')"), "");
    EXPECT_EQ(Eval("t:size()"), "28 32");
    Frame();
    const Box centred = Ink();
    ASSERT_FALSE(left.Empty());
    ASSERT_FALSE(centred.Empty());
    EXPECT_GE(left.left, 100) << "from its position (x 100 in the window)";
    EXPECT_LT(centred.left, left.left - 5) << "centred about it";
    ASSERT_EQ(Run("t:set_text('AAAA AAAA')"), "");
    EXPECT_EQ(Eval("t:size()"), "40 32");
}

TEST_F(TextComponentTest, MeasuresWithTheOwnersScaleInItsOwnUnits) {
    Attach("{font = 'dejavu20', text = 'Wide text'}");
    const std::string plain = Eval("t:width()");
    const double width = std::stod(plain);
    ASSERT_GT(width, 60);
    const struct {
        const char* scale;
        double low, high;
    } cases[] = {
        {"0", width, width},            // no scale to measure with: measured as at 1
        {"1e-9", width, width},
        {"2", width - 2, width + 2},    // twice the size, then halved
        {"-2", width - 2, width + 2},   // the absolute scale
    };
    for (const auto& c : cases) {
        // Drawing brings the owner's absolute scale up to date; the next layout uses it.
        ASSERT_EQ(Run(std::string("obj:set_scale(") + c.scale + ", 1)"), "");
        Frame();
        ASSERT_EQ(Run("obj:prepare_components()"), "");
        const double measured = std::stod(Eval("t:width()"));
        EXPECT_GE(measured, c.low) << c.scale;
        EXPECT_LE(measured, c.high) << c.scale;
        // Drawn at the scale itself: nothing at all at 0.
        EXPECT_EQ(Ink().Empty(), c.low == c.high) << c.scale;
    }
}

TEST_F(TextComponentTest, DrawsThroughTheLetterbox) {
    Attach("{font = 'system10', text = 'AA'}");
    EXPECT_EQ(Eval("t:size()"), "14 16");
    Frame();
    const Box ink = Ink();
    ASSERT_FALSE(ink.Empty());
    // (200, 100) on the screen is (100, 50) in the window; the glyphs keep their 16 pixels.
    EXPECT_GE(ink.left, 100);
    EXPECT_LE(ink.right, 114);
    EXPECT_GE(ink.top, 50);
    EXPECT_LE(ink.bottom, 66);
}

TEST_F(TextComponentTest, TurnsWithItsOwnerAsSpritesTurn) {
    Attach("{font = 'system10', text = 'AAAA'}");
    ASSERT_EQ(Run("obj:set_angle(90)"), "");
    Frame();
    const Box ink = Ink();
    ASSERT_FALSE(ink.Empty());
    // Clockwise on the screen: the line runs down from (100, 50), its glyphs lie to the left.
    EXPECT_LE(ink.right, 101);
    EXPECT_GE(ink.left, 100 - 17);
    EXPECT_GE(ink.top, 50);
    EXPECT_GT(ink.bottom - ink.top, 20);
    EXPECT_LE(ink.bottom, 50 + 29);
}

// A scene drawn without its prerender (a second scene, or one made during the frame)
// still draws at the owner's current place once the block exists.
TEST_F(TextComponentTest, RefreshesItsPlaceWhenTheSceneDidNotPrerender) {
    Attach("{font = 'system10', text = 'AA'}");
    Frame();
    ASSERT_EQ(Run("obj:set_xy(400, 300)"), "");
    Frame(false);
    const Box ink = Ink();
    ASSERT_FALSE(ink.Empty());
    EXPECT_GE(ink.left, 200);
    EXPECT_GE(ink.top, 150);
}

}  // namespace
