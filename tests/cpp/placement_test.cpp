// Exact placement choices, worked out by hand: orientation ranking, stability,
// region filling, restacking, free-space carving and look-ahead scores.

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/packing/free_space.hpp"
#include "quarvex/packing/layer.hpp"
#include "quarvex/placement/free_space_carving.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/layer_restacking.hpp"
#include "quarvex/placement/look_ahead.hpp"
#include "quarvex/placement/orientation.hpp"
#include "quarvex/placement/orientation_chooser.hpp"
#include "quarvex/placement/region_filler.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using test::Codes;
using test::where;

ItemPtr piece(const std::string& code, double w, double l, double d, Rotation rotation,
              double weight = 0.0) {
    return makeItem(code, code + "-ref", w, l, d, weight, rotation, "");
}

ItemPtr fixed(const std::string& code, double w, double l, double d, double weight = 0.0) {
    return piece(code, w, l, d, Rotation::NEVER, weight);
}

std::vector<ItemPtr> copies(int count, double w, double l, double d, Rotation rotation) {
    std::vector<ItemPtr> items;
    for (int i = 0; i < count; ++i) {
        items.push_back(piece("q" + std::to_string(i), w, l, d, rotation));
    }
    return items;
}

// "code w x l x d" of each candidate, in list order.
Codes describe(const CandidateList& candidates) {
    Codes out;
    for (const OrientedItem& c : candidates) {
        std::ostringstream text;
        text << c.code << ' ' << c.w << 'x' << c.l << 'x' << c.d;
        out.push_back(text.str());
    }
    return out;
}

// The code chosen for the item in a free W x L x D space, `queued` waiting
// behind it, the stability check off.
std::string chosen(const ItemPtr& item, double W, double L, double D,
                   const std::vector<ItemPtr>& queued = {}, bool lookAhead = false) {
    OrientationChooser chooser(test::box("box", 100, 100, 100), !lookAhead);
    const ItemQueue remaining(queued);
    const PlacementSpace space{W, L, D, remaining, 0.0, !lookAhead};
    const auto choice = chooseOrientation(chooser, *item, nullptr, space, false);
    return choice ? std::string(choice->code) : "none";
}

Codes codesOf(const ItemQueue& queue) {
    Codes out;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        out.push_back(queue[i]->item_code());
    }
    return out;
}

struct Filled {
    Codes placed;
    Codes queued;  // what the fill left in the queue
    double depth;
};

Filled fill(const std::vector<ItemPtr>& items, const Region& region, double stackCeiling,
            const BoxPtr& box = test::box("box", 100, 100, 100), double packedWeight = 0.0) {
    OrientationChooser chooser(box, true);
    ItemQueue queue(items);
    const Layer layer =
        fillRegion(chooser, queue, packedWeight, region, stackCeiling, false, std::nullopt);
    return {where(layer.items), codesOf(queue), layer.depth};
}

TEST(FittingCandidates, KeepTheFirstOfEqualSizesInGenerationOrder) {
    const auto big = 100.0;
    EXPECT_EQ(describe(fittingCandidates(*piece("c", 2, 2, 2, Rotation::BEST_FIT), nullptr, big,
                                         big, big)),
              (Codes{"WLD 2x2x2"}));
    // WDL, DWL and DLW repeat earlier sizes; LDW is the first 2x2x1.
    EXPECT_EQ(describe(fittingCandidates(*piece("b", 1, 2, 2, Rotation::BEST_FIT), nullptr, big,
                                         big, big)),
              (Codes{"WLD 1x2x2", "LWD 2x1x2", "LDW 2x2x1"}));
    // A rotation value outside the enum turns like BEST_FIT.
    EXPECT_EQ(describe(fittingCandidates(*piece("o", 1, 2, 3, static_cast<Rotation>(7)), nullptr,
                                         big, big, big)),
              (Codes{"WLD 1x2x3", "LWD 2x1x3", "WDL 1x3x2", "LDW 2x3x1", "DWL 3x1x2",
                     "DLW 3x2x1"}));
    EXPECT_EQ(describe(fittingCandidates(*piece("k", 10, 20, 5, Rotation::KEEP_FLAT), nullptr, 20,
                                         10, 5)),
              (Codes{"LWD 20x10x5"}));
    EXPECT_EQ(describe(fittingCandidates(*fixed("n", 1, 1, 6), nullptr, 10, 10, 5)), Codes{});
}

