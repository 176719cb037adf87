#include <gtest/gtest.h>

#include "core/crash.h"
#include "script/components/fluid_box_component.h"
#include "unit/script/api/gfx_script_fixture.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kYellow = 0xFFFFFF00u,
                   kWhite = 0xFFFFFFFFu;

class BoxTest : public GfxScriptTest {
protected:
    void SetUp() override {
        GfxScriptTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        WriteImage("label.png", 80, 20, 0x808080);
        ASSERT_EQ(Run("scene = Scene() layer = Layer() scene:attach_layer(layer) "
                      "obj = GameObject() obj:setup{x = 10, y = 10} layer:attach_object(obj) "
                      "target = gfx_create_bitmap(128, 128, true)"),
                  "");
    }
    // "panel.png", 64 x 64: patch columns 24, 16 and 24 wide, rows likewise, each patch
    // one colour; the "area" sprite is the whole image with its pivot in the middle.
    void WritePanel() {
        const uint32_t colours[3][3] = {{0xFF0000, 0xFFFF00, 0xFF00FF},
                                        {0x00FF00, 0xFFFFFF, 0x808080},
                                        {0x0000FF, 0x00FFFF, 0xFF8000}};  // [column][row]
        const auto band = [](int v) { return v < 24 ? 0 : v < 40 ? 1 : 2; };
        std::vector<uint8_t> pixels;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint32_t c = colours[band(x)][band(y)];
                pixels.insert(pixels.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                             static_cast<uint8_t>(c), 0xFF});
            }
        dir_.Write("panel.png", EncodeImage(FixtureFormat::Png, 64, 64, 4, pixels));
        dir_.Write("panel.txt",
                   "lt 0 0 24 24 0 0\nmt 24 0 16 24 0 0\nrt 40 0 24 24 0 0\n"
                   "lm 0 24 24 16 0 0\nmm 24 24 16 16 0 0\nrm 40 24 24 16 0 0\n"
                   "lb 0 40 24 24 0 0\nmb 24 40 16 24 0 0\nrb 40 40 24 24 0 0\narea 0 0 64 64 32 32\n");
    }
};

// --- RectangleComponent -----------------------------------------------------------------

TEST_F(BoxTest, RectangleSizeAndCentre) {
    struct Case {
        const char* code;
        const char* expected;  // size, then centre
    } cases[] = {
        {"r:setup{w = 100}", "0 0 0 0"},
        {"r:setup{w = 100, h = 40, cx = 50, cy = 20} r:set_size(200, 40)", "200 40 100 20"},
        {"r:setup{w = 100, h = 40, cx = 50} r:set_size()", "0 0 0 0"},
        {"r:setup{cy = 3}", "0 0 0 3"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Run(std::string("r = RectangleComponent() ") + c.code), "") << c.code;
        EXPECT_EQ(Eval("r:width(), r:height(), r:center_position()"), c.expected) << c.code;
    }
}

TEST_F(BoxTest, RectangleFitsAComponentWithPadding) {
    for (const auto& [size, expected] : {std::pair{"", "100 40"}, std::pair{"w = 120, h = 10,", "120 40"}}) {
        ASSERT_EQ(Run(std::string("o = GameObject() layer:attach_object(o) label = BitmapComponent() "
                                  "label:setup{bitmap = 'label.png', id = 'text'} o:attach_component(label) "
                                  "r = RectangleComponent() r:setup{") +
                          size + " fit_to_component = 'text', padding = 10} o:attach_component(r) o:prepare_components()"),
                  "");
        EXPECT_EQ(Eval("r:size()"), expected) << size;
    }
}

TEST_F(BoxTest, FittingEverythingLeavesTheBoxItselfOut) {
    ASSERT_EQ(Run("label = BitmapComponent() label:setup{bitmap = 'label.png'} obj:attach_component(label) "
                  "r = RectangleComponent() r:setup{fit_to_component = '*', padding = 10} obj:attach_component(r) "
                  "obj:prepare_components() obj:prepare_components()"),
              "");
    EXPECT_EQ(Eval("r:size()"), "100 40");
}

