#include <cmath>
#include <limits>
#include <stdexcept>

#include <gtest/gtest.h>

#include "quarvex/model/pack_response.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using test::box;
using test::item;
using test::placed;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(ItemKinds, OnlyANonEmptyBoxGroupMakesALinkedItem) {
    EXPECT_EQ(boxGroupOf(*item("a", 1, 1, 1, 0, "")), nullptr);
    const ItemPtr spaced = item("a", 1, 1, 1, 0, " ");
    ASSERT_NE(boxGroupOf(*spaced), nullptr);
    EXPECT_EQ(*boxGroupOf(*spaced), " ");
}

TEST(ItemKinds, LinkedItemRefusesAnEmptyBoxGroup) {
    ConcreteItem plain("a", "a", 1, 1, 1, 0, Rotation::NEVER);
    try {
        ConcreteLinkedItem linked(plain, "");
        FAIL() << "an empty box group was accepted";
    } catch (const std::invalid_argument& fault) {
        EXPECT_STREQ(fault.what(), "ConcreteLinkedItem requires a non-empty box group");
    }
}

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

TEST(BoxTypeFigures, AnyGivenQuantityMakesALimitedSupplyBox) {
    EXPECT_EQ(limitedSupplyOf(*box("B", 1, 1, 1)), nullptr);
    for (std::int32_t quantity : {0, -3}) {
        const BoxPtr b = box("B", 1, 1, 1, -1, 0, quantity);
        const LimitedSupplyBox* limited = limitedSupplyOf(*b);
        ASSERT_NE(limited, nullptr);
        EXPECT_EQ(limited->max_quantity(), quantity);
    }
}

TEST(WorkingVolume, IsAWeightlessActiveBoxNamedByItsSizes) {
    const WorkingVolume volume(1.5, 2, 3);
    EXPECT_EQ(volume.reference(), "Working Volume 1.500000x2.000000x3.000000");
    EXPECT_FALSE(volume.has_weight_limit());
    EXPECT_EQ(volume.max_content_weight(), -1.0);
    EXPECT_EQ(volume.empty_weight(), 0.0);
    EXPECT_TRUE(volume.active());
    EXPECT_EQ(limitedSupplyOf(volume), nullptr);
}

TEST(WorkingVolume, HugeSizesGiveTheirFullDigits) {
    const WorkingVolume volume(1e300, 1, 1);
    EXPECT_EQ(volume.reference().rfind("Working Volume 1000000000", 0), 0u);
    EXPECT_EQ(volume.reference().size(), 15 + 301 + 7 + 2 * 9u);
}

TEST(PackedBoxFigures, EmptyBoxHasNoUseAndAllItsRoom) {
    const PackedBox packed{box("B", 4, 5, 6, 10, 2), {}};
    EXPECT_EQ(packed.item_weight(), 0.0);
    EXPECT_EQ(packed.weight(), 2.0);
    EXPECT_EQ(packed.used_volume(), 0.0);
    EXPECT_EQ(packed.unused_volume(), 120.0);
    EXPECT_EQ(packed.volume_utilisation(), 0.0);
    EXPECT_EQ(packed.used_width() + packed.used_length() + packed.used_depth(), 0.0);
    EXPECT_EQ(packed.remaining_width(), 4.0);
    EXPECT_EQ(packed.remaining_length(), 5.0);
    EXPECT_EQ(packed.remaining_depth(), 6.0);
}

TEST(PackedBoxFigures, OverfullBoxIsNotClamped) {
    const PackedBox packed{box("B", 2, 2, 2), {placed(item("a", 3, 2, 2), 0, 1, 1)}};
    EXPECT_EQ(packed.remaining_width(), -1.0);
    EXPECT_EQ(packed.remaining_length(), -1.0);
    EXPECT_EQ(packed.remaining_depth(), -1.0);
    EXPECT_EQ(packed.unused_volume(), -4.0);
    EXPECT_EQ(packed.volume_utilisation(), 150.0);
}

TEST(PackedBoxFigures, RemainingWeightIsNeverNegative) {
    const BoxPtr limited = box("B", 9, 9, 9, 10, 2);
    const PackedBox light{limited, {placed(item("a", 1, 1, 1, 1)), placed(item("b", 1, 1, 1, 2))}};
    EXPECT_EQ(light.weight(), 5.0);
    EXPECT_EQ(light.remaining_weight(), 5.0);
    const PackedBox heavy{limited, {placed(item("a", 1, 1, 1, 9))}};
    EXPECT_EQ(heavy.remaining_weight(), 0.0);
}

TEST(PackedBoxFigures, NoWeightLimitReportsMinusOneRemaining) {
    const PackedBox packed{box("B", 9, 9, 9, -7, 2), {placed(item("a", 1, 1, 1, 100))}};
    EXPECT_EQ(packed.remaining_weight(), -1.0);
    EXPECT_EQ(packed.max_weight(), -7.0);
}

TEST(PackedBoxFigures, ZeroInnerVolumeGivesZeroUtilisation) {
    const PackedBox packed{box("B", 0, 9, 9), {placed(item("a", 1, 1, 1))}};
    EXPECT_EQ(packed.volume_utilisation(), 0.0);
}

TEST(PackedBoxFigures, UsedExtentsIgnoreNaNEnds) {
    const ItemPtr a = item("a", 2, 2, 2);
    const PackedBox packed{box("B", 9, 9, 9), {placed(a, 1, 1, 1), placed(a, nan, nan, nan)}};
    EXPECT_EQ(packed.used_width(), 3.0);
    EXPECT_EQ(packed.used_length(), 3.0);
    EXPECT_EQ(packed.used_depth(), 3.0);
}

PackedBox boxWith(int count, double side) {
    PackedBox packed{box("B", 2, 2, 2), {}};
    for (int i = 0; i < count; ++i) {
        packed.items.push_back(placed(item("i", side, side, side)));
    }
    return packed;
}

TEST(PackResponseFigures, NoBoxesGiveZeroUtilisationAndCountAllUnplaced) {
    auto sorter = std::make_shared<test::CountingItemSorter>();
    ItemCollection unplaced(sorter);
    unplaced.insert(item("a", 1, 1, 1));
    unplaced.insert(item("b", 1, 1, 1));
    const PackResponse response(
        false, test::packedBoxCollection(), std::move(unplaced));
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
    const PackResponse response(true, std::move(packed),
                                test::itemCollection());
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