TEST(FittingCandidates, SameShapeAsThePreferredOffersOnlyTheItemsOwnMatchingOrientation) {
    const ItemPtr item = piece("i", 2, 3, 4, Rotation::BEST_FIT);
    const ItemPtr other = piece("o", 3, 4, 2, Rotation::BEST_FIT);
    // The other item's LDW is 4 x 2 x 3, which is this item's DWL.
    const OrientedItem preferred{other.get(), 4, 2, 3, "LDW"};
    EXPECT_EQ(describe(fittingCandidates(*item, &preferred, 10, 10, 10)), (Codes{"DWL 4x2x3"}));
    // Too narrow for 4, and no other orientation is offered though WLD would fit.
    EXPECT_EQ(describe(fittingCandidates(*item, &preferred, 3, 10, 10)), Codes{});

    // An item that cannot take the preferred sizes is offered its own orientations.
    const OrientedItem swapped{other.get(), 3, 2, 4, "LWD"};
    EXPECT_EQ(describe(fittingCandidates(*fixed("n", 2, 3, 4), &swapped, 10, 10, 10)),
              (Codes{"WLD 2x3x4"}));

    const OrientedItem cube{other.get(), 1, 1, 1, "WLD"};
    EXPECT_EQ(describe(fittingCandidates(*piece("k", 2, 3, 4, Rotation::KEEP_FLAT), &cube, 10, 10,
                                         10)),
              (Codes{"WLD 2x3x4", "LWD 3x2x4"}));
}

TEST(OrientationChoice, FillRulesGoWidthThenLengthThenDepth) {
    // LWD fills the width, WLD only the length: width wins.
    EXPECT_EQ(chosen(piece("a", 3, 5, 1, Rotation::KEEP_FLAT), 5, 5, 10), "LWD");
    // WLD and WDL both fill the width; WDL also fills the length.
    EXPECT_EQ(chosen(piece("b", 5, 3, 5, Rotation::BEST_FIT), 5, 5, 10), "WDL");
    // Only LDW and DLW fill the depth; they tie on everything after, so the
    // earlier one stays first although lying flat would fit tighter.
    EXPECT_EQ(chosen(piece("c", 6, 3, 2, Rotation::BEST_FIT), 10, 10, 6), "LDW");
}

TEST(OrientationChoice, HomogeneousQueuePrefersTheGridThatHoldsIt) {
    const ItemPtr item = piece("i", 1, 3, 1, Rotation::KEEP_FLAT);
    // In 11 x 4 x 1, WLD's grid holds 11 and LWD's 12; the tighter fit is WLD.
    std::vector<ItemPtr> eleven = copies(11, 1, 3, 1, Rotation::KEEP_FLAT);
    EXPECT_EQ(chosen(item, 11, 4, 1, eleven), "LWD");
    EXPECT_EQ(chosen(item, 11, 4, 1), "WLD");
    std::vector<ItemPtr> mixed = copies(10, 1, 3, 1, Rotation::KEEP_FLAT);
    mixed.push_back(fixed("odd", 1, 1, 1));
    EXPECT_EQ(chosen(item, 11, 4, 1, mixed), "WLD");

    // In 12 x 11 x 1 both grids hold twelve (12 and 22): the larger one wins.
    const ItemPtr longer = piece("j", 1, 6, 1, Rotation::KEEP_FLAT);
    EXPECT_EQ(chosen(longer, 12, 11, 1, copies(11, 1, 6, 1, Rotation::KEEP_FLAT)), "LWD");
    EXPECT_EQ(chosen(longer, 12, 11, 1), "WLD");
}

TEST(OrientationChoice, RoomBesideForTheNextItemComesBeforeTheTighterFit) {
    // In 7 x 10 x 1, WLD leaves a strip 5 wide beside it and LWD one 2 wide;
    // the tighter fit is LWD.
    const ItemPtr item = piece("i", 2, 5, 1, Rotation::KEEP_FLAT);
    EXPECT_EQ(chosen(item, 7, 10, 1), "LWD");
    EXPECT_EQ(chosen(item, 7, 10, 1, {fixed("wide", 3, 1, 1)}), "WLD");
    // A next item of the same shape is tried in the candidate's own sizes: 5
    // wide beside LWD does not fit.
    const ItemPtr odd = fixed("odd", 1, 1, 1);
    EXPECT_EQ(chosen(item, 7, 10, 1, {piece("same", 2, 5, 1, Rotation::KEEP_FLAT), odd}), "WLD");
    // One that cannot turn into those sizes is tried as it is, and fits both strips.
    EXPECT_EQ(chosen(item, 7, 10, 1, {fixed("never", 2, 5, 1), odd}), "LWD");
}

