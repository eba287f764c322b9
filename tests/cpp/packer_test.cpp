// Exact outcomes of whole packing runs and of weight balancing, worked out by
// hand: one box group per box, limited supply, which items move between
// boxes, and the look-ahead memo across runs.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/collections.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/packing/weight_balancer.hpp"
#include "quarvex/placement/look_ahead.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using test::box;
using test::Codes;
using test::item;

// The item codes of a box, sorted, so that positions do not matter.
Codes contentsOf(const PackedBox& packed) {
    Codes codes;
    for (const PackedItem& p : packed.items) codes.push_back(p.item->item_code());
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::vector<Codes> contentsOf(const std::vector<PackedBox>& boxes) {
    std::vector<Codes> out;
    for (const PackedBox& b : boxes) out.push_back(contentsOf(b));
    return out;
}

ItemCollection itemsOf(const std::vector<ItemPtr>& items) {
    ItemCollection collection(std::make_shared<DefaultItemSorter>());
    for (const ItemPtr& i : items) collection.insert(i);
    return collection;
}

BoxCollection boxesOf(const std::vector<BoxPtr>& boxes) {
    BoxCollection collection(std::make_shared<DefaultBoxSorter>());
    for (const BoxPtr& b : boxes) collection.insert(b);
    return collection;
}

// A packed box holding the items side by side along x.
PackedBox packedIn(const BoxPtr& type, const std::vector<ItemPtr>& items) {
    PackedBox packed{type, {}};
    double x = 0.0;
    for (const ItemPtr& i : items) {
        packed.items.push_back(test::placed(i, x));
        x += i->width();
    }
    return packed;
}

// The boxes after balancing, most items first.
std::vector<PackedBox> balanced(const std::vector<BoxPtr>& types,
                                const std::vector<PackedBox>& boxes) {
    PackedBoxCollection packed(std::make_shared<DefaultPackedBoxSorter>());
    for (const PackedBox& b : boxes) packed.insert(b);
    return WeightBalancer(boxesOf(types)).balance(packed).sorted();
}

TEST(Packer, KeepsOneBoxGroupPerBox) {
    // The first trial holds P, Y (g1) and X (g2); a0 never fits. The first
    // group in item order that the trial holds is g1, so the box is packed
    // again with P and Y, and X gets a box of its own.
    const std::vector<ItemPtr> items{item("P", 1, 1, 1), item("Z", 20, 20, 20, 0, "a0"),
                                     item("Y", 1, 1, 2, 0, "g1"), item("X", 2, 2, 2, 0, "g2")};
    const PackResponse response = Packer::pack(itemsOf(items), boxesOf({box("T", 10, 10, 10)}));
    EXPECT_EQ(contentsOf(response.boxes()), (std::vector<Codes>{{"P", "Y"}, {"X"}}));
    ASSERT_EQ(response.unplaced_items().size(), 1u);
    EXPECT_EQ(response.unplaced_items()[0]->item_code(), "Z");
    EXPECT_FALSE(response.success());
}

TEST(Packer, OpensALimitedSupplyBoxTypeAtMostItsQuantity) {
    const auto twoCubes = [] {
        return itemsOf({item("c1", 10, 10, 10), item("c2", 10, 10, 10)});
    };
    const BoxPtr once = box("L", 10, 10, 10, -1.0, 0.0, 1);
    const PackResponse alone = Packer::pack(twoCubes(), boxesOf({once}));
    EXPECT_EQ(alone.boxes().size(), 1u);
    EXPECT_EQ(alone.total_unplaced(), 1u);

    // L ties with the heavier U and comes first, once; U takes the other cube.
    const PackResponse shared =
        Packer::pack(twoCubes(), boxesOf({box("U", 10, 10, 10, -1.0, 1.0), once}));
    EXPECT_TRUE(shared.success());
    Codes references;
    for (const PackedBox& b : shared.boxes()) references.push_back(b.box->reference());
    std::sort(references.begin(), references.end());
    EXPECT_EQ(references, (Codes{"L", "U"}));

    EXPECT_TRUE(
        Packer::pack(twoCubes(), boxesOf({box("none", 10, 10, 10, -1.0, 0.0, 0)})).boxes().empty());
}

TEST(WeightBalancing, MovesAnItemOnlyTowardsTheMeanAndWithinIt) {
    // Item weights 10 and 2, mean 6.
    const BoxPtr type = box("T", 10, 10, 10);
    const ItemPtr light = item("L2", 1, 1, 1, 2);
    // 3: 2 + 3 <= 6 and |7 - 6| < |10 - 6|. 7 would not stay within the mean.
    EXPECT_EQ(contentsOf(balanced({type}, {packedIn(type, {item("H7", 1, 1, 1, 7),
                                                           item("H3", 1, 1, 1, 3)}),
                                           packedIn(type, {light})})),
              (std::vector<Codes>{{"H3", "L2"}, {"H7"}}));
    // 5: 2 + 5 exceeds 6.
    EXPECT_EQ(contentsOf(balanced({type}, {packedIn(type, {item("H5a", 1, 1, 1, 5),
                                                           item("H5b", 1, 1, 1, 5)}),
                                           packedIn(type, {light})})),
              (std::vector<Codes>{{"H5a", "H5b"}, {"L2"}}));
    // A linked item stays with its group.
    EXPECT_EQ(contentsOf(balanced({type}, {packedIn(type, {item("H7", 1, 1, 1, 7),
                                                           item("G3", 1, 1, 1, 3, "g")}),
                                           packedIn(type, {light})})),
              (std::vector<Codes>{{"G3", "H7"}, {"L2"}}));
}

TEST(WeightBalancing, ABoxWhoseOnlyItemMovesDisappears) {
    // Mean (20 + 3 - 2) / 3 = 7. Moving 3 onto -2 gives 1 <= 7, and
    // |0 - 0.5| < |3 - 0.5|: the box that held 3 is left empty and goes.
    const BoxPtr type = box("T", 10, 10, 10);
    EXPECT_EQ(contentsOf(balanced({type}, {packedIn(type, {item("B20", 1, 1, 1, 20)}),
                                           packedIn(type, {item("H3", 1, 1, 1, 3)}),
                                           packedIn(type, {item("N", 1, 1, 1, -2)})})),
              (std::vector<Codes>{{"H3", "N"}, {"B20"}}));
}

TEST(WeightBalancing, NeverComparesBoxesOfEqualTotalWeight) {
    // A: empty 0 + items 7 and 3; B: empty 8 + items 1 and 1. Both weigh 10.
    // Compared, A would count as the heavier and give its 3 to B.
    const BoxPtr typeA = box("TA", 10, 10, 10, -1.0, 0.0);
    const BoxPtr typeB = box("TB", 10, 10, 10, -1.0, 8.0);
    const std::vector<PackedBox> out = balanced(
        {typeA, typeB},
        {packedIn(typeA, {item("A7", 1, 1, 1, 7), item("A3", 1, 1, 1, 3)}),
         packedIn(typeB, {item("B1a", 5, 5, 5, 1), item("B1b", 5, 5, 5, 1)})});
    EXPECT_EQ(contentsOf(out), (std::vector<Codes>{{"B1a", "B1b"}, {"A3", "A7"}}));
}

TEST(WeightBalancing, RepackedBoxesRespectLimitedSupply) {
    // L may exist once. While the heavy box still is an L, the light box
    // re-packs into U; the heavy box then keeps L.
    const BoxPtr once = box("L", 10, 10, 10, -1.0, 0.0, 1);
    const BoxPtr larger = box("U", 10, 10, 11);
    const std::vector<PackedBox> out = balanced(
        {once, larger}, {packedIn(once, {item("H7", 1, 1, 1, 7), item("H3", 1, 1, 1, 3)}),
                         packedIn(larger, {item("L2", 1, 1, 1, 2)})});
    ASSERT_EQ(contentsOf(out), (std::vector<Codes>{{"H3", "L2"}, {"H7"}}));
    EXPECT_EQ(out[0].box->reference(), "U");
    EXPECT_EQ(out[1].box->reference(), "L");
}

TEST(LookAheadMemo, ARepeatedRequestIsAnsweredFromTheMemo) {
    // Beside the cube, B's six orientations tie until the look-ahead, with C queued.
    const auto request = [] {
        return itemsOf({item("A", 10.25, 10.25, 10.25), item("B", 1.25, 2.5, 3.75),
                        item("C", 1.125, 1.125, 1.125)});
    };
    const BoxCollection boxes = boxesOf({box("T", 20.5, 20.5, 20.5)});
    const std::size_t before = lookAheadMemoSize();
    const PackResponse first = Packer::pack(request(), boxes);
    const std::size_t afterFirst = lookAheadMemoSize();
    EXPECT_GT(afterFirst, before);
    const PackResponse second = Packer::pack(request(), boxes);
    EXPECT_EQ(lookAheadMemoSize(), afterFirst);
    EXPECT_EQ(first.total_placed(), 3);
    EXPECT_EQ(second.total_placed(), 3);
}

}  // namespace
}  // namespace quarvex
