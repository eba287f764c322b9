#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quarvex/json_io/solve.hpp"

namespace quarvex {
namespace {

using nlohmann::json;

const std::string emptyResult =
    R"({"boxes":[],"placements":[],"success":true,"summary":{"box_count":0,)"
    R"("overall_volume_utilisation":0.0,"total_placed":0,"total_unplaced":0},)"
    R"("unplaced_item_codes":[],"unplaced_items":[]})";

TEST(Solve, EmptyRequestsGiveTheCompactEmptyResult) {
    EXPECT_EQ(solve("{}"), emptyResult);
    EXPECT_EQ(solve(" [] "), emptyResult);
}

TEST(Solve, ReadingFaultsPropagate) {
    EXPECT_THROW(solve(""), json::parse_error);
    EXPECT_THROW(solve("{} x"), json::parse_error);
    EXPECT_THROW(solve("{} /* note */"), json::parse_error);
    EXPECT_THROW(solve(R"({"items":[{}]})"), std::invalid_argument);
}

TEST(Solve, ItemsWithoutBoxesAreAllUnplaced) {
    const json result = json::parse(solve(
        R"({"items":[{"ItemCode":"a","Width":1,"Length":1,"Depth":1},)"
        R"({"ItemCode":"b","Width":2,"Length":2,"Depth":2}]})"));
    EXPECT_EQ(result["success"], false);
    EXPECT_EQ(result["unplaced_item_codes"], json({"b", "a"}));
    EXPECT_EQ(result["summary"]["box_count"], 0);
}

TEST(Solve, PacksAFittingItemIntoABox) {
    const std::string text = solve(
        R"({"items":[{"ItemCode":"a","Width":1,"Length":1,"Depth":1}],)"
        R"("boxes":[{"Reference":"B","MaxWeight":-1,"Width":2,"Length":2,"Depth":2}]})");
    EXPECT_EQ(text.find(' '), std::string::npos);
    const json result = json::parse(text);
    EXPECT_EQ(result["success"], true);
    EXPECT_EQ(result["placements"][0]["box_reference"], "B");
    EXPECT_EQ(result["summary"]["total_placed"], 1);
}

}  // namespace
}  // namespace quarvex