TEST(OrientationChoice, LookAheadSeparatesCandidatesTheCheaperRulesTie) {
    // In 10 x 12 x 1: WLD (7 x 3) leaves 3 x 3 beside and 10 x 9 beyond, which
    // take only the 10 x 5; LWD (3 x 7) leaves 7 x 7 and 10 x 5, which take both.
    const ItemPtr item = piece("i", 7, 3, 1, Rotation::KEEP_FLAT);
    const std::vector<ItemPtr> queued{fixed("ten", 10, 5, 1), fixed("seven", 7, 7, 1)};
    EXPECT_EQ(chosen(item, 10, 12, 1, queued, true), "LWD");
    EXPECT_EQ(chosen(item, 10, 12, 1, queued, false), "WLD");
}

TEST(OrientationChoice, ThinItemsLieOnTheirLargestFace) {
    // Smallest side over largest 0.3: the two orientations of height 3 come first.
    EXPECT_EQ(chosen(piece("flat", 3, 5, 10, Rotation::BEST_FIT), 20, 20, 20), "LDW");
    // 0.31 is not thin: tighter fit, then the smaller footprint decide.
    EXPECT_EQ(chosen(piece("thick", 3.1, 5, 10, Rotation::BEST_FIT), 20, 20, 20), "WDL");
}

TEST(OrientationChoice, TighterFitThenSmallerFootprint) {
    // WDL, LDW, DWL and DLW leave 6 on their tighter side (WLD and LWD 7);
    // of these LDW and DLW stand on 8 rather than 12.
    EXPECT_EQ(chosen(piece("i", 3, 2, 4, Rotation::BEST_FIT), 10, 10, 10), "LDW");
}

TEST(StableOrientation, NarrowBaseAgainstHeight) {
    EXPECT_FALSE(isStableOrientation({nullptr, 2.67, 5, 10, "WLD"}));
    EXPECT_TRUE(isStableOrientation({nullptr, 2.68, 5, 10, "WLD"}));
    // No height is judged as height 1.
    EXPECT_FALSE(isStableOrientation({nullptr, 5, 0.2, 0, "WLD"}));
    EXPECT_TRUE(isStableOrientation({nullptr, 5, 0.3, 0, "WLD"}));
}

TEST(StabilityCheck, HoldsBackAnItemThatCouldStandStablyInTheEmptyBox) {
    const ItemPtr pole = piece("pole", 1, 1, 10, Rotation::BEST_FIT);
    const ItemQueue nothing;
    const PlacementSpace upright{1, 1, 10, nothing, 0.0, true};
    const auto choice = [&](double boxWidth, double boxDepth, bool check) {
        OrientationChooser chooser(test::box("box", boxWidth, boxWidth, boxDepth), true);
        const auto c = chooseOrientation(chooser, *pole, nullptr, upright, check);
        return c ? std::string(c->code) : "none";
    };
    EXPECT_EQ(choice(12, 12, true), "none");  // it can lie down in this box
    EXPECT_EQ(choice(12, 12, false), "WLD");
    EXPECT_EQ(choice(2, 12, true), "WLD");  // no stable orientation fits this box
    // Spanning the box's full height counts as stable, also where lying down fits.
    EXPECT_EQ(choice(2, 10, true), "WLD");
    EXPECT_EQ(choice(12, 10, true), "WLD");
}

TEST(GridCount, TruncatesEachQuotientAndSaturates) {
    constexpr auto most = std::numeric_limits<std::int64_t>::max();
    constexpr auto least = std::numeric_limits<std::int64_t>::min();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(gridCount(10, 10, 10, 3, 3, 3), 27);
    EXPECT_EQ(gridCount(-5, 4, 4, 2, 2, 2), -8);
    EXPECT_EQ(gridCount(10, 10, 10, 0, 1, 1), 0);
    EXPECT_EQ(gridCount(inf, 1, 1, 1, 1, 1), most);
    EXPECT_EQ(gridCount(1e18, 1e18, 1, 1, 1, 1), most);
    EXPECT_EQ(gridCount(-1e18, 1e18, 1, 1, 1, 1), least);
    EXPECT_EQ(gridCount(std::nan(""), 1, 1, 1, 1, 1), 0);
}

