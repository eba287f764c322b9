#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quarvex/quarvex.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path golden = fs::path(QUARVEX_TEST_DATA) / "golden";

std::string fileText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string expectedResponse(const std::string& name) {
    return fileText(golden / (name + ".response.json"));
}

TEST(PublicApi, EveryGoldenRequestReadFromTextGivesItsRecordedResponse) {
    int checked = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(golden)) {
        const std::string file = entry.path().filename().string();
        const std::string suffix = ".request.json";
        if (!file.ends_with(suffix)) continue;
        const std::string name = file.substr(0, file.size() - suffix.size());
        const std::string text = fileText(entry.path());
        const quarvex::Result result = quarvex::pack(quarvex::Request::from_json(text));
        EXPECT_EQ(result.to_json(1) + "\n", expectedResponse(name)) << name;
        EXPECT_EQ(quarvex::solve(text), result.to_json()) << name;
        ++checked;
    }
    EXPECT_GT(checked, 40);
}

TEST(PublicApi, RequestBuiltInCodeGivesTheResponseOfTheSameRequestAsText) {
    using Rotation = quarvex::AllowedRotation;
    quarvex::Request groups;
    groups.items = {
        {.code = "P", .reference = "P", .width = 1, .length = 1, .depth = 1},
        {.code = "Z", .reference = "Z", .width = 20, .length = 20, .depth = 20, .box_group = "a0"},
        {.code = "Y", .reference = "Y", .width = 1, .length = 1, .depth = 2, .box_group = "g1"},
        {.code = "X", .reference = "X", .width = 2, .length = 2, .depth = 2, .box_group = "g2"}};
    groups.boxes = {{.reference = "T", .width = 10, .length = 10, .depth = 10}};
    EXPECT_EQ(quarvex::pack(groups).to_json(1) + "\n",
              expectedResponse("hand-one-box-group-per-box"));

    quarvex::Request supply;
    supply.items = {{.code = "c1", .reference = "c1", .width = 10, .length = 10, .depth = 10},
                    {.code = "c2", .reference = "c2", .width = 10, .length = 10, .depth = 10}};
    supply.boxes = {
        {.reference = "U", .width = 10, .length = 10, .depth = 10, .empty_weight = 1},
        {.reference = "L", .width = 10, .length = 10, .depth = 10, .max_quantity = 1},
        {.reference = "none", .width = 10, .length = 10, .depth = 10, .max_quantity = 0}};
    EXPECT_EQ(quarvex::pack(supply).to_json(1) + "\n",
              expectedResponse("hand-limited-supply-shared"));

    quarvex::Request turns;
    turns.items = {{.code = "N", .reference = "N", .width = 10, .length = 4, .depth = 1},
                   {.code = "K", .reference = "K", .width = 10, .length = 4, .depth = 1}};
    turns.items[0].rotation = Rotation::Never;
    turns.items[1].rotation = Rotation::KeepFlat;
    turns.boxes = {{.reference = "box", .width = 4, .length = 10, .depth = 1}};
    EXPECT_EQ(quarvex::pack(turns).to_json(1) + "\n",
              expectedResponse("hand-never-turn-keeps-the-footprint"));
}

struct Fault {
    const char* request;
    const char* pointer;
    const char* message;
};

class RequestFaults : public testing::TestWithParam<Fault> {};

TEST_P(RequestFaults, NameTheFieldByItsJsonPointer) {
    const Fault& fault = GetParam();
    try {
        quarvex::Request::from_json(fault.request);
        FAIL() << "read without a fault";
    } catch (const quarvex::RequestError& error) {
        EXPECT_EQ(error.pointer(), fault.pointer);
        EXPECT_EQ(std::string(error.what()).substr(0, std::string(fault.message).size()),
                  fault.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PublicApi, RequestFaults,
    testing::Values(
        Fault{R"({"items": [{"ItemCode": "A", "Width": "1", "Length": 1, "Depth": 1}]})",
              "/items/0/Width",
              "[json.exception.type_error.302] type must be number, but is string"},
        Fault{R"({"items": [{"ItemCode": "A", "Width": 1, "Length": 1, "Depth": 1},
                            {"ItemCode": "B", "Width": 1, "Length": 1}]})",
              "/items/1/Depth", "[json.exception.out_of_range.403] key 'Depth' not found"},
        Fault{
            R"({"items": [{"ItemCode": "A", "Width": 1, "Length": 1, "Depth": 1, "MaxLoad": -2}]})",
            "/items/0/MaxLoad", "item 'A': MaxLoad must be a number of at least 0, got -2"},
        Fault{
            R"({"boxes": {"b/1": {"Reference": "S", "Width": -1, "Length": 1, "Depth": 1, "MaxWeight": 1}}})",
            "/boxes/b~11/Width", "box 'S': Width must be a finite number of 0 or more, not -1"},
        Fault{R"({"boxes": [{"Reference": "S", "Width": 1, "Length": 1, "Depth": 1}]})",
              "/boxes/0/MaxWeight", "box 'S' is missing required field 'MaxWeight'"},
        Fault{R"({"options": {"objective": "cheap"}})", "/options/objective",
              R"(objective must be "boxes" or "cost", got "cheap")"},
        Fault{R"({"items": [)", "", "[json.exception.parse_error.101] parse error at line 1"}));

TEST(PublicApi, RequestBuiltInCodeIsCheckedAsText) {
    quarvex::Request request;
    request.items = {{.code = "A", .width = 1, .length = 1, .depth = 1},
                     {.code = "B", .width = 1, .length = 1, .depth = 1, .weight = NAN}};
    try {
        quarvex::pack(request);
        FAIL() << "packed a weight that is not a number";
    } catch (const quarvex::RequestError& error) {
        EXPECT_EQ(error.pointer(), "/items/1/Weight");
        EXPECT_STREQ(error.what(),
                     "item 'B': Weight must be a finite number of 0 or more, not nan");
    }
}

}  // namespace
