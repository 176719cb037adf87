#include "effects/collision_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "core/log.h"
#include "effects/collision_mask_registry.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/mounted_dir.h"
#include "graphics/surface.h"

namespace {

// A surface whose pixel (x, y) has every channel byte set to value(x, y).
Surface MakeSurface(int width, int height, uint8_t (*value)(int, int)) {
    Surface surface;
    surface.Create(width, height, true);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) surface.Row(y)[x] = 0x01010101u * value(x, y);
    return surface;
}

CollisionMask SolidMask(int width, int height) {
    CollisionMask mask;
    BuildCollisionMask(mask, MakeSurface(width, height, [](int, int) -> uint8_t { return 255; }), kMaskRed);
    return mask;
}

TEST(CollisionMaskBits, RowsArePackedLeastSignificantBitFirst) {
    // 10 x 2, only column 9 of the second row solid.
    CollisionMask mask;
    BuildCollisionMask(mask, MakeSurface(10, 2, [](int x, int y) -> uint8_t { return x == 9 && y == 1 ? 200 : 0; }),
                       kMaskRed);
    EXPECT_EQ(mask.bytesPerRow, 2);
    EXPECT_EQ(mask.bits, (std::vector<uint8_t>{0, 0, 0, 0x02}));
}

TEST(CollisionMaskBits, ChannelIsSolidFrom128) {
    Surface surface;
    surface.Create(2, 1, true);
    surface.Row(0)[0] = 0x00007F00u;  // green 127
    surface.Row(0)[1] = 0x00008000u;  // green 128
    for (const auto& [channel, bits] : {std::pair{kMaskGreen, 0x02}, std::pair{kMaskRed, 0x00}}) {
        CollisionMask mask;
        BuildCollisionMask(mask, surface, channel);
        EXPECT_EQ(mask.bits[0], bits) << "channel " << channel;
    }
}

TEST(CollisionMaskTest, PointsUnderThePlacedMask) {
    const CollisionMask mask = SolidMask(20, 20);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float px, py, angle, scaleX, scaleY;
        bool inside;
    } cases[] = {
        {100, 100, 0, 1, 1, true},       // column 0, row 0
        {99.5f, 100, 0, 1, 1, true},     // -0.5 truncates to column 0
        {98.9f, 100, 0, 1, 1, false},    // column -1.1
        {119.9f, 100, 0, 1, 1, true},    // the last column
        {120, 100, 0, 1, 1, false},      // one past it
        {100, 110.5f, 90, 1, 1, true},   // column 10 of the turned mask
        {90, 100, 90, 1, 1, true},       // row 10: the turned mask's y axis points left
        {100, 89, 90, 1, 1, false},      // column -11
        {100 + 20, 100, 0, 2, 1, true},  // column 10 at scale 2
        {100 + 41, 100, 0, 2, 1, false}, {1e30f, 100, 0, 1, 1, false},
        {-1e30f, 100, 0, 1, 1, false},   {100, 100, 0, 0, 0, false},  // scale 0 maps nowhere
        {105, 105, 0, 0, 1, false},      {nan, 100, 0, 1, 1, false},
        {100, 100, nan, 1, 1, false},    {100, 100, 0, nan, 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CollisionMask_Test(mask, c.px, c.py, 100, 100, 0, 0, c.angle, c.scaleX, c.scaleY), c.inside)
            << c.px << ", " << c.py << " angle " << c.angle << " scale " << c.scaleX << ", " << c.scaleY;
}

TEST(CollisionMaskTest, OnlySolidBitsHit) {
    CollisionMask mask;
    BuildCollisionMask(mask, MakeSurface(16, 1, [](int x, int) -> uint8_t { return x % 2 ? 255 : 0; }), kMaskRed);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(CollisionMask_Test(mask, static_cast<float>(x) + 0.5f, 0.5f, 0, 0, 0, 0, 0, 1, 1), x % 2 == 1) << x;
}

TEST(CollisionMaskRefTest, NegativeHotspotIsTheCentre) {
    CollisionMask mask = SolidMask(31, 9);
    CollisionMaskRef ref;
    CollisionMaskRef_Init(ref, &mask, -1, -1);
    EXPECT_EQ(ref.hotspotX, 15);
    EXPECT_EQ(ref.hotspotY, 4);
    CollisionMaskRef_Init(ref, &mask, 3, 0);
    EXPECT_EQ(ref.hotspotX, 3);
    EXPECT_EQ(ref.hotspotY, 0);
}

class CollisionMaskRegistryTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        std::vector<uint8_t> pixels(4 * 3 * 4, 0xFF);
        dir_.Write("masks/m.png", EncodeImage(FixtureFormat::Png, 4, 3, 4, pixels));
    }
    void TearDown() override { ReportUnreleasedCollisionMasks(); }

    MountedDir dir_;
};

TEST_F(CollisionMaskRegistryTest, NamesShareOneMaskUntilTheLastRelease) {
    CollisionMask* first = CollisionMask_Load("masks/m", kMaskRed);
    CollisionMask* second = CollisionMask_Load("masks/m.png", kMaskAlpha);
    ASSERT_EQ(first, second);
    EXPECT_EQ(first->name, "masks/m.png");
    EXPECT_EQ(first->refCount, 2);
    EXPECT_EQ(first->width, 4);
    EXPECT_EQ(first->height, 3);
    EXPECT_EQ(CollisionMaskCount(), 1u);
    EXPECT_FALSE(CollisionMask_Release(first));
    EXPECT_TRUE(CollisionMask_Release(first));
    EXPECT_EQ(CollisionMaskCount(), 0u);
}

TEST_F(CollisionMaskRegistryTest, ReleasingWhatTheRegistryDoesNotHoldIsRefused) {
    CollisionMask stray = SolidMask(2, 2);
    stray.name = "masks/m.png";
    stray.refCount = 1;
    CollisionMask* held = CollisionMask_Load("masks/m", kMaskRed);
    EXPECT_FALSE(CollisionMask_Release(&stray));
    EXPECT_FALSE(CollisionMask_Release(nullptr));
    EXPECT_EQ(held->refCount, 1);
    EXPECT_EQ(stray.refCount, 1);
    EXPECT_TRUE(CollisionMask_Release(held));
}

TEST_F(CollisionMaskRegistryTest, ShutdownReportsAndFreesWhatIsHeld) {
    g_config.create_log = true;
    CollisionMask_Load("masks/m", kMaskRed);
    CollisionMask_Load("masks/m", kMaskRed);
    testing::internal::CaptureStdout();
    ReportUnreleasedCollisionMasks();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(CollisionMaskCount(), 0u);
    EXPECT_NE(dir_.Read("log.txt").find("Collision mask is not released: masks/m.png [ref: 2]"), std::string::npos);
}

TEST_F(CollisionMaskRegistryTest, MissingImageIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            CollisionMask_Load("masks/none", kMaskRed);
        },
        testing::ExitedWithCode(kExitFatal), "file not found: masks/none.png");
}

}  // namespace
