// The free-rectangle packer and the named-region atlas over it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "core/config.h"
#include "text/atlas.h"
#include "text/rect_packer.h"

namespace {

using testing::ElementsAre;

TEST(RectPackerTest, PlacesUprightAndSplitsTheFreeSpace) {
    RectPacker packer;
    packer.Init(100, 50);
    EXPECT_EQ(packer.Insert(60, 40), (PackerRect{0, 0, 60, 40}));
    EXPECT_THAT(packer.FreeRects(), ElementsAre(PackerRect{0, 40, 100, 10}, PackerRect{60, 0, 40, 50}));
}

TEST(RectPackerTest, TurnsWhatOnlyFitsTurned) {
    RectPacker packer;
    packer.Init(100, 50);
    EXPECT_EQ(packer.Insert(40, 60), (PackerRect{0, 0, 60, 40}));
}

TEST(RectPackerTest, RefusesWhatCannotBePlaced) {
    RectPacker packer;
    packer.Init(100, 50);
    for (const auto& [w, h] : {std::pair{101, 10}, {10, 101}, {0, 5}, {5, 0}, {-3, 5}, {5, -3}, {INT_MIN, 1}})
        EXPECT_EQ(packer.Insert(w, h), PackerRect{}) << w << " x " << h;
    EXPECT_THAT(packer.FreeRects(), ElementsAre(PackerRect{0, 0, 100, 50})) << "nothing split";
}

bool Overlap(const PackerRect& a, const PackerRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(RectPackerTest, RandomPlacementsNeverOverlapOrLeaveTheBin) {
    std::mt19937 random(1234);
    for (int round = 0; round < 20; ++round) {
        const int binW = 64 + static_cast<int>(random() % 400), binH = 64 + static_cast<int>(random() % 400);
        RectPacker packer;
        packer.Init(binW, binH);
        std::vector<PackerRect> placed;
        for (int i = 0; i < 300; ++i) {
            const int w = 1 + static_cast<int>(random() % 60), h = 1 + static_cast<int>(random() % 60);
            const PackerRect r = packer.Insert(w, h);
            if (r.width == 0) continue;
            EXPECT_TRUE((r.width == w && r.height == h) || (r.width == h && r.height == w));
            ASSERT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= binW && r.y + r.height <= binH);
            for (const PackerRect& other : placed) ASSERT_FALSE(Overlap(r, other)) << "round " << round;
            placed.push_back(r);
        }
        EXPECT_GT(placed.size(), 5u);
    }
}

class AtlasTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        g_config.create_log = true;
    }
    void TearDown() override { InitConfigDefaults(); }
};

TEST_F(AtlasTest, RegionsCarryTheOffsetAndTheTurn) {
    auto atlas = Atlas_Create(100, 50, 200);
    const AtlasRegion* upright = Atlas_Allocate(*atlas, "a", 60, 40);
    ASSERT_NE(upright, nullptr);
    EXPECT_EQ(upright->x, 0);
    EXPECT_EQ(upright->y, 200);
    EXPECT_FALSE(upright->rotated);
    // Turned, it fills the right-hand column's top exactly.
    const AtlasRegion* turned = Atlas_Allocate(*atlas, "b", 10, 40);
    ASSERT_NE(turned, nullptr);
    EXPECT_TRUE(turned->rotated);
    EXPECT_EQ(turned->x, 60);
    EXPECT_EQ(turned->y, 200);
    EXPECT_EQ(turned->width, 10);
    EXPECT_EQ(turned->height, 40);
    EXPECT_EQ(turned->packed, (PackerRect{60, 0, 40, 10}));
}