TEST_F(BoxTest, ResizingRefitsTheObjectsShape) {
    ASSERT_EQ(Run("r = RectangleComponent() r:setup{w = 10, h = 10} obj:attach_component(r) "
                  "shape = BoxShapeComponent() obj:attach_component(shape) obj:prepare_components() "
                  "r:set_size(50, 30)"),
              "");
    EXPECT_EQ(Eval("shape:box()"), "0 0 50 30");
}

TEST_F(BoxTest, PreparingOnlyFitsAndLeavesRelativeToAlone) {
    ASSERT_EQ(Run("label = BitmapComponent() label:setup{bitmap = 'label.png', id = 'text', x = 30} "
                  "obj:attach_component(label) r = RectangleComponent() r:setup{w = 4, h = 4, relative_to = 'text'} "
                  "obj:attach_component(r) obj:prepare_components() scene:render()"),
              "");
    EXPECT_EQ(Eval("r:xy_abs()"), "10 10");
}

TEST_F(BoxTest, RectangleFitErrorsAndDrawing) {
    EXPECT_EXIT(Fatal([&] {
                    Run("r = RectangleComponent() r:setup{fit_to_component = 'nope'} obj:attach_component(r) "
                        "obj:prepare_components()");
                }),
                testing::ExitedWithCode(kExitFatal), "rectangle/fit_to_component: component nope not found");
    ASSERT_EQ(Run("r = RectangleComponent() r:setup{w = 8, h = 6, cx = 4, cy = 3, color = 'ff0000'} "
                  "obj:attach_component(r) bare = RectangleComponent() obj:attach_component(bare)"),
              "");
    DrawInto("target", "scene:render()");
    EXPECT_EQ(Pixel("target", 6, 7), kRed);
    EXPECT_EQ(Pixel("target", 13, 12), kRed);
    EXPECT_EQ(Pixel("target", 14, 10), 0u);
}

// --- FluidBoxComponent ------------------------------------------------------------------

TEST_F(BoxTest, FluidBoxWidthsStretchTheMiddle) {
    WritePanel();
    struct Case {
        const char* keys;
        float width;
        float repeatX;
        float drawnMiddle;
    } cases[] = {{"w = 100", 100, 3.25f, 52}, {"w = 50", 64, 1, 16}, {"", 64, 1, 16}, {"w = 64.5", 64.5f, 1.03125f, 17}};
    for (const Case& c : cases) {
        ASSERT_EQ(Run(std::string("f = FluidBoxComponent() f:setup{bitmap = 'panel.png', ") + c.keys + "}"), "");
        const FluidBoxComponent* box = Native<FluidBoxComponent>("f");
        ASSERT_NE(box, nullptr);
        EXPECT_FLOAT_EQ(box->width, c.width) << c.keys;
        EXPECT_FLOAT_EQ(box->patches[1][0].repeatX, c.repeatX) << c.keys;
        EXPECT_FLOAT_EQ(box->patches[1][1].drawnWidth, c.drawnMiddle) << c.keys;
        EXPECT_FLOAT_EQ(box->patches[0][0].drawnWidth, 24) << c.keys;
    }
    ASSERT_EQ(Run("f:set_size()"), "");
    EXPECT_EQ(Eval("f:size()"), "64 64");
    EXPECT_EQ(Eval("f:center_position()"), "0 0") << "the centre scales with the requested size, 0";
    ASSERT_EQ(Run("f:set_center_position(1, 2)"), "");
    EXPECT_EQ(Eval("f:center_position()"), "1 2");
}

TEST_F(BoxTest, MirroredFluidBoxSwapsItsPatches) {
    WritePanel();
    ASSERT_EQ(Run("f = FluidBoxComponent() f:setup{bitmap = 'panel.png', mirror_x = true, w = 100, h = 64}"), "");
    const FluidBoxComponent* box = Native<FluidBoxComponent>("f");
    ASSERT_NE(box, nullptr);
    const FluidBoxComponent::Patch& lt = box->patches[2][0];  // drawn in the right column
    EXPECT_FLOAT_EQ(lt.u0, 24.0f / 64);
    EXPECT_FLOAT_EQ(lt.u1, 0);
    EXPECT_FLOAT_EQ(lt.v0, 0);
    EXPECT_FLOAT_EQ(box->centerX, 100 - 50);
}