TEST(RegionFill, DefersSameShapeItemsThatDoNotFitButKeepsOneQueued) {
    // After the 6-wide item, four of the five 5 x 5 items are deferred and the
    // fifth's failure opens the next row, where they go on two to a row.
    std::vector<ItemPtr> items{fixed("A", 6, 5, 1)};
    for (const char* code : {"B1", "B2", "B3", "B4", "B5"}) {
        items.push_back(fixed(code, 5, 5, 1));
    }
    const Filled result = fill(items, {0, 0, 0, 10, 20, 1}, 0);
    EXPECT_EQ(result.placed, (Codes{"A(0,0,0)", "B1(0,5,0)", "B2(5,5,0)", "B3(0,10,0)",
                                    "B4(5,10,0)", "B5(0,15,0)"}));
    EXPECT_EQ(result.queued, Codes{});
}

TEST(RegionFill, NothingFitsLeavesTheQueueAsItWas) {
    const Filled none = fill({fixed("P", 3, 3, 3), fixed("Q", 3, 3, 3), fixed("R", 5, 1, 1)},
                             {0, 0, 0, 2, 2, 2}, 0);
    EXPECT_EQ(none.placed, Codes{});
    EXPECT_EQ(none.queued, (Codes{"P", "Q", "R"}));
    EXPECT_EQ(fill({}, {0, 0, 0, 2, 2, 2}, 0).placed, Codes{});
}

TEST(RegionFill, SameShapeReusesTheLastOrientationUntilANewRow) {
    OrientationChooser chooser(test::box("box", 11, 10, 1), true);
    ItemQueue queue({fixed("A", 4, 3, 1), piece("B", 3, 4, 1, Rotation::KEEP_FLAT),
                     piece("C", 3, 4, 1, Rotation::KEEP_FLAT)});
    double weight = 0.0;
    const Layer layer =
        fillRegion(chooser, queue, weight, {0, 0, 0, 11, 10, 1}, 0, false, std::nullopt);
    // B takes A's 4 x 3 as its own LWD. C would fit the 3 left in the row as
    // WLD, but only 4 x 3 is offered; in the new row it is free again.
    EXPECT_EQ(where(layer.items), (Codes{"A(0,0,0)", "B(4,0,0)", "C(0,3,0)"}));
    ASSERT_EQ(layer.items.size(), 3u);
    EXPECT_EQ(layer.items[1].orientation, "LWD");
    EXPECT_EQ(layer.items[1].width, 4);
    EXPECT_EQ(layer.items[2].orientation, "WLD");
    EXPECT_EQ(layer.items[2].width, 3);
}

TEST(RegionFill, FillsTheStripInFrontOfAShallowerItemUpToTheHeightReached) {
    // B is 4 shallower than A's row; its strip 4 x 4 takes F with G stacked up
    // to A's height 5. H no longer fits on G and opens the next row.
    const Filled result = fill({fixed("A", 4, 6, 5), fixed("B", 4, 2, 5), fixed("F", 4, 4, 2),
                                fixed("G", 4, 4, 3), fixed("H", 4, 4, 4)},
                               {0, 0, 0, 10, 10, 10}, 0);
    EXPECT_EQ(result.placed,
              (Codes{"A(0,0,0)", "B(4,0,0)", "F(4,2,0)", "G(4,2,2)", "H(0,6,0)"}));
    EXPECT_EQ(result.depth, 5);
}

