#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/pack_response.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using test::box;
using test::item;
using test::placed;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(PackedItemFigures, OnlyTheCodeWLDIsUnrotated) {
    PackedItem p = placed(item("a", 1, 2, 3));
    EXPECT_FALSE(p.rotated());
    for (const char* code : {"LWD", "", "WL", "WLDX"}) {
        p.orientation = code;
        EXPECT_TRUE(p.rotated()) << code;
    }
}

TEST(BoxTypeFigures, ContentCapacityNeverGoesBelowZeroUnlessUnlimited) {
    struct Case { double max_weight, empty_weight; bool limited; double capacity; };
    for (const Case c : {Case{-1, 0, false, -1.0}, Case{-0.5, 3, false, -1.0},
                         Case{nan, 0, false, -1.0}, Case{0, 0, true, 0.0},
                         Case{10, 12, true, 0.0}, Case{10, 3, true, 7.0}}) {
        const BoxPtr b = box("B", 1, 1, 1, c.max_weight, c.empty_weight);
        EXPECT_EQ(b->has_weight_limit(), c.limited) << c.max_weight;
        EXPECT_EQ(b->max_content_weight(), c.capacity) << c.max_weight << " " << c.empty_weight;
    }
}

TEST(WorkingVolume, IsAnUnlimitedActiveBoxNamedByItsFullSizes) {
    const WorkingVolume volume(1.5, 2, 3);
    EXPECT_EQ(volume.reference(), "Working Volume 1.500000x2.000000x3.000000");
    EXPECT_EQ(volume.max_content_weight(), -1.0);
    EXPECT_EQ(volume.empty_weight(), 0.0);
    EXPECT_TRUE(volume.active());
    EXPECT_EQ(limitedSupplyOf(volume), nullptr);
    const WorkingVolume huge(1e300, 1, 1);
    EXPECT_EQ(huge.reference().rfind("Working Volume 1000000000", 0), 0u);
    EXPECT_EQ(huge.reference().size(), 15 + 301 + 7 + 2 * 9u);
}

// weight, item weight, remaining weight, used volume, unused volume, utilisation,
// used width/length/depth, remaining width/length/depth.
std::vector<double> figures(const PackedBox& b) {
    return {b.weight(), b.item_weight(), b.remaining_weight(), b.used_volume(),
            b.unused_volume(), b.volume_utilisation(), b.used_width(), b.used_length(),
            b.used_depth(), b.remaining_width(), b.remaining_length(), b.remaining_depth()};
}

TEST(PackedBoxFigures, FollowTheirRules) {
    const ItemPtr cube = item("a", 2, 2, 2);
    const struct {
        const char* rule;
        PackedBox packed;
        std::vector<double> expected;
    } cases[] = {
        {"empty", {box("B", 4, 5, 6, 10, 2), {}}, {2, 0, 8, 0, 120, 0, 0, 0, 0, 4, 5, 6}},
        {"overfull, not clamped", {box("B", 2, 2, 2), {placed(item("a", 3, 2, 2), 0, 1, 1)}},
         {0, 0, -1, 12, -4, 150, 3, 3, 3, -1, -1, -1}},
        {"within the weight limit",
         {box("B", 9, 9, 9, 10, 2), {placed(item("a", 1, 1, 1, 1)), placed(item("b", 1, 1, 1, 2))}},
         {5, 3, 5, 2, 727, 2.0 / 729 * 100, 1, 1, 1, 8, 8, 8}},
        {"remaining weight never negative",
         {box("B", 9, 9, 9, 10, 2), {placed(item("a", 1, 1, 1, 9))}},
         {11, 9, 0, 1, 728, 1.0 / 729 * 100, 1, 1, 1, 8, 8, 8}},
        {"no weight limit", {box("B", 9, 9, 9, -7, 2), {placed(item("a", 1, 1, 1, 100))}},
         {102, 100, -1, 1, 728, 1.0 / 729 * 100, 1, 1, 1, 8, 8, 8}},
        {"no inner volume", {box("B", 0, 9, 9), {placed(item("a", 1, 1, 1))}},
         {0, 0, -1, 1, -1, 0, 1, 1, 1, -1, 8, 8}},
        {"NaN ends ignored",
         {box("B", 9, 9, 9), {placed(cube, 1, 1, 1), placed(cube, nan, nan, nan)}},
         {0, 0, -1, 16, 713, 16.0 / 729 * 100, 3, 3, 3, 6, 6, 6}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(figures(c.packed), c.expected) << c.rule;
    }
    EXPECT_EQ(cases[4].packed.max_weight(), -7.0);
}

PackedBox boxWith(int count, double side) {
    PackedBox packed{box("B", 2, 2, 2), {}};
    for (int i = 0; i < count; ++i) packed.items.push_back(placed(item("i", side, side, side)));
    return packed;
}

TEST(PackResponseFigures, NoBoxesGiveZeroUtilisationAndCountingNeedsNoSorting) {
    auto sorter = std::make_shared<test::CountingItemSorter>();
    ItemCollection unplaced(sorter);
    unplaced.insert(item("a", 1, 1, 1));
    unplaced.insert(item("b", 1, 1, 1));
    const PackResponse response(false, test::packedBoxCollection(), std::move(unplaced));
    EXPECT_EQ(response.total_unplaced(), 2u);
    EXPECT_EQ(sorter->calls, 0);
    EXPECT_EQ(response.overall_volume_utilisation(), 0.0);
    EXPECT_EQ(response.total_placed(), 0);
}

TEST(PackResponseFigures, TotalsRunOverAllBoxesInDefaultOrder) {
    PackedBoxCollection packed = test::packedBoxCollection();
    packed.insert(boxWith(1, 1));
    packed.insert(boxWith(2, 1));
    packed.insert(boxWith(1, 2));
    const PackResponse response(true, std::move(packed), test::itemCollection());
    EXPECT_EQ(response.total_placed(), 4);
    EXPECT_EQ(response.overall_volume_utilisation(), 11.0 / 24.0 * 100.0);
    const std::vector<PackedBox> boxes = response.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].items.size(), 2u);
    EXPECT_EQ(boxes[1].used_volume(), 8.0);
    EXPECT_EQ(boxes[2].used_volume(), 1.0);
}

}  // namespace
}  // namespace quarvex
