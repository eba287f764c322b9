#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/collections.hpp"
#include "quarvex/model/stable_sort.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using test::item;

TEST(DefaultItemOrder, EqualItemsCompareEqualAndNaNPutsTheSecondFirst) {
    const DefaultItemSorter order;
    const ItemPtr a = item("x", 1, 2, 3, 4, "g");
    const ItemPtr b = item("x", 3, 2, 1, 4, "g");
    EXPECT_EQ(order.compare(*a, *b), 0);
    EXPECT_EQ(order.compare(*b, *a), 0);
    const ItemPtr odd = item("x", std::numeric_limits<double>::quiet_NaN(), 2, 3);
    const ItemPtr plain = item("x", 1, 2, 3);
    EXPECT_EQ(order.compare(*odd, *plain), 1);
    EXPECT_EQ(order.compare(*plain, *odd), 1);
}

TEST(StableSort, KeepsEqualEntriesInOrderBeyondOneRun) {
    std::vector<std::pair<int, int>> values;  // (key, position)
    for (int i = 0; i < 300; ++i) {
        values.emplace_back((i * 7) % 5, i);
    }
    stableSort(values, [](const auto& a, const auto& b) { return a.first < b.first; });
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
}

TEST(StableSort, FinishesWithNaNAndInfiniteFigures) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double sides[] = {nan, inf, -inf, 0, 1, 2, -1, nan, 3};
    ItemCollection items = test::itemCollection();
    for (int i = 0; i < 500; ++i) {
        items.insert(item(std::to_string(i), sides[i % 9], sides[(i / 9) % 9], 1, sides[i % 7]));
    }
    std::vector<ItemPtr> sorted = items.sorted();
    std::vector<ItemPtr> entries = items.entries();
    std::sort(sorted.begin(), sorted.end());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(sorted, entries);
}

}  // namespace
}  // namespace quarvex
