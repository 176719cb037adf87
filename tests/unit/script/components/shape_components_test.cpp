#include <gtest/gtest.h>

#include "core/crash.h"
#include "effects/collision_mask_registry.h"
#include "unit/script/api/gfx_script_fixture.h"

namespace {

class ShapeTest : public GfxScriptTest {
protected:
    void SetUp() override {
        GfxScriptTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        // A 31 x 4 mask whose left 8 columns are solid.
        std::vector<uint8_t> pixels;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 31; ++x)
                pixels.insert(pixels.end(), {static_cast<uint8_t>(x < 8 ? 255 : 0), 0, 0, 255});
        dir_.Write("bar.png", EncodeImage(FixtureFormat::Png, 31, 4, 4, pixels));
        ASSERT_EQ(Run("scene = Scene() layer = Layer() scene:attach_layer(layer) "
                      "obj = GameObject() obj:setup{x = 0, y = 0} layer:attach_object(obj)"),
                  "");
    }
    // Hit tests use the absolute values that drawing brings up to date.
    std::string Inside(const std::string& shape, float x, float y) {
        EXPECT_EQ(Run("scene:render()"), "");
        return Eval(shape + ":point_inside(" + std::to_string(x) + ", " + std::to_string(y) + ")");
    }
};

TEST_F(ShapeTest, CircleIsAnEllipseUnderUnequalScale) {
    ASSERT_EQ(Run("obj:set_scale_x(2) c = CircleShapeComponent() c:setup{radius = 10} obj:attach_component(c)"), "");
    struct Case {
        float x, y;
        const char* inside;
    } cases[] = {{19, 0, "true"}, {20, 0, "true"}, {0, 11, "false"}, {0, 10, "true"}, {21, 0, "false"}};
    for (const Case& c : cases) EXPECT_EQ(Inside("c", c.x, c.y), c.inside) << c.x << ", " << c.y;
    EXPECT_EQ(Eval("c:radius()"), "10");
}

TEST_F(ShapeTest, ANegativeRadiusHitsAsItsSize) {
    ASSERT_EQ(Run("c = CircleShapeComponent() obj:attach_component(c) obj:prepare_components()"), "");
    EXPECT_EQ(Eval("c:radius()"), "-1") << "never fitted";
    struct Case {
        const char* radius;
        float x, y;
        const char* inside;
    } cases[] = {{"nil", 0, 0, "true"},   {"nil", 1, 0, "true"}, {"nil", 0, -1, "true"},
                 {"nil", 1.1f, 0, "false"}, {"-5", 3, 4, "true"},  {"-5", 3, 4.1f, "false"}};
    for (const Case& c : cases) {
        if (std::string(c.radius) != "nil") {
            ASSERT_EQ(Run(std::string("c:set_radius(") + c.radius + ")"), "");
        }
        EXPECT_EQ(Inside("c", c.x, c.y), c.inside) << c.radius << " at " << c.x << ", " << c.y;
    }
    EXPECT_EQ(Eval("c:radius()"), "-5");
}

TEST_F(ShapeTest, CircleFitsHalfTheWidthOfTheVisuals) {
    WriteImage("wide.png", 101, 20, 0xFFFFFF);
    ASSERT_EQ(Run("b = BitmapComponent() b:setup{bitmap = 'wide.png'} obj:attach_component(b) "
                  "c = CircleShapeComponent() obj:attach_component(c) obj:prepare_components()"),
              "");
    EXPECT_EQ(Eval("c:radius()"), "50");
    ASSERT_EQ(Run("c:set_radius(3)"), "");
    EXPECT_EQ(Inside("c", 4, 0), "false");
}

TEST_F(ShapeTest, MaskHotspotAndExtent) {
    ASSERT_EQ(Run("m = MaskShapeComponent() m:setup{mask = 'bar', cx = -1, cy = 1} obj:attach_component(m)"), "");
    EXPECT_EQ(Eval("m:x0(), m:y0(), m:x1(), m:y1()"), "1 -1 32 3");
    // The hotspot is column 15: columns 0 to 7 are solid.
    EXPECT_EQ(Inside("m", -15, 0), "true");
    EXPECT_EQ(Inside("m", -8, 0), "true");
    EXPECT_EQ(Inside("m", -7, 0), "false");
    EXPECT_EQ(Inside("m", -15, 3), "false");
    ASSERT_EQ(Run("obj:set_scale(0, 0)"), "");
    EXPECT_EQ(Inside("m", 0, 0), "false");
}

TEST_F(ShapeTest, MaskShapesShareTheMaskUntilTheLastGoes) {
    ASSERT_EQ(Run("m1 = MaskShapeComponent() m1:setup{mask = 'bar'} obj:attach_component(m1) "
                  "m2 = MaskShapeComponent() m2:setup{mask = 'bar.png'} m2:setup{mask = 'bar'}"),
              "");
    EXPECT_EQ(CollisionMaskCount(), 1u);
    ASSERT_EQ(Run("m2 = nil collectgarbage() collectgarbage()"), "");
    LuaDeleteDroppedObjects(L);
    EXPECT_EQ(CollisionMaskCount(), 1u);
    ASSERT_EQ(Run("scene:remove_everything() scene:update(0)"), "");
    LuaDeleteDroppedObjects(L);
    EXPECT_EQ(CollisionMaskCount(), 0u);
}

TEST_F(ShapeTest, MaskWithoutAMaskIsFatal) {
    EXPECT_EXIT(Fatal([&] { Run("MaskShapeComponent():setup{cx = 1}"); }), testing::ExitedWithCode(kExitFatal),
                "Mask not found: nil");
}

}  // namespace