TEST_F(BoxTest, FluidBoxWithoutItsPartsIsFatal) {
    WriteImage("plain.png", 8, 8, 0xFFFFFF);
    EXPECT_EXIT(Fatal([&] { Run("FluidBoxComponent():setup{w = 3}"); }), testing::ExitedWithCode(kExitFatal),
                "FluidBoxComponent is missing texture definition");
    EXPECT_EXIT(Fatal([&] { Run("FluidBoxComponent():setup{bitmap = 'plain.png'}"); }),
                testing::ExitedWithCode(kExitFatal), "lt");
}

TEST_F(BoxTest, FluidBoxOfEmptyPartsStaysFinite) {
    WriteImage("empty.png", 8, 8, 0xFFFFFF);
    std::string sheet;
    for (const char* name : {"lt", "mt", "rt", "lm", "mm", "rm", "lb", "mb", "rb", "area"})
        sheet += std::string(name) + " 0 0 0 0 0 0\n";
    dir_.Write("empty.txt", sheet);
    ASSERT_EQ(Run("f = FluidBoxComponent() f:setup{bitmap = 'empty.png', w = 30, h = 20} obj:attach_component(f) "
                  "f:set_size(50, 40)"),
              "");
    EXPECT_EQ(Eval("f:size()"), "0 0");
    EXPECT_EQ(Eval("f:center_position()"), "0 0");
    DrawInto("target", "scene:render()");
}

// The nine patches at angle 0 and 90: columns 24, 52 (the middle, stretched) and 24 wide.
TEST_F(BoxTest, NinePatchPixelsAtAngleZeroAndNinety) {
    WritePanel();
    ASSERT_EQ(Run("f = FluidBoxComponent() f:setup{bitmap = 'panel.png', w = 100, h = 64, cx = 0, cy = 0} "
                  "obj:attach_component(f) bare = FluidBoxComponent() obj:attach_component(bare)"),
              "");
    DrawInto("target", "scene:render()");
    struct Probe {
        int x, y;
        uint32_t colour;
    } flat[] = {{20, 20, kRed}, {60, 20, kGreen}, {100, 20, kBlue}, {20, 40, kYellow}, {60, 40, kWhite}},
      turned[] = {{100, 20, kRed}, {100, 60, kGreen}, {100, 100, kBlue}, {78, 20, kYellow}, {78, 60, kWhite}};
    for (const Probe& p : flat) EXPECT_EQ(Pixel("target", p.x, p.y), p.colour) << p.x << ", " << p.y;
    EXPECT_EQ(Pixel("target", 112, 20), 0u) << "right of the box";
    // Turned a quarter about the object at (110, 10): right in the box is down the screen,
    // a lower row further left.
    ASSERT_EQ(Run("obj:set_xy(110, 10) obj:set_angle(90)"), "");
    DrawInto("target", "scene:render()");
    for (const Probe& p : turned) EXPECT_EQ(Pixel("target", p.x, p.y), p.colour) << p.x << ", " << p.y;
    EXPECT_EQ(Pixel("target", 100, 114), 0u) << "below the box";
}

TEST_F(BoxTest, FluidBoxFitsItsText) {
    WritePanel();
    ASSERT_EQ(Run("label = BitmapComponent() label:setup{bitmap = 'label.png', id = 'text'} obj:attach_component(label) "
                  "f = FluidBoxComponent() f:setup{bitmap = 'panel.png', fit_to_component = 'text', padding = 12} "
                  "obj:attach_component(f) obj:prepare_components()"),
              "");
    EXPECT_EQ(Eval("f:size()"), "104 64");
    EXPECT_EXIT(Fatal([&] {
                    Run("g = FluidBoxComponent() g:setup{bitmap = 'panel.png', fit_to_component = 'x'} "
                        "obj:attach_component(g) obj:prepare_components()");
                }),
                testing::ExitedWithCode(kExitFatal), "fluid_box/fit_to_component: component x not found");
}

}  // namespace
