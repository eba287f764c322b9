// What whole requests reach only in part, worked out by hand: the orientation
// ranking rule by rule, stability, grid counts, free-space carving and the
// bound on the look-ahead memo.

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/packing/free_space.hpp"
#include "quarvex/packing/one_box_bound.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/placement/free_space_carving.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/look_ahead.hpp"
#include "quarvex/placement/orientation.hpp"
#include "quarvex/placement/orientation_chooser.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using Codes = std::vector<std::string>;
using test::fixed;

ItemPtr piece(const std::string& code, double w, double l, double d, Rotation rotation) {
    return test::item(code, w, l, d, 0.0, "", rotation);
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

// The items queued behind the one placed, in order.
template <class... Items>
std::vector<ItemPtr> waiting(Items... items) {
    return {items...};
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
    EXPECT_EQ(
        describe(fittingCandidates(*piece("o", 1, 2, 3, static_cast<Rotation>(7)), nullptr, big,
                                   big, big)),
        (Codes{"WLD 1x2x3", "LWD 2x1x3", "WDL 1x3x2", "LDW 2x3x1", "DWL 3x1x2", "DLW 3x2x1"}));
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
    EXPECT_EQ(
        describe(fittingCandidates(*piece("k", 2, 3, 4, Rotation::KEEP_FLAT), &cube, 10, 10, 10)),
        (Codes{"WLD 2x3x4", "LWD 3x2x4"}));
}

TEST(OrientationChoice, RulesInOrder) {
    using R = Rotation;
    const ItemPtr odd = fixed("odd", 1, 1, 1);
    std::vector<ItemPtr> tenAndOdd = copies(10, 1, 3, 1, R::KEEP_FLAT);
    tenAndOdd.push_back(odd);
    const struct {
        const char* rule;
        ItemPtr item;
        double W, L, D;
        std::vector<ItemPtr> queued;
        bool lookAhead;
        const char* expected;
    } cases[] = {
        // Filling the width exactly comes first, then the length, then the depth.
        {"LWD fills the width, WLD only the length", piece("a", 3, 5, 1, R::KEEP_FLAT), 5, 5, 10,
         waiting(), false, "LWD"},
        {"WDL also fills the length", piece("b", 5, 3, 5, R::BEST_FIT), 5, 5, 10, waiting(), false,
         "WDL"},
        {"LDW and DLW fill the depth and tie after: the earlier stays first although flat fits "
         "tighter",
         piece("c", 6, 3, 2, R::BEST_FIT), 10, 10, 6, waiting(), false, "LDW"},
        // A queue of the same shape: the grid that holds it all, then the larger grid.
        {"LWD's grid holds 12 of 11", piece("i", 1, 3, 1, R::KEEP_FLAT), 11, 4, 1,
         copies(11, 1, 3, 1, R::KEEP_FLAT), false, "LWD"},
        {"alone, the tighter fit", piece("i", 1, 3, 1, R::KEEP_FLAT), 11, 4, 1, waiting(), false,
         "WLD"},
        {"a mixed queue is no grid", piece("i", 1, 3, 1, R::KEEP_FLAT), 11, 4, 1, tenAndOdd, false,
         "WLD"},
        {"both grids hold twelve: the larger (22) wins", piece("j", 1, 6, 1, R::KEEP_FLAT), 12, 11,
         1, copies(11, 1, 6, 1, R::KEEP_FLAT), false, "LWD"},
        // Room beside for the next item, before the tighter fit.
        {"LWD is tighter", piece("i", 2, 5, 1, R::KEEP_FLAT), 7, 10, 1, waiting(), false, "LWD"},
        {"only WLD leaves room for a 3 wide item", piece("i", 2, 5, 1, R::KEEP_FLAT), 7, 10, 1,
         waiting(fixed("wide", 3, 1, 1)), false, "WLD"},
        {"the same shape is tried in the candidate's sizes", piece("i", 2, 5, 1, R::KEEP_FLAT), 7,
         10, 1, waiting(piece("same", 2, 5, 1, R::KEEP_FLAT), odd), false, "WLD"},
        {"one that may not turn is tried as it is", piece("i", 2, 5, 1, R::KEEP_FLAT), 7, 10, 1,
         waiting(fixed("never", 2, 5, 1), odd), false, "LWD"},
        // LWD (3 x 7) leaves room for both queued items, WLD (7 x 3) for one.
        {"look-ahead decides", piece("i", 7, 3, 1, R::KEEP_FLAT), 10, 12, 1,
         waiting(fixed("ten", 10, 5, 1), fixed("seven", 7, 7, 1)), true, "LWD"},
        {"without look-ahead, the tighter fit", piece("i", 7, 3, 1, R::KEEP_FLAT), 10, 12, 1,
         waiting(fixed("ten", 10, 5, 1), fixed("seven", 7, 7, 1)), false, "WLD"},
        // Smallest side over largest at most 0.3: lying on the largest face first.
        {"thin", piece("flat", 3, 5, 10, R::BEST_FIT), 20, 20, 20, waiting(), false, "LDW"},
        {"0.31 is not thin", piece("thick", 3.1, 5, 10, R::BEST_FIT), 20, 20, 20, waiting(), false,
         "WDL"},
        {"tighter fit, then the smaller footprint", piece("i", 3, 2, 4, R::BEST_FIT), 10, 10, 10,
         waiting(), false, "LDW"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chosen(c.item, c.W, c.L, c.D, c.queued, c.lookAhead), c.expected) << c.rule;
    }
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
    for (const PackedItem& touching : {test::placed(fixed("right", 4, 4, 4), 10, 0, 0),
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

    // Carving for a 2 x 2 x 6 item keeps the pieces it fits, in the same
    // order; a space the next item does not touch stays even if too small.
    std::vector<FreeSpace> kept{FreeSpace(0, 0, 0, 6, 6, 6), FreeSpace(9, 9, 9, 1, 1, 1)};
    std::vector<FreeSpace> scratch;
    const std::array<double, 3> size{2, 2, 6};
    carveFreeSpacesFor(kept, {test::placed(fixed("core", 2, 2, 2), 2, 2, 2)}, scratch, {&size, 1},
                       0.0);
    EXPECT_EQ(blocks(kept),
              (Codes{"0,0,0 2x6x6", "4,0,0 2x6x6", "2,0,0 2x2x6", "2,4,0 2x2x6", "9,9,9 1x1x1"}));
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

// Requests of many distinct sizes ask the look-ahead ever new questions: the
// memo of its answers must start over rather than grow without bound.
TEST(LookAheadMemo, StaysBounded) {
    std::size_t held = lookAheadMemoSize();
    bool dropped = false;
    for (int request = 0; request < 2000 && !dropped; ++request) {
        ItemCollection items = test::itemCollection();
        for (int i = 0; i < 20; ++i) {
            const double side = 1 + (request * 20 + i) % 997 * 0.01;
            items.insert(test::item("i", side, side + 1, side + 2));
        }
        BoxCollection boxes(std::make_shared<DefaultBoxSorter>());
        boxes.insert(test::box("crate", 16, 12, 10));
        Packer::pack(items, boxes);
        dropped = lookAheadMemoSize() < held;
        held = lookAheadMemoSize();
    }
    EXPECT_TRUE(dropped) << "the memo kept every answer";
}

// The trials a small order's packing runs in a box, counted.
std::uint64_t lookAheadTrialsOfAnOrder() {
    ItemCollection items = test::itemCollection();
    for (int i = 0; i < 20; ++i) {
        const double side = 1 + i * 0.37;
        items.insert(test::item("i", side, side + 1, side + 2));
    }
    BoxCollection boxes(std::make_shared<DefaultBoxSorter>());
    boxes.insert(test::box("crate", 16, 12, 10));
    const std::uint64_t before = fillCounts().lookAhead;
    Packer::pack(items, boxes);
    return fillCounts().lookAhead - before;
}

// A memo that stopped finding what it holds would change no output, only
// the time: the same packing again must run no trial at all.
TEST(LookAheadMemo, AnswersARepeatedPacking) {
    std::uint64_t first = 0, again = 0;
    std::thread packer([&] {  // a new thread's memo starts empty
        first = lookAheadTrialsOfAnOrder();
        again = lookAheadTrialsOfAnOrder();
    });
    packer.join();
    EXPECT_GT(first, 0u);
    EXPECT_EQ(again, 0u) << "the memo missed answers it had stored";
}

// The trials one look-ahead choice runs, `front` queued at the front of its window.
std::uint64_t lookAheadTrialsWith(const ItemPtr& front) {
    const std::uint64_t before = fillCounts().lookAhead;
    chosen(test::item("x", 4, 5, 6), 10, 10, 10,
           waiting(front, test::item("a", 3, 3, 3), test::item("b", 2, 2, 2)), true);
    return fillCounts().lookAhead - before;
}

// A queued item too large for every block the trials pack is never placed,
// so windows that differ only in it share the trials' answers; one that may
// fit a block must not share them.
TEST(LookAheadMemo, SharesTrialsOnlyAcrossItemsThatFitNoBlock) {
    std::uint64_t first = 0, largerStill = 0, small = 0;
    std::thread chooser([&] {  // a new thread's memo starts empty
        first = lookAheadTrialsWith(test::item("big", 20, 20, 20));
        largerStill = lookAheadTrialsWith(test::item("bigger", 30, 20, 20));
        small = lookAheadTrialsWith(test::item("c", 1, 1, 1));
    });
    chooser.join();
    EXPECT_GT(first, 0u);
    EXPECT_EQ(largerStill, 0u) << "an item that fits no block kept trials apart";
    EXPECT_GT(small, 0u) << "an item that may fit a block shared another's answers";
}

bool exceedsOneBox(const std::vector<ItemPtr>& items, const Box& box) {
    return OneBoxBound().exceeds(items, box);
}

TEST(OneBoxBound, SeesPastVolumeAndNeverRulesOutWhatThePackerPacks) {
    const BoxPtr cube = test::box("cube", 10, 10, 10);
    // Longer than half the box every way: no two share it, whatever their volume.
    EXPECT_TRUE(exceedsOneBox(copies(2, 6, 6, 6, Rotation::BEST_FIT), *cube));
    EXPECT_FALSE(exceedsOneBox(copies(1, 6, 6, 6, Rotation::BEST_FIT), *cube));
    // Exactly half each way fills the box: the bound's jumps must not count it twice.
    EXPECT_FALSE(exceedsOneBox(copies(8, 5, 5, 5, Rotation::NEVER), *cube));
    // Standing up is the only way in, and a flat item may not.
    const BoxPtr low = test::box("low", 10, 10, 5);
    EXPECT_TRUE(exceedsOneBox(copies(1, 2, 2, 9, Rotation::KEEP_FLAT), *low));
    EXPECT_FALSE(exceedsOneBox(copies(1, 2, 2, 9, Rotation::BEST_FIT), *low));

    // Random sides, a third of them exactly a half, a third or a quarter of the box.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(4.0, 6.5);
    const double exact[] = {5.0, 10.0 / 3.0, 2.5};
    auto side = [&] { return random() % 3 ? uniform(random) : exact[random() % 3]; };
    const Rotation rules[] = {Rotation::NEVER, Rotation::KEEP_FLAT, Rotation::BEST_FIT};
    int ruledOut = 0, packed = 0;
    for (int set = 0; set < 1000; ++set) {
        std::vector<ItemPtr> items;
        ItemCollection collection = test::itemCollection();
        for (int i = 0, count = 2 + set % 6; i < count; ++i) {
            const double w = side(), l = side(), d = side();  // in this order on every compiler
            items.push_back(piece("p" + std::to_string(i), w, l, d, rules[(set + i) % 3]));
            collection.insert(items.back());
        }
        const bool exceeds = exceedsOneBox(items, *cube);
        const bool fits = BoxFiller(cube).packEvery(collection).has_value();
        EXPECT_FALSE(exceeds && fits) << "set " << set << " was packed";
        ruledOut += exceeds;
        packed += fits;
    }
    EXPECT_GT(ruledOut, 20);
    EXPECT_GT(packed, 20);
}

}  // namespace
}  // namespace quarvex
