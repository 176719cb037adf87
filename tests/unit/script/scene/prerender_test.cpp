// Layers and scenes drawn once into render targets, read back from the software device.
#include <gtest/gtest.h>

#include "script/scene/layer.h"
#include "software_render_fixture.h"

namespace {

class PrerenderTest : public SoftwareRenderTest {
protected:
    void SetUp() override {
        SoftwareRenderTest::SetUp();
        Run(kSceneHelpers);
    }
    const Texture* LayerTarget(const char* name) { return Native<Layer>(name)->prerendered.texture(); }
};

uint8_t Alpha(uint32_t argb) { return static_cast<uint8_t>(argb >> 24); }
uint8_t Red(uint32_t argb) { return static_cast<uint8_t>(argb >> 16); }
uint8_t Green(uint32_t argb) { return static_cast<uint8_t>(argb >> 8); }

// Half-transparent sprites over each other: the target holds their normally blended
// colours and the highest alpha drawn at each pixel.
TEST_F(PrerenderTest, LayerTargetKeepsTheHighestAlpha) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 1, 1)"
        "red = TestVisual() o:attach_component(red) red:setup({w = 32, h = 32, color = 'ff0000', alpha = 0.75})\n"
        "green = TestVisual() o:attach_component(green) green:setup({x = 16, w = 32, h = 32, color = '00ff00', alpha = 0.5})\n"
        "made = tostring(layer:switch_to_prerendered())");
    ASSERT_EQ(Global("made"), "true");
    const Texture* target = LayerTarget("layer");
    ASSERT_NE(target, nullptr);
    const uint32_t redOnly = TexturePixel(target, 8, 8);
    const uint32_t overlap = TexturePixel(target, 24, 8);
    const uint32_t greenOnly = TexturePixel(target, 40, 8);
    EXPECT_NEAR(Alpha(redOnly), 191, 1);
    EXPECT_NEAR(Red(redOnly), 191, 1);
    EXPECT_NEAR(Alpha(overlap), 191, 1);  // the red's alpha, not a blend of both
    EXPECT_NEAR(Red(overlap), 96, 1);
    EXPECT_NEAR(Green(overlap), 128, 1);
    EXPECT_NEAR(Alpha(greenOnly), 128, 1);
    EXPECT_EQ(TexturePixel(target, 60, 60), 0u);  // cleared to transparent black
    EXPECT_EQ(State(D3DRS_COLORWRITEENABLE), DWORD{15});
    EXPECT_EQ(State(D3DRS_BLENDOP), DWORD{D3DBLENDOP_ADD});
}

// An additive component first, then a plain one over it: the alpha pass must go on with
// its maximum after the additive component's drawing.
TEST_F(PrerenderTest, OwnBlendingInsideThePrerenderKeepsTheAlphaPass) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 1, 1)"
        "glow = TestVisual() o:attach_component(glow) glow:setup({w = 32, h = 32, blending = 'add', alpha = 0.75})\n"
        "plain = TestVisual() o:attach_component(plain) plain:setup({w = 32, h = 32, alpha = 0.5})\n"
        "layer:switch_to_prerendered()");
    // Additive alpha 0.75 x 0.75 = 143; the plain 0.5 (128) must not lower it.
    EXPECT_NEAR(Alpha(TexturePixel(LayerTarget("layer"), 8, 8)), 143, 1);
}

TEST_F(PrerenderTest, PrerenderedLayerDrawsItsTargetInsteadOfItsObjects) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 1, 1)"
        "v = TestVisual() o:attach_component(v) v:setup({w = 8, h = 8})\n"
        "o.on_render = function() note('drawn') end o:finalize_setup()\n"
        "layer:switch_to_prerendered() fired = {} scene:render()");
    EXPECT_EQ(Global("fired"), "table");
    Run("count = #fired");
    EXPECT_EQ(Number("count"), 0);
    Run("layer:switch_to_regular() scene:render()");
    Run("count = #fired");
    EXPECT_EQ(Number("count"), 1);
    EXPECT_EQ(LayerTarget("layer"), nullptr);
}

TEST_F(PrerenderTest, SceneTargetHoldsTheLayers) {
    Run("layer = make_layer(scene, 'l') o = make_object(layer, 'o', 0, 0, 1, 1)"
        "v = TestVisual() o:attach_component(v) v:setup({w = 8, h = 8, color = '0000ff'})\n"
        "made = tostring(scene:switch_to_prerendered())");
    ASSERT_EQ(Global("made"), "true");
    const Texture* target = Native<Scene>("scene")->prerendered.texture();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(TexturePixel(target, 4, 4) & 0xFFFFFFu, 0x0000FFu);
    EXPECT_EQ(TexturePixel(target, 20, 20) & 0xFFFFFFu, 0u);
}

}  // namespace
