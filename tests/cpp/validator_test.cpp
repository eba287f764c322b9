// The validator must see each kind of broken rule, or a clean random run
// would prove nothing.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/pack_response.hpp"
#include "test_support.hpp"
#include "validator.hpp"

namespace quarvex {
namespace {

const BoxPtr crate = makeBox("crate", 10, 10, 10, 20, 2, true, 1);
const ItemPtr fixed = makeItem("fixed", "", 4, 10, 10, 5, Rotation::NEVER, "");
const ItemPtr flat = makeItem("flat", "", 6, 10, 5, 5, Rotation::KEEP_FLAT, "");
const ItemPtr loose = makeItem("loose", "", 2, 3, 4, 5, Rotation::BEST_FIT, "");
const ItemPtr red = makeItem("red", "", 1, 1, 1, 0, Rotation::NEVER, "A");
const ItemPtr blue = makeItem("blue", "", 1, 1, 1, 0, Rotation::NEVER, "B");

// The item turned as its code says, at (x, y, z).
PackedItem at(const ItemPtr& item, const std::string& code, double x, double y, double z) {
    const auto side = [&](char axis) {
        return axis == 'W' ? item->width() : axis == 'L' ? item->length() : item->depth();
    };
    return PackedItem{item, side(code[0]), side(code[1]), side(code[2]), code, x, y, z};
}

// Three items touching face to face, 17 of the crate's 20 weight units.
struct Case {
    std::vector<ItemPtr> given{fixed, flat, loose};
    std::vector<BoxPtr> types{crate};
    std::vector<PackedBox> packed{PackedBox{
        crate, {at(fixed, "WLD", 0, 0, 0), at(flat, "WLD", 4, 0, 0), at(loose, "LDW", 4, 0, 5)}}};
    std::vector<ItemPtr> unplaced;
    bool success = true;

    std::vector<std::string> violations() const {
        ItemCollection items = test::itemCollection();
        for (const ItemPtr& item : given) items.insert(item);
        BoxCollection boxes(std::make_shared<DefaultBoxSorter>());
        for (const BoxPtr& box : types) boxes.insert(box);
        PackedBoxCollection packedBoxes = test::packedBoxCollection();
        for (const PackedBox& box : packed) packedBoxes.insert(box);
        ItemCollection left = test::itemCollection();
        for (const ItemPtr& item : unplaced) left.insert(item);
        const PackResponse response(success, std::move(packedBoxes), std::move(left));
        return test::packingViolations(items, boxes, response);
    }
};

void leaveLooseUnplaced(Case& c) {
    c.packed[0].items.pop_back();
    c.unplaced = {loose};
    c.success = false;
}

TEST(Validator, AcceptsSoundResults) {
    EXPECT_TRUE(Case{}.violations().empty());
    Case partial;
    leaveLooseUnplaced(partial);
    EXPECT_TRUE(partial.violations().empty());
}

TEST(Validator, ReportsEachBrokenRuleAlone) {
    const ItemPtr anvil = makeItem("anvil", "", 1, 1, 1, 4, Rotation::NEVER, "");
    const BoxPtr shelved = makeBox("shelved", 10, 10, 10, -1, 0, false, std::nullopt);
    const std::vector<std::pair<std::function<void(Case&)>, std::string>> cases = {
        {[](Case& c) { c.packed[0].items[2] = at(loose, "WLD", 9, 0, 6); }, "is not inside"},
        {[](Case& c) { c.packed[0].items[2] = at(loose, "WLD", 8, 0, 4); }, "overlaps"},
        {[](Case& c) { c.packed[0].items[0].orientation = "LWD"; }, "does not allow"},
        {[](Case& c) { c.packed[0].items[1].orientation = "WDL"; }, "does not allow"},
        {[](Case& c) { c.packed[0].items[2].orientation = "WLD"; }, "does not match its code"},
        {[&](Case& c) {
             c.given.push_back(anvil);
             c.packed[0].items.push_back(at(anvil, "WLD", 9, 9, 5));
         }, "weigh"},
        {[](Case& c) {
             c.given = {red, blue};
             c.packed = {PackedBox{crate, {at(red, "WLD", 0, 0, 0), at(blue, "WLD", 1, 0, 0)}}};
         }, "box groups 'A' 'B'"},
        {[](Case& c) {
             c.given = {red, blue};
             c.packed = {PackedBox{crate, {at(red, "WLD", 0, 0, 0)}},
                         PackedBox{crate, {at(blue, "WLD", 0, 0, 0)}}};
         }, "opened 2 times, allowed 1"},
        {[&](Case& c) { c.types = {shelved}; c.packed[0].box = shelved; }, "inactive"},
        {[](Case& c) { c.packed[0].items.pop_back(); }, "neither placed nor unplaced"},
        {[](Case& c) { c.unplaced = {loose}; c.success = false; }, "too often"},
        // An object given twice must be accounted for twice.
        {[](Case& c) { c.given.push_back(loose); }, "neither placed nor unplaced (1 times)"},
        {[](Case& c) { leaveLooseUnplaced(c); c.success = true; },
         "success is true with 1 unplaced"},
    };
    for (const auto& [breakRule, phrase] : cases) {
        Case c;
        breakRule(c);
        const std::vector<std::string> found = c.violations();
        ASSERT_EQ(found.size(), 1u) << phrase << ": " << ::testing::PrintToString(found);
        EXPECT_NE(found[0].find(phrase), std::string::npos) << found[0];
    }
}

}  // namespace
}  // namespace quarvex
