// Exact results of one box-packing try and of the box filler around it,
// worked out by hand: layer trial and rebuild, restacking, gap filling,
// frame restore, first-item options, footprints and the final order.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/collections.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/layer.hpp"
#include "quarvex/packing/layer_builder.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/orientation_chooser.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using test::Codes;
using test::where;

ItemPtr fixed(const std::string& code, double w, double l, double d, double weight = 0.0) {
    return makeItem(code, code + "-ref", w, l, d, weight, Rotation::NEVER, "");
}

Codes codesOf(const std::vector<PackedItem>& items) {
    Codes out;
    for (const PackedItem& p : items) out.push_back(p.item->item_code());
    return out;
}

PackedBox packWith(const BoxPtr& box, const std::vector<ItemPtr>& items) {
    ItemCollection collection(std::make_shared<DefaultItemSorter>());
    for (const ItemPtr& item : items) collection.insert(item);
    return BoxFiller(box).pack(collection);
}

BoxFiller nestedFiller(BoxPtr box) {
    BoxFiller filler(std::move(box));
    filler.lookAheadDisabled = true;
    return filler;
}

TEST(LayerBuilding, RebuildsALayerThatGrewDeeperThanItsFirstItem) {
    // The trial puts A (4 high) and B (10 high) side by side, 10 deep in all:
    // rebuilt with ceiling 10, C goes on A before B takes its place.
    const BoxFiller filler = nestedFiller(test::box("box", 10, 10, 20));
    const PackedBox rebuilt = packLayers(
        filler, 10, 10, std::nullopt,
        {fixed("A", 5, 10, 4), fixed("B", 5, 10, 10), fixed("C", 5, 10, 6)});
    EXPECT_EQ(where(rebuilt.items), (Codes{"A(0,0,0)", "C(0,0,4)", "B(5,0,0)"}));

    // A trial as deep as its first item is kept, and what it took stays taken.
    const PackedBox kept = packLayers(
        filler, 10, 10, std::nullopt,
        {fixed("A", 5, 10, 4), fixed("B", 5, 10, 4), fixed("C", 5, 10, 4)});
    EXPECT_EQ(where(kept.items), (Codes{"A(0,0,0)", "B(5,0,0)", "C(0,0,4)"}));
}

TEST(LayerBuilding, RestacksOnlyOutsideLookAheadRuns) {
    // A (5 x 5 x 5) makes the first layer, B (10 x 10 x 1) the second; the
    // larger footprint goes to the floor.
    const BoxPtr box = test::box("box", 10, 10, 10);
    const std::vector<ItemPtr> sorted{fixed("A", 5, 5, 5), fixed("B", 10, 10, 1)};
    EXPECT_EQ(where(packLayers(BoxFiller(box), 10, 10, std::nullopt, sorted).items),
              (Codes{"B(0,0,0)", "A(0,0,1)"}));
    EXPECT_EQ(where(packLayers(nestedFiller(box), 10, 10, std::nullopt, sorted).items),
              (Codes{"A(0,0,0)", "B(0,0,5)"}));
}

TEST(GapFilling, LowestSpaceFirstThenTheLargestAtOneHeight) {
    // P on the floor and the shelf Q above the strip left of it leave, in this
    // order: left (0,0,0 3x10x5, volume 150, area 30), right (8,0,0 2x10x10,
    // 200, 20) and above P (3,0,1 5x10x9, 450). W fits only above P; G goes
    // to the right strip, W waiting meanwhile. Then W passes over the two
    // blocks at z 0 that the right strip leaves, and the left one.
    const BoxPtr box = test::box("box", 10, 10, 10);
    Layer floor;
    floor.insert(test::placed(fixed("P", 5, 10, 1), 3, 0, 0));
    floor.insert(test::placed(fixed("Q", 3, 10, 5), 0, 0, 5));
    std::vector<Layer> layers;
    layers.push_back(std::move(floor));
    ItemQueue queue({fixed("W", 4, 4, 4), fixed("G", 2, 2, 2)});
    OrientationChooser chooser(box, true);
    const std::vector<Layer> out =
        fillGaps(BoxFiller(box), std::move(layers), queue, chooser, 10, 10);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(where(out[1].items), Codes{"G(8,0,0)"});
    EXPECT_EQ(where(out[2].items), Codes{"W(3,0,1)"});
    EXPECT_TRUE(queue.empty());
}