TEST(RegionFill, WithoutACeilingStacksOnlyUpToTheHeightReachedSoFar) {
    // A (10 high) gets nothing on top; B (4) gets C up to 10, where D no longer fits.
    const Filled lower = fill({fixed("A", 5, 10, 10), fixed("B", 5, 10, 4), fixed("C", 5, 10, 4),
                               fixed("D", 5, 10, 4)},
                              {0, 0, 0, 10, 10, 40}, 0);
    EXPECT_EQ(lower.placed, (Codes{"A(0,0,0)", "B(5,0,0)", "C(5,0,4)"}));
    EXPECT_EQ(lower.queued, Codes{"D"});
    EXPECT_EQ(lower.depth, 10);

    // One footprint wide, nothing goes on the first item.
    const std::vector<ItemPtr> tower{fixed("T1", 5, 10, 10), fixed("T2", 5, 10, 10),
                                     fixed("T3", 5, 10, 10), fixed("T4", 5, 10, 10)};
    const Filled single = fill(tower, {0, 0, 0, 5, 10, 40}, 0);
    EXPECT_EQ(single.placed, Codes{"T1(0,0,0)"});
    EXPECT_EQ(single.queued, (Codes{"T2", "T3", "T4"}));
}

TEST(RegionFill, ACeilingStacksLevelByLevelUpToIt) {
    // Ceiling 30 over items 10 high: 20 left above T1, 10 above T2, none above T3.
    const std::vector<ItemPtr> tower{fixed("T1", 5, 10, 10), fixed("T2", 5, 10, 10),
                                     fixed("T3", 5, 10, 10), fixed("T4", 5, 10, 10)};
    const Filled result = fill(tower, {0, 0, 0, 5, 10, 40}, 30);
    EXPECT_EQ(result.placed, (Codes{"T1(0,0,0)", "T2(0,0,10)", "T3(0,0,20)"}));
    EXPECT_EQ(result.queued, Codes{"T4"});
}

TEST(RegionFill, DropsItemsTooHeavyForWhatTheBoxMayStillTake) {
    // Content capacity 10 with 4 already packed: 7 is dropped, 6 fits exactly.
    const BoxPtr box = test::box("box", 10, 10, 10, 10.0);
    const Filled result =
        fill({fixed("heavy", 2, 2, 2, 7), fixed("fits", 1, 1, 1, 6), fixed("late", 1, 1, 1, 1)},
             {0, 0, 0, 10, 10, 10}, 0, box, 4.0);
    EXPECT_EQ(result.placed, Codes{"fits(0,0,0)"});
    EXPECT_EQ(result.queued, Codes{});

    // When the last queued item is dropped, items deferred before it are gone too.
    const Filled dry =
        fill({fixed("wide", 20, 1, 1, 0), fixed("heavy", 1, 1, 1, 11)}, {0, 0, 0, 10, 10, 10}, 0,
             box, 0.0);
    EXPECT_EQ(dry.placed, Codes{});
    EXPECT_EQ(dry.queued, Codes{});
}

TEST(LayerRestacking, LargestFootprintLowestThenDeepest) {
    const auto layerOf = [](std::vector<PackedItem> items) {
        Layer layer;
        for (PackedItem& p : items) layer.insert(std::move(p));
        return layer;
    };
    const ItemPtr p = fixed("P", 100, 80, 30);
    const ItemPtr q = fixed("Q", 120, 80, 10);
    const ItemPtr r = fixed("R", 50, 40, 10);  // stacked on Q
    std::vector<Layer> layers;
    layers.push_back(layerOf({test::placed(p, 0, 0, 0)}));
    layers.push_back(layerOf({test::placed(q, 0, 0, 30), test::placed(r, 0, 0, 40)}));
    const std::vector<Layer> out = restackLayers(std::move(layers));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(where(out[0].items), (Codes{"Q(0,0,0)", "R(0,0,10)"}));
    EXPECT_EQ(where(out[1].items), Codes{"P(0,0,20)"});
    EXPECT_EQ(out[1].endZ, 50);

    // Equal areas: the deeper goes lower; equal depth keeps the order.
    std::vector<Layer> equal;
    equal.push_back(layerOf({test::placed(fixed("shallow", 10, 10, 5), 0, 0, 0)}));
    equal.push_back(layerOf({test::placed(fixed("deep1", 10, 10, 7), 0, 0, 5)}));
    equal.push_back(layerOf({test::placed(fixed("deep2", 10, 10, 7), 0, 0, 12)}));
    const std::vector<Layer> sorted = restackLayers(std::move(equal));
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(where(sorted[0].items), Codes{"deep1(0,0,0)"});
    EXPECT_EQ(where(sorted[1].items), Codes{"deep2(0,0,7)"});
    EXPECT_EQ(where(sorted[2].items), Codes{"shallow(0,0,14)"});
}

