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

using test::box;
using test::item;
using test::placed;

std::vector<std::string> codes(const std::vector<ItemPtr>& items) {
    std::vector<std::string> result;
    for (const ItemPtr& i : items) {
        result.push_back(i->item_code());
    }
    return result;
}

TEST(DefaultItemOrder, PlainItemsFirstThenGroupsThenVolumeWeightAndCode) {
    ItemCollection items = test::itemCollection();
    items.insert(item("c", 10, 1, 1, 1));
    items.insert(item("in g2", 50, 1, 1, 0, "g2"));
    items.insert(item("in g1", 5, 1, 1, 0, "g1"));
    items.insert(item("b", 10, 1, 1, 3));
    items.insert(item("a", 10, 1, 1, 3));
    EXPECT_EQ(codes(items.sorted()), (std::vector<std::string>{"a", "b", "c", "in g1", "in g2"}));
}

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

TEST(DefaultBoxOrder, SmallerThenLighterThenMoreCapacity) {
    const DefaultBoxSorter order;
    const auto expectFirst = [&](const BoxPtr& first, const BoxPtr& second) {
        EXPECT_LT(order.compare(*first, *second), 0);
        EXPECT_GT(order.compare(*second, *first), 0);
    };
    expectFirst(box("8", 2, 2, 2), box("10", 10, 1, 1));
    expectFirst(box("light", 2, 2, 2, -1, 1), box("heavy", 2, 2, 2, -1, 2));
    expectFirst(box("unlimited", 2, 2, 2, -1, 1), box("capacity 5", 2, 2, 2, 6, 1));
    EXPECT_EQ(order.compare(*box("a", 2, 2, 2, 5), *box("b", 1, 4, 2, 5)), 0);
}

PackedBox filled(const BoxPtr& type, const std::vector<ItemPtr>& items) {
    PackedBox packed{type, {}};
    for (const ItemPtr& i : items) {
        packed.items.push_back(placed(i));
    }
    return packed;
}

TEST(DefaultPackedBoxOrder, MoreItemsThenUtilisationThenUsedVolume) {
    const DefaultPackedBoxSorter order;
    const BoxPtr small = box("small", 2, 2, 2);
    const ItemPtr unit = item("unit", 1, 1, 1);
    const ItemPtr half = item("half", 2, 2, 1);
    const ItemPtr full = item("full", 2, 2, 2);
    // Three unit items beat two items that fill more of the box.
    EXPECT_LT(order.compare(filled(small, {unit, unit, unit}), filled(small, {unit, full})), 0);
    EXPECT_LT(order.compare(filled(small, {full}), filled(small, {half})), 0);
    // Both half full: the larger used volume first.
    EXPECT_LT(order.compare(filled(box("large", 4, 2, 2), {full}), filled(small, {half})), 0);
    EXPECT_EQ(order.compare(filled(small, {half}), filled(small, {half})), 0);
}

TEST(SortedCollection, ViewIsBuiltOncePerChange) {
    auto sorter = std::make_shared<test::CountingItemSorter>();
    ItemCollection items(sorter);
    items.insert(item("small", 1, 1, 1));
    items.insert(item("large", 2, 2, 2));
    EXPECT_EQ(items.size(), 2u);
    EXPECT_EQ(sorter->calls, 0);
    EXPECT_EQ(codes(items.sorted()), (std::vector<std::string>{"large", "small"}));
    const int afterFirstRead = sorter->calls;
    items.sorted();
    EXPECT_EQ(sorter->calls, afterFirstRead);
    items.insert(item("huge", 3, 3, 3));
    EXPECT_EQ(codes(items.sorted()), (std::vector<std::string>{"huge", "large", "small"}));
}

TEST(ItemCollectionRemoval, MatchesByIdentityOnePerPackedItem) {
    const ItemPtr twin1 = item("twin", 1, 1, 1);
    const ItemPtr twin2 = item("twin", 1, 1, 1);
    ItemCollection items = test::itemCollection();
    items.insert(twin1);
    items.insert(twin2);
    items.insert(twin1);
    ASSERT_EQ(items.sorted().size(), 3u);
    items.removePacked({placed(twin1), placed(item("stranger", 1, 1, 1)), placed(twin1)});
    ASSERT_EQ(items.sorted().size(), 1u);
    EXPECT_EQ(items.sorted()[0], twin2);
    items.removePacked({placed(twin1)});
    EXPECT_EQ(items.size(), 1u);
}

TEST(ItemCollection, KnowsWhetherItHoldsALinkedItem) {
    ItemCollection items = test::itemCollection();
    items.insert(item("a", 1, 1, 1));
    EXPECT_FALSE(items.containsLinkedItem());
    items.insert(item("b", 1, 1, 1, 0, "g"));
    EXPECT_TRUE(items.containsLinkedItem());
}

TEST(PackedBoxCollection, MeanItemWeightIsZeroWhenEmpty) {
    PackedBoxCollection boxes = test::packedBoxCollection();
    EXPECT_EQ(boxes.meanItemWeight(), 0.0);
    boxes.insert(PackedBox{box("B", 9, 9, 9), {placed(item("a", 1, 1, 1, 3))}});
    boxes.insert(PackedBox{box("B", 9, 9, 9), {placed(item("b", 1, 1, 1, 4))}});
    EXPECT_EQ(boxes.meanItemWeight(), 3.5);
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
