#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "quarvex/search/bounds.hpp"
#include "quarvex/search/open_box.hpp"
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
    const Problem problem = problemOf({test::fixed("block", 4, 3, 5), test::fixed("board", 4, 8, 2)},
                                      {test::box("narrow", 4, 10, 10)}, minSupport);
    OpenBox box(problem, 0);
    const int block = problem.items[0].source->item_code() == "block" ? 0 : 1;
    ASSERT_TRUE(box.place(block));
    EXPECT_EQ(box.place(1 - block), accepted);
}

INSTANTIATE_TEST_SUITE_P(Minimums, SupportRule,
                         testing::Values(std::pair{0.0, true}, std::pair{0.375, true},
                                         std::pair{0.4, false}, std::pair{1.0, false}));

}  // namespace
}  // namespace quarvex::search
