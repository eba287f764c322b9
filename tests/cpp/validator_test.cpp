// The validator must see each kind of broken rule, or a clean random run
// would prove nothing.

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/pack_response.hpp"
#include "validator.hpp"

namespace quarvex {
namespace {

const BoxPtr crate = makeBox("crate", 10, 10, 10, 20, 2, true, 1);
const ItemPtr fixed = makeItem("fixed", "", 4, 10, 10, 5, Rotation::NEVER, "");
const ItemPtr flat = makeItem("flat", "", 6, 10, 5, 5, Rotation::KEEP_FLAT, "");
const ItemPtr loose = makeItem("loose", "", 2, 3, 4, 5, Rotation::BEST_FIT, "");

double named(const ItemPtr& item, char letter) {
    return letter == 'W' ? item->width() : letter == 'L' ? item->length() : item->depth();
}

// The item turned as its code says, at (x, y, z).
PackedItem at(const ItemPtr& item, const std::string& code, double x, double y, double z) {
    return PackedItem{item, named(item, code[0]), named(item, code[1]), named(item, code[2]),
                      code, x, y, z};
}

struct Case {
    std::vector<ItemPtr> given{fixed, flat, loose};
    std::vector<BoxPtr> types{crate};
    std::vector<PackedBox> packed;
    std::vector<ItemPtr> unplaced;
    bool success = true;

    std::vector<std::string> violations() const {
        ItemCollection items(std::make_shared<DefaultItemSorter>());
        for (const ItemPtr& item : given) items.insert(item);
        BoxCollection boxes(std::make_shared<DefaultBoxSorter>());
        for (const BoxPtr& box : types) boxes.insert(box);
        PackedBoxCollection packedBoxes(std::make_shared<DefaultPackedBoxSorter>());
        for (const PackedBox& box : packed) packedBoxes.insert(box);
        ItemCollection left(std::make_shared<DefaultItemSorter>());
        for (const ItemPtr& item : unplaced) left.insert(item);
        return test::packingViolations(items, boxes,
                                       PackResponse(success, std::move(packedBoxes), std::move(left)));
    }
};

// Three items touching face to face, 17 of the crate's 20 weight units.
Case sound() {
    Case c;
    c.packed = {PackedBox{crate,
                          {at(fixed, "WLD", 0, 0, 0), at(flat, "WLD", 4, 0, 0),
                           at(loose, "LDW", 4, 0, 5)}}};
    return c;
}

void expectOnly(const Case& c, const std::string& phrase) {
    const std::vector<std::string> found = c.violations();
    ASSERT_EQ(found.size(), 1u) << ::testing::PrintToString(found);
    EXPECT_NE(found[0].find(phrase), std::string::npos) << found[0];
}

TEST(Validator, AcceptsASoundResult) {
    EXPECT_TRUE(sound().violations().empty());
    Case partial = sound();
    partial.packed[0].items.pop_back();
    partial.unplaced = {loose};
    partial.success = false;
    EXPECT_TRUE(partial.violations().empty());
}

TEST(Validator, ReportsItemsOutsideTheBoxOrOverlapping) {
    Case outside = sound();
    outside.packed[0].items[2] = at(loose, "WLD", 9, 0, 6);
    expectOnly(outside, "is not inside");
    Case overlapping = sound();
    overlapping.packed[0].items[2] = at(loose, "WLD", 8, 0, 4);
    expectOnly(overlapping, "overlaps");
}

TEST(Validator, ReportsOrientationsTheRotationRuleForbids) {
    Case turnedNever = sound();
    turnedNever.packed[0].items[0].orientation = "LWD";
    expectOnly(turnedNever, "does not allow");
    Case tippedFlat = sound();
    tippedFlat.packed[0].items[1].orientation = "WDL";
    expectOnly(tippedFlat, "does not allow");
    Case mislabelled = sound();
    mislabelled.packed[0].items[2].orientation = "WLD";
    expectOnly(mislabelled, "does not match its code");
}

TEST(Validator, ReportsOverweightMixedOrOversuppliedBoxes) {
    Case heavy = sound();
    const ItemPtr anvil = makeItem("anvil", "", 1, 1, 1, 4, Rotation::NEVER, "");
    heavy.given.push_back(anvil);
    heavy.packed[0].items.push_back(at(anvil, "WLD", 9, 9, 5));
    expectOnly(heavy, "weigh");

    Case mixed = sound();
    const ItemPtr red = makeItem("red", "", 1, 1, 1, 0, Rotation::NEVER, "A");
    const ItemPtr blue = makeItem("blue", "", 1, 1, 1, 0, Rotation::NEVER, "B");
    mixed.given = {red, blue};
    mixed.packed = {PackedBox{crate, {at(red, "WLD", 0, 0, 0), at(blue, "WLD", 1, 0, 0)}}};
    expectOnly(mixed, "box groups 'A' 'B'");

    Case twice = mixed;
    twice.packed = {PackedBox{crate, {at(red, "WLD", 0, 0, 0)}},
                    PackedBox{crate, {at(blue, "WLD", 0, 0, 0)}}};
    expectOnly(twice, "opened 2 times, allowed 1");

    Case inactive = sound();
    const BoxPtr shelved = makeBox("shelved", 10, 10, 10, -1, 0, false, std::nullopt);
    inactive.types = {shelved};
    inactive.packed[0].box = shelved;
    expectOnly(inactive, "inactive");
}

TEST(Validator, ReportsItemsLostDuplicatedOrMisreported) {
    Case lost = sound();
    lost.packed[0].items.pop_back();
    expectOnly(lost, "neither placed nor unplaced");
    Case duplicated = sound();
    duplicated.unplaced = {loose};
    duplicated.success = false;
    expectOnly(duplicated, "too often");
    Case given = sound();  // an object given twice must be accounted for twice
    given.given.push_back(loose);
    expectOnly(given, "neither placed nor unplaced (1 times)");
    Case claimed = sound();
    claimed.packed[0].items.pop_back();
    claimed.unplaced = {loose};
    expectOnly(claimed, "success is true with 1 unplaced");
}

}  // namespace
}  // namespace quarvex
