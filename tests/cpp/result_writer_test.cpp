#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/json_io/result_writer.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using nlohmann::json;
using test::box;
using test::item;
using test::placed;

TEST(PlacementJson, WritesPlacedAndOriginalSizes) {
    PackedItem p{item("a", 1, 2, 3, 4, "g"), 2, 1, 3, "LWD", 5, 6, 7};
    EXPECT_EQ(placementToJson(p).dump(),
              R"({"ItemCode":"a","ItemReference":"a-ref","box_group":"g","depth":3.0,)"
              R"("length":1.0,"orientation":"LWD","original_depth":3.0,"original_length":2.0,)"
              R"("original_width":1.0,"rotated":true,"weight":4.0,"width":2.0,)"
              R"("x":5.0,"y":6.0,"z":7.0})");
    const json plain = placementToJson(placed(item("b", 1, 1, 1)));
    EXPECT_TRUE(plain["box_group"].is_null());
    EXPECT_EQ(plain["rotated"], false);
}

TEST(PackedBoxJson, WritesEveryFigureWithItsNumberKindAndNoNegativeWeight) {
    const PackedBox packed{box("B", 10, 10, 10, 20, 2), {placed(item("a", 2, 5, 10, 3), 0, 5)}};
    const json written = packedBoxToJson(packed);
    const std::string placement = placementToJson(packed.items[0]).dump();
    EXPECT_EQ(written.dump(),
              R"({"box_reference":"B","depth":10.0,"empty_weight":2.0,"inner_volume":1000.0,)"
              R"("item_count":1,"item_weight":3.0,"items":[)" + placement +
              R"(],"length":10.0,"max_weight":20.0,"remaining_depth":0.0,"remaining_length":0.0,)"
              R"("remaining_weight":15.0,"remaining_width":8.0,"unused_volume":900.0,)"
              R"("used_depth":10.0,"used_length":10.0,"used_volume":100.0,"used_width":2.0,)"
              R"("volume_utilisation":10.0,"weight":5.0,"width":10.0})");
    EXPECT_TRUE(written["item_count"].is_number_unsigned());
    const json exceeded = packedBoxToJson(PackedBox{box("B", 1, 1, 1, 10, 12), {}});
    EXPECT_TRUE(exceeded["remaining_weight"].is_number_float());
    EXPECT_EQ(exceeded["remaining_weight"], 0.0);
}

TEST(ResponseJson, IndexesBoxesInDefaultOrderAndListsUnplacedItems) {
    const BoxPtr small = box("small", 9, 9, 9);
    const BoxPtr large = box("large", 9, 9, 9);
    PackedBoxCollection packed = test::packedBoxCollection();
    packed.insert(PackedBox{small, {placed(item("s", 1, 1, 1))}});
    packed.insert(PackedBox{large, {placed(item("l1", 1, 1, 1)), placed(item("l2", 1, 1, 1))}});
    ItemCollection unplaced = test::itemCollection();
    unplaced.insert(item("u1", 1, 1, 1));
    unplaced.insert(item("u2", 2, 2, 2));
    const json written =
        responseToJson(PackResponse(false, std::move(packed), std::move(unplaced)));

    ASSERT_EQ(written["boxes"].size(), 2u);
    EXPECT_EQ(written["boxes"][0]["box_reference"], "large");
    EXPECT_EQ(written["boxes"][1]["box_index"], 1);
    EXPECT_TRUE(written["boxes"][1]["box_index"].is_number_unsigned());
    std::vector<std::string> placements;
    for (const json& p : written["placements"]) {
        const json& owner = written["boxes"][p["box_index"].get<std::size_t>()];
        EXPECT_EQ(p["box_reference"], owner["box_reference"]);
        placements.push_back(p["ItemCode"].get<std::string>() + "@" +
                             p["box_reference"].get<std::string>());
    }
    EXPECT_EQ(placements, (std::vector<std::string>{"l1@large", "l2@large", "s@small"}));
    EXPECT_EQ(written["unplaced_item_codes"], json({"u2", "u1"}));
    EXPECT_EQ(written["unplaced_items"][1], item("u1", 1, 1, 1)->to_json());
    EXPECT_EQ(written["success"], false);

    const json& summary = written["summary"];
    EXPECT_TRUE(summary["box_count"].is_number_unsigned());
    EXPECT_EQ(summary["box_count"], 2);
    for (const char* key : {"total_placed", "total_unplaced"}) {
        EXPECT_TRUE(summary[key].is_number_integer()) << key;
        EXPECT_FALSE(summary[key].is_number_unsigned()) << key;
    }
    EXPECT_EQ(summary["total_placed"], 3);
    EXPECT_EQ(summary["total_unplaced"], 2);
    EXPECT_TRUE(summary["overall_volume_utilisation"].is_number_float());
}

}  // namespace
}  // namespace quarvex