TEST(FrameRestore, SwapsAxesAndCodeLettersForASwappedFootprint) {
    const ItemPtr item = fixed("i", 4, 3, 1);
    const auto layerWith = [&](std::string code) {
        Layer layer;
        layer.insert(PackedItem{item, 3, 4, 1, std::move(code), 2, 5, 0});
        std::vector<Layer> layers;
        layers.push_back(std::move(layer));
        return layers;
    };
    // Box 6 wide and 9 long, packed on a footprint 9 wide.
    const BoxFiller filler(test::box("box", 6, 9, 1));
    const std::vector<Layer> back = restoreFrame(filler, layerWith("WLD"), 9);
    ASSERT_EQ(back.size(), 1u);
    ASSERT_EQ(back[0].items.size(), 1u);
    const PackedItem& p = back[0].items[0];
    EXPECT_EQ(where(back[0].items), Codes{"i(5,2,0)"});
    EXPECT_EQ(p.width, 4);
    EXPECT_EQ(p.length, 3);
    EXPECT_EQ(p.orientation, "LWD");
    EXPECT_EQ(back[0].endX, 9);
    EXPECT_EQ(restoreFrame(filler, layerWith("DLW"), 9)[0].items[0].orientation, "LDW");

    // On the box's own width nothing changes, square or not.
    const std::vector<Layer> same = restoreFrame(BoxFiller(test::box("sq", 9, 9, 1)),
                                                 layerWith("WLD"), 9);
    EXPECT_EQ(where(same[0].items), Codes{"i(2,5,0)"});
    EXPECT_EQ(same[0].items[0].orientation, "WLD");
}

TEST(BoxFilling, FirstItemOptionsAreTriedInCandidateOrder) {
    // F's first option, WLD (6 x 4), already places both, although the free
    // choice for F would be LWD (4 x 6 fills the length).
    const ItemPtr f = makeItem("F", "F-ref", 6, 4, 1, 1, Rotation::KEEP_FLAT, "");
    const ItemPtr g = fixed("G", 4, 6, 1);
    const PackedBox packed = packWith(test::box("box", 10, 6, 1), {f, g});
    EXPECT_EQ(where(packed.items), (Codes{"F(0,0,0)", "G(6,0,0)"}));
    ASSERT_EQ(packed.items.size(), 2u);
    EXPECT_EQ(packed.items[0].orientation, "WLD");
    EXPECT_EQ(packed.items[0].width, 6);
}

TEST(BoxFilling, ItemsThatMayNeverTurnKeepTheDeclaredFootprint) {
    // Only the swapped footprint would take it, which turns it a quarter.
    EXPECT_TRUE(packWith(test::box("box", 4, 10, 1), {fixed("N", 10, 4, 1)}).items.empty());
    const ItemPtr flat = makeItem("K", "K-ref", 10, 4, 1, 0, Rotation::KEEP_FLAT, "");
    const PackedBox turned = packWith(test::box("box", 4, 10, 1), {flat});
    ASSERT_EQ(turned.items.size(), 1u);
    EXPECT_EQ(turned.items[0].orientation, "LWD");
}

TEST(BoxFilling, AFirstItemThatFitsNowhereLeavesRoomForTheRest) {
    const PackedBox packed = packWith(test::box("box", 5, 5, 5),
                                      {test::item("big", 6, 6, 6), test::item("small", 1, 1, 1)});
    EXPECT_EQ(where(packed.items), Codes{"small(0,0,0)"});
}

TEST(BoxFilling, PositionOrderTreatsHeightsWithinAMillionthAsEqual) {
    // A is 5e-7 higher than B, so F on A sits 5e-7 above E in the gap on B;
    // at one height, F comes first by x.
    const double a = 1.0000005;
    const PackedBox packed =
        packWith(test::box("box", 10, 5, 3), {fixed("A", 5, 5, a), fixed("B", 5, 5, 1),
                                              fixed("F", 5, 5, 0.5), fixed("E", 1, 1, 2)});
    EXPECT_EQ(codesOf(packed.items), (Codes{"A", "B", "F", "E"}));
    ASSERT_EQ(packed.items.size(), 4u);
    EXPECT_EQ(packed.items[2].z, a);
    EXPECT_EQ(packed.items[3].z, 1.0);
    EXPECT_EQ(packed.items[3].x, 5.0);
}

}  // namespace
}  // namespace quarvex
