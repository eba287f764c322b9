#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/json_io/request_reader.hpp"
#include "test_support.hpp"

namespace quarvex {
namespace {

using nlohmann::json;

// The kind of fault reading the text raises, and its message.
std::string fault(std::string_view text) {
    try {
        parseRequestText(text);
    } catch (const std::invalid_argument& e) {
        return std::string("invalid_argument: ") + e.what();
    } catch (const json::exception& e) {
        return e.what();
    }
    return "no fault";
}

struct Case {
    std::string request;
    std::string expected;
};

void expectFaults(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(fault(c.request), c.expected) << c.request;
    }
}

const std::string needsItemCode = "invalid_argument: item is missing required field 'ItemCode'";
const std::string needsReference = "invalid_argument: box is missing required field 'Reference'";
const std::string needsMaxWeight =
    "invalid_argument: box 'S' is missing required field 'MaxWeight'";
const std::string notAString = "[json.exception.type_error.302] type must be string, but is ";
const std::string notANumber = "[json.exception.type_error.302] type must be number, but is ";
const std::string notABoolean = "[json.exception.type_error.302] type must be boolean, but is ";
const std::string notFound = "[json.exception.out_of_range.403] key ";
const std::string sizes = R"("Width":1,"Length":1,"Depth":1)";

std::string items(const std::string& fields) { return R"({"items":[{)" + fields + "}]}"; }
std::string boxes(const std::string& fields) { return R"({"boxes":[{)" + fields + "}]}"; }

TEST(RequestReaderFaults, ItemFaultsNameTheFieldOrType) {
    expectFaults({
        {R"({"items":[42]})", needsItemCode},
        {R"({"items":"a"})", needsItemCode},
        {R"({"items":{"x":{"itemcode":"a"}}})", needsItemCode},
        {items(R"("ItemCode":null)"), notAString + "null"},
        {items(R"("ItemCode":"a","Weight":true,)" + sizes), notANumber + "boolean"},
        {items(R"("ItemCode":"a","Width":null,"Length":1,"Depth":1)"), notANumber + "null"},
        {items(R"("ItemCode":"a","AllowedRotation":0,)" + sizes), notAString + "number"},
        {items(R"("ItemCode":"a","BoxGroup":[],)" + sizes), notAString + "array"},
    });
}

TEST(RequestReaderFaults, BoxFaultsNameTheFieldOrType) {
    expectFaults({
        {R"({"boxes":[{}]})", needsReference},
        {R"({"boxes":[7]})", needsReference},
        {boxes(R"("Reference":"S",)" + sizes), needsMaxWeight},
        {boxes(R"("Reference":"S","MaxWeight":null)"), needsMaxWeight},
        {boxes(R"("Reference":5)"), notAString + "number"},
        {boxes(R"("Reference":"S","MaxWeight":1,"Active":1,)" + sizes), notABoolean + "number"},
        {boxes(R"("Reference":"S","MaxWeight":1,"MaximumBoxes":"2",)" + sizes),
         notANumber + "string"},
    });
}

TEST(RequestReaderFaults, ItemsAreReadBeforeBoxesAndDepthBeforeLengthBeforeWidth) {
    expectFaults({
        {R"({"boxes":[{}],"items":[{}]})", needsItemCode},
        {items(R"("ItemCode":"a","Length":1)"), notFound + "'Depth' not found"},
        {items(R"("ItemCode":"a","Depth":1)"), notFound + "'Length' not found"},
        {items(R"("ItemCode":"a","Depth":1,"Length":1)"), notFound + "'Width' not found"},
        {boxes(R"("Reference":"S","MaxWeight":1,"Width":1)"), notFound + "'Depth' not found"},
        // Optional fields are read before the sizes.
        {items(R"("ItemCode":"a","Weight":"1")"), notANumber + "string"},
        {boxes(R"("Reference":"S","MaxWeight":1,"Active":0)"), notABoolean + "number"},
    });
}

TEST(RequestReaderFaults, BadTextIsTheParsersFault) {
    const std::string parseError =
        "[json.exception.parse_error.101] parse error at line 1, column ";
    EXPECT_EQ(fault(""), parseError +
                             "1: attempting to parse an empty input; check that your input "
                             "string or stream contains the expected JSON");
    for (const char* text : {"{} x", "{} // note", "{\"items\": [}", " "}) {
        EXPECT_EQ(fault(text).rfind(parseError, 0), 0u) << text;
        EXPECT_EQ(fault(text).find("empty input"), std::string::npos) << text;
    }
    EXPECT_EQ(fault(items(R"("ItemCode":"a","Width":1e400)")),
              "[json.exception.out_of_range.406] number overflow parsing '1e400'");
}

TEST(RequestReader, NonObjectsAndNullListsReadAsEmpty) {
    for (const char* text : {"{}", "[]", "42", "\"x\"", "null", R"({"items":null,"boxes":null})"}) {
        const PackRequest request = parseRequestText(text);
        EXPECT_EQ(request.items.size() + request.boxes.size(), 0u) << text;
    }
}

TEST(RequestReader, ObjectMembersAreWalkedInKeyOrder) {
    const PackRequest request = parseRequestText(
        R"({"items":{"b":{"ItemCode":"B",)" + sizes + R"(},"a":{"ItemCode":"A",)" + sizes + "}}," +
        R"("boxes":[{"Reference":"2","MaxWeight":1,)" + sizes + R"(},)" +
        R"({"Reference":"1","MaxWeight":1,)" + sizes + "}]}");
    ASSERT_EQ(request.items.size(), 2u);
    EXPECT_EQ(request.items.entries()[0]->item_code(), "A");
    EXPECT_EQ(request.items.entries()[1]->item_code(), "B");
    ASSERT_EQ(request.boxes.size(), 2u);
    EXPECT_EQ(request.boxes.entries()[0]->reference(), "2");
}

TEST(ItemReader, NullMeansAbsentForOptionalFields) {
    for (const std::string extra :
         {"", R"("ItemReference":null,"Weight":null,"AllowedRotation":null,"BoxGroup":null,)",
          R"("BoxGroup":"",)"}) {
        const ItemPtr read =
            itemFromJson(json::parse("{" + extra + R"("ItemCode":"a",)" + sizes + "}"));
        EXPECT_EQ(read->item_reference(), "a") << extra;
        EXPECT_EQ(read->weight(), 0.0);
        EXPECT_EQ(read->allowed_rotation(), Rotation::BEST_FIT);
        EXPECT_EQ(boxGroupOf(*read), nullptr);
    }
}

TEST(ItemReader, WrittenItemsReadBackEqual) {
    const ItemPtr original = makeItem("a", "ref", 1.5, 2, 3, 4, Rotation::KEEP_FLAT, "g");
    const ItemPtr read = itemFromJson(original->to_json());
    EXPECT_EQ(read->to_json(), original->to_json());
    ASSERT_NE(boxGroupOf(*read), nullptr);
    EXPECT_EQ(*boxGroupOf(*read), "g");
}

TEST(RotationNames, CaseInsensitiveWithBestFitForAnythingElse) {
    for (const char* name : {"never", "Never", "NEVER"}) {
        EXPECT_EQ(rotationFromName(name), Rotation::NEVER) << name;
    }
    for (const char* name : {"keepflat", "KeepFlat", "KEEPFLAT", "keep_flat", "KEEP_FLAT"}) {
        EXPECT_EQ(rotationFromName(name), Rotation::KEEP_FLAT) << name;
    }
    for (const char* name : {"BestFit", "", "keep-flat", " never", "NEVER\xc3\x89"}) {
        EXPECT_EQ(rotationFromName(name), Rotation::BEST_FIT) << name;
    }
}

TEST(BoxReader, NullMeansAbsentAndNegativeMaxWeightMeansNoLimit) {
    const BoxPtr read = boxFromJson(json::parse(
        R"({"Reference":"S","MaxWeight":-1,"Active":null,"BoxWeight":null,"MaximumBoxes":null,)" +
        sizes + "}"));
    EXPECT_FALSE(read->has_weight_limit());
    EXPECT_TRUE(read->active());
    EXPECT_EQ(read->empty_weight(), 0.0);
    EXPECT_EQ(limitedSupplyOf(*read), nullptr);
}

// Quantities outside the int32 range are clamped rather than wrapped.
TEST(BoxReader, MaximumBoxesIsTruncatedAndClampedToInt32) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    constexpr double inf = std::numeric_limits<double>::infinity();
    // Parsed texts give unsigned integers where they are not negative.
    const std::vector<std::pair<json, std::int32_t>> cases = {
        {-4, -4}, {json::parse("7"), 7}, {2.9, 2}, {-2.9, -2}, {true, 1}, {false, 0},
        {json::parse("4294967296"), highest}, {json::parse("-4294967296"), lowest},
        {json::parse("18446744073709551615"), highest}, {json::parse("2147483647.9"), highest},
        {1e20, highest}, {-1e20, lowest}, {inf, highest}, {-inf, lowest},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [given, expected] : cases) {
        json element = json::parse(R"({"Reference":"S","MaxWeight":1,)" + sizes + "}");
        element["MaximumBoxes"] = given;
        const BoxPtr read = boxFromJson(element);
        ASSERT_NE(limitedSupplyOf(*read), nullptr) << given;
        EXPECT_EQ(limitedSupplyOf(*read)->max_quantity(), expected) << given;
    }
}

}  // namespace
}  // namespace quarvex