TEST_F(AtlasTest, LookupsAndRefusals) {
    auto atlas = Atlas_Create(100, 50, 0);
    AtlasRegion* region = Atlas_Allocate(*atlas, "k", 10, 10);
    ASSERT_NE(region, nullptr);
    Atlas_AgeRegions(*atlas);
    Atlas_AgeRegions(*atlas);
    EXPECT_EQ(Atlas_Age(*atlas, *region), 2);
    EXPECT_EQ(Atlas_Allocate(*atlas, "k", 0, 0), region);
    EXPECT_EQ(Atlas_Age(*atlas, *region), 0) << "asked for again";
    EXPECT_EQ(Atlas_Allocate(*atlas, "missing", 0, 0), nullptr);
    EXPECT_EQ(Atlas_Allocate(*atlas, "negative", -5, 10), nullptr);
    EXPECT_EQ(Atlas_Allocate(*atlas, "huge", 101, 10), nullptr);
    EXPECT_EQ(atlas->regions.size(), 1u) << "nothing created, nothing evicted";
}

TEST_F(AtlasTest, EvictsTheOldestThenTheFirstKeyAndResetsWhenEmpty) {
    auto atlas = Atlas_Create(100, 50, 0);
    ASSERT_NE(Atlas_Allocate(*atlas, "b", 50, 50), nullptr);
    ASSERT_NE(Atlas_Allocate(*atlas, "a", 50, 50), nullptr);
    // Equal ages: the first key goes.
    ASSERT_NE(Atlas_Allocate(*atlas, "c", 50, 50), nullptr);
    EXPECT_EQ(atlas->regions.count("a"), 0u);
    Atlas_AgeRegions(*atlas);
    Atlas_Allocate(*atlas, "c", 0, 0);
    // "b" is now the oldest.
    ASSERT_NE(Atlas_Allocate(*atlas, "d", 50, 50), nullptr);
    EXPECT_EQ(atlas->regions.count("b"), 0u);
    testing::internal::CaptureStderr();
    AtlasRegion* whole = Atlas_Allocate(*atlas, "whole", 100, 50);
    EXPECT_THAT(testing::internal::GetCapturedStderr(), testing::HasSubstr("atlas_reset: 100 x 50, 0 : 0"));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(atlas->regions.size(), 1u);
}

TEST_F(AtlasTest, AgesSaturate) {
    auto atlas = Atlas_Create(100, 50, 0);
    AtlasRegion* region = Atlas_Allocate(*atlas, "k", 10, 10);
    atlas->clock = region->lastUse + INT_MAX - 1;
    Atlas_AgeRegions(*atlas);
    Atlas_AgeRegions(*atlas);
    EXPECT_EQ(Atlas_Age(*atlas, *region), INT_MAX);
}

TEST_F(AtlasTest, ClearEmptiesTheMapAndThePacker) {
    auto atlas = Atlas_Create(100, 50, 0);
    Atlas_Allocate(*atlas, "k", 100, 50);
    Atlas_Clear(*atlas);
    EXPECT_TRUE(atlas->regions.empty());
    EXPECT_THAT(atlas->packer.FreeRects(), ElementsAre(PackerRect{0, 0, 100, 50}));
}

}  // namespace

namespace {

// Neighbours freed one by one make room together: a block as wide as two of them goes where
// they were, and the third region, still asked for, stays.
TEST(AtlasFreeing, FreedNeighboursTakeAWiderBlockWithoutFurtherEviction) {
    auto atlas = Atlas_Create(90, 10, 0);
    ASSERT_NE(Atlas_Allocate(*atlas, "a", 30, 10), nullptr);
    ASSERT_NE(Atlas_Allocate(*atlas, "b", 30, 10), nullptr);
    ASSERT_NE(Atlas_Allocate(*atlas, "c", 30, 10), nullptr);
    Atlas_AgeRegions(*atlas);
    Atlas_Find(*atlas, "c");
    Atlas_EvictOldest(*atlas);
    Atlas_EvictOldest(*atlas);
    AtlasRegion* wide = Atlas_Place(*atlas, "wide", 60, 10);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->x, 0);
    EXPECT_EQ(atlas->regions.count("c"), 1u);
}

}  // namespace
