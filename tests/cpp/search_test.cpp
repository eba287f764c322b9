#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "quarvex/search/bounds.hpp"
#include "quarvex/search/drop_box.hpp"
#include "quarvex/search/search_box.hpp"
#include "test_support.hpp"

namespace quarvex::search {
namespace {

Problem problemOf(const std::vector<ItemPtr>& items, const std::vector<BoxPtr>& boxes,
                  double minSupport = 0.0) {
    ItemCollection itemCollection = test::itemCollection();
    for (const ItemPtr& item : items) itemCollection.insert(item);
    BoxCollection boxCollection(std::make_shared<DefaultBoxSorter>());
    for (const BoxPtr& box : boxes) boxCollection.insert(box);
    return makeProblem(itemCollection, boxCollection, minSupport);
}

TEST(SearchBounds, ItemsTooWideToSitSideBySideNeedABoxEach) {
    // By volume one box would do, but no two of these cubes share the box.
    const Problem problem = problemOf(
        {test::item("A", 60, 60, 60), test::item("B", 60, 60, 60), test::item("C", 60, 60, 60)},
        {test::box("bin", 100, 100, 100)});
    const Score bound = bestPossible(problem);
    EXPECT_EQ(bound.boxes, 3);
    EXPECT_DOUBLE_EQ(bound.volume, 3e6);
}

TEST(SearchBounds, ItemsTooHeavyToShareABoxNeedABoxEach) {
    // By weight (90 of 100) and volume two boxes would do, but no two of these share one.
    const Problem problem = problemOf(
        {test::item("A", 1, 1, 1, 30), test::item("B", 1, 1, 1, 30), test::item("C", 1, 1, 1, 30)},
        {test::box("crate", 10, 10, 10, 52, 2), test::box("bag", 5, 5, 5, 45)});
    EXPECT_EQ(bestPossible(problem).boxes, 3);
}

struct OneDimensional {
    std::vector<double> sizes;
    double capacity;
    int bins;
};

class BinPackingBound : public testing::TestWithParam<OneDimensional> {};

TEST_P(BinPackingBound, CountsTheBinsThatLargeItemsForce) {
    EXPECT_EQ(binPackingBound(GetParam().sizes, GetParam().capacity), GetParam().bins);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BinPackingBound,
    testing::Values(OneDimensional{{}, 10, 0},
                    OneDimensional{{3, 3, 3, 3}, 10, 2},           // the sum alone
                    OneDimensional{{6, 6, 6}, 10, 3},              // no two share a bin
                    OneDimensional{{6, 6, 6, 5}, 10, 4},           // the 5 fits beside no 6
                    OneDimensional{{6, 6, 4, 4, 4}, 10, 3},        // two 4s beside the 6s
                    OneDimensional{{0.7, 0.3, 0.6, 0.4}, 1.0, 2},  // sums that round
                    OneDimensional{{5, 5, 5, 5}, 10, 2}));         // exactly half pairs up

TEST(SearchBounds, OneBoxNeedsTheSmallestTypeThatTakesEverything) {
    const Problem problem = problemOf(
        {test::item("A", 5, 5, 5), test::item("B", 5, 5, 5)},
        {test::box("cube", 10, 10, 10), test::box("tube", 6, 6, 20), test::box("rod", 4, 4, 100)});
    const Score bound = bestPossible(problem);
    EXPECT_EQ(bound.placed, 2);
    EXPECT_EQ(bound.boxes, 1);
    EXPECT_DOUBLE_EQ(bound.volume, 720.0);  // the rod is larger but cannot take a cube
}

class SupportRule : public testing::TestWithParam<std::pair<double, bool>> {};

TEST_P(SupportRule, AnItemOverhangingItsOnlyBaseNeedsALowEnoughMinimum) {
    // The only room for the board is on the block, which carries 12 of its 32 units of base.
    const auto [minSupport, accepted] = GetParam();
    const Problem problem =
        problemOf({test::fixed("block", 4, 3, 5), test::fixed("board", 4, 8, 2)},
                  {test::box("narrow", 4, 10, 10)}, minSupport);
    SearchBox box(problem, 0);
    const int block = problem.items[0].source->item_code() == "block" ? 0 : 1;
    ASSERT_TRUE(box.place(block));
    EXPECT_EQ(box.place(1 - block), accepted);
}

INSTANTIATE_TEST_SUITE_P(Minimums, SupportRule,
                         testing::Values(std::pair{0.0, true}, std::pair{0.375, true},
                                         std::pair{0.4, false}, std::pair{1.0, false}));

struct Piece {
    const char* code;
    double w, l, d;
    bool turns;
    int box;  // which of the two boxes it starts in
};

struct DropCase {
    std::vector<Piece> pieces;
    double capacity;  // of the 10 x 10 x 10 bin, each piece weighing 1
    std::size_t boxesAfter;
};

class DropBox : public testing::TestWithParam<DropCase> {};

TEST_P(DropBox, PacksTheItemsOfTwoBoxesInOneWhereTheyFit) {
    std::vector<ItemPtr> items;
    for (const Piece& p : GetParam().pieces) {
        items.push_back(test::item(p.code, p.w, p.l, p.d, 1.0, "",
                                   p.turns ? Rotation::BEST_FIT : Rotation::NEVER));
    }
    const Problem problem = problemOf(items, {test::box("bin", 10, 10, 10, GetParam().capacity)});
    Solution solution{{SearchBox(problem, 0), SearchBox(problem, 0)}, {}};
    for (const Piece& p : GetParam().pieces) {
        for (std::size_t k = 0; k < problem.items.size(); ++k) {
            if (problem.items[k].source->item_code() == p.code) {
                ASSERT_TRUE(solution.boxes[p.box].place(static_cast<int>(k)));
            }
        }
    }
    Budget budget(std::nullopt, std::nullopt);
    Random random(7);
    const bool dropped = dropBox(problem, solution, 20000, budget, random);
    EXPECT_EQ(dropped, GetParam().boxesAfter == 1);
    ASSERT_EQ(solution.boxes.size(), GetParam().boxesAfter);
    std::size_t count = 0;
    for (const SearchBox& box : solution.boxes) {
        const std::vector<Placement>& placed = box.placements();
        count += placed.size();
        for (std::size_t i = 0; i < placed.size(); ++i) {
            const Block& a = placed[i].block;
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.z >= 0 && a.x + a.w <= 10 && a.y + a.l <= 10 &&
                        a.z + a.d <= 10);
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                const Block& b = placed[j].block;
                EXPECT_FALSE(a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.l &&
                             b.y < a.y + a.l && a.z < b.z + b.d && b.z < a.z + a.d);
            }
        }
    }
    EXPECT_EQ(count, GetParam().pieces.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DropBox,
    testing::Values(
        // The two cubes fill the quarter the slabs leave.
        DropCase{{{"A", 10, 10, 5, false, 0},
                  {"B", 10, 5, 5, false, 0},
                  {"C", 5, 5, 5, false, 1},
                  {"D", 5, 5, 5, false, 1}},
                 -1,
                 1},
        // The bar fits in that quarter only turned.
        DropCase{{{"A", 10, 10, 5, false, 0}, {"B", 10, 5, 5, false, 0}, {"C", 5, 10, 5, true, 1}},
                 -1,
                 1},
        // Room for all, but they weigh more than the box takes.
        DropCase{{{"A", 10, 10, 5, false, 0},
                  {"B", 10, 5, 5, false, 0},
                  {"C", 5, 5, 5, false, 1},
                  {"D", 5, 5, 5, false, 1}},
                 3.5,
                 2},
        // More than the box holds.
        DropCase{{{"A", 10, 10, 6, false, 0}, {"C", 10, 10, 5, false, 1}}, -1, 2}));

}  // namespace
}  // namespace quarvex::search