// "x,y,z wxlxd" of each space, in list order.
Codes blocks(const std::vector<FreeSpace>& spaces) {
    Codes out;
    for (const FreeSpace& s : spaces) {
        std::ostringstream text;
        text << s.x << ',' << s.y << ',' << s.z << ' ' << s.w << 'x' << s.l << 'x' << s.d;
        out.push_back(text.str());
    }
    return out;
}

TEST(FreeSpaceCarving, FaceContactOrNoItemLeavesTheSpaceWhole) {
    const std::vector<FreeSpace> space{FreeSpace(0, 0, 0, 10, 10, 10)};
    for (const PackedItem& touching :
         {test::placed(fixed("right", 4, 4, 4), 10, 0, 0),
          test::placed(fixed("left", 4, 4, 4), -4, 0, 0),
          test::placed(fixed("above", 4, 4, 4), 0, 0, 10)}) {
        EXPECT_EQ(blocks(carveFreeSpaces(space, {touching})), Codes{"0,0,0 10x10x10"});
    }
    EXPECT_EQ(blocks(carveFreeSpaces(space, {})), Codes{"0,0,0 10x10x10"});
}

TEST(FreeSpaceCarving, CutsSixSlabsLeftRightFrontBackBelowAbove) {
    const std::vector<FreeSpace> spaces = carveFreeSpaces(
        {FreeSpace(0, 0, 0, 6, 6, 6)}, {test::placed(fixed("core", 2, 2, 2), 2, 2, 2)});
    EXPECT_EQ(blocks(spaces), (Codes{"0,0,0 2x6x6", "4,0,0 2x6x6", "2,0,0 2x2x6", "2,4,0 2x2x6",
                                     "2,2,0 2x2x2", "2,2,4 2x2x2"}));
    std::vector<double> volumes;
    for (const FreeSpace& s : spaces) volumes.push_back(s.volume);
    EXPECT_EQ(volumes, (std::vector<double>{72, 72, 24, 24, 8, 8}));
}

TEST(FreeSpaceCarving, SlabsTakeTheirSpacesPlaceAndCoveredSpacesVanish) {
    EXPECT_EQ(blocks(freeSpaces(10, 10, 10, {test::placed(fixed("wall", 4, 10, 10))})),
              Codes{"4,0,0 6x10x10"});
    EXPECT_EQ(blocks(freeSpaces(10, 10, 10, {test::placed(fixed("all", 12, 12, 12), -1, -1, -1)})),
              Codes{});
    // The first space is untouched, the second cut, the third covered.
    const std::vector<FreeSpace> spaces =
        carveFreeSpaces({FreeSpace(0, 0, 0, 5, 10, 10), FreeSpace(5, 0, 0, 5, 10, 10),
                         FreeSpace(10, 0, 0, 2, 10, 10)},
                        {test::placed(fixed("slab", 7, 10, 10), 5, 0, 0)});
    EXPECT_EQ(blocks(spaces), Codes{"0,0,0 5x10x10"});
    const std::vector<FreeSpace> cut =
        carveFreeSpaces({FreeSpace(0, 0, 0, 5, 10, 10), FreeSpace(5, 0, 0, 5, 10, 10)},
                        {test::placed(fixed("post", 2, 10, 10), 5, 0, 0)});
    EXPECT_EQ(blocks(cut), (Codes{"0,0,0 5x10x10", "7,0,0 3x10x10"}));
}

TEST(LookAhead, CountsTheNextSevenItemsFittingBesideAndBeyond) {
    const std::vector<ItemPtr> cubes = copies(12, 1, 1, 1, Rotation::BEST_FIT);
    const ItemQueue queue(cubes);
    const PlacementSpace space{10, 10, 10, queue, 0.0, false};
    // As wide as the space: nothing beside, all seven beyond its 2-deep row.
    EXPECT_EQ(lookAheadScore(space, {cubes[0].get(), 10, 2, 1, "WLD"}), 7);
    // Filling width and length leaves no block at all.
    EXPECT_EQ(lookAheadScore(space, {cubes[0].get(), 10, 10, 1, "WLD"}), 0);
    const PlacementSpace disabled{10, 10, 10, queue, 0.0, true};
    EXPECT_EQ(lookAheadScore(disabled, {cubes[0].get(), 4, 2, 1, "WLD"}), 0);
}

}  // namespace
}  // namespace quarvex
