#include "quarvex/json_io/request_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "quarvex/model/sorters.hpp"
#include "quarvex/model/valid_figures.hpp"

namespace quarvex {

namespace {

using nlohmann::json;

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// An element's fields, each looked up through here so that a position, when
// one is followed, names the key being read when a fault comes.
class Fields {
public:
    Fields(const json& element, ReadPosition* at) : element_(element), at_(at) {}

    bool has(const char* key) const {
        note(key);
        return element_.is_object() && element_.contains(key);
    }
    const json& required(const char* key) const {
        note(key);
        return element_.at(key);
    }
    // The fault of a required field that is not given.
    std::invalid_argument missing(const char* key, const std::string& message) const {
        note(key);
        return std::invalid_argument(message);
    }
    // An optional field counts as given only when present and not null.
    const json* given(const char* key) const {
        note(key);
        const auto found = element_.find(key);
        if (found == element_.end() || found->is_null()) {
            return nullptr;
        }
        return &*found;
    }

private:
    void note(const char* key) const {
        if (at_) at_->key = key;
    }

    const json& element_;
    ReadPosition* at_;
};

std::string optionalString(const Fields& fields, const char* key, std::string fallback) {
    const json* value = fields.given(key);
    return value ? value->get<std::string>() : std::move(fallback);
}

double optionalNumber(const Fields& fields, const char* key, double fallback) {
    const json* value = fields.given(key);
    return value ? value->get<double>() : fallback;
}

double requiredNumber(const Fields& fields, const char* key) {
    return fields.required(key).get<double>();
}

// Out-of-range quantities are clamped to the int32 range rather than wrapped,
// so a huge maximum never turns into a negative or tiny one. NaN gives 0.
std::int32_t quantityFromJson(const json& value) {
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    if (value.is_number_unsigned()) {
        const auto n = value.get<std::uint64_t>();
        return n > static_cast<std::uint64_t>(kInt32Max) ? kInt32Max : static_cast<std::int32_t>(n);
    }
    if (value.is_number_integer()) {
        return static_cast<std::int32_t>(
            std::clamp<std::int64_t>(value.get<std::int64_t>(), kInt32Min, kInt32Max));
    }
    // A float, or the library's number type fault for anything else.
    const double truncated = std::trunc(value.get<double>());
    if (std::isnan(truncated)) {
        return 0;
    }
    if (truncated < kInt32Min) {
        return kInt32Min;
    }
    if (truncated > kInt32Max) {
        return kInt32Max;
    }
    return static_cast<std::int32_t>(truncated);
}

// A physical key the search reads (MaxLoad, Cost): absent or null for none,
// else a number of at least 0.
std::optional<double> physicalNumber(const Fields& fields, const char* key, const char* kind,
                                     const std::string& name) {
    const json* value = fields.given(key);
    if (!value) return std::nullopt;
    if (!value->is_number()) {
        throw std::invalid_argument(std::string(kind) + " '" + name + "': " + key +
                                    " must be a number of at least 0, got " + value->type_name());
    }
    return value->get<double>();  // makeItem and makeBox refuse negatives
}

ItemPtr readItem(const json& element, bool withMaxLoad, ReadPosition* at = nullptr) {
    const Fields fields(element, at);
    if (!fields.has("ItemCode")) {
        throw std::invalid_argument("item is missing required field 'ItemCode'");
    }
    std::string code = fields.required("ItemCode").get<std::string>();
    const Rotation rotation =
        rotationFromName(optionalString(fields, "AllowedRotation", "BestFit"));
    const double weight = optionalNumber(fields, "Weight", 0.0);
    const double depth = requiredNumber(fields, "Depth");
    const double length = requiredNumber(fields, "Length");
    const double width = requiredNumber(fields, "Width");
    std::string reference = optionalString(fields, "ItemReference", code);
    std::string group = optionalString(fields, "BoxGroup", "");
    // Read after the default packer's keys, so that both readings report the same
    // first fault for a request they both refuse.
    const std::optional<double> maxLoad =
        withMaxLoad ? physicalNumber(fields, "MaxLoad", "item", code) : std::nullopt;
    return checkedFigures(makeItem(std::move(code), std::move(reference), width, length, depth,
                                   weight, rotation, std::move(group), maxLoad));
}

BoxPtr readBox(const json& element, bool withCost, ReadPosition* at = nullptr) {
    const Fields fields(element, at);
    if (!fields.has("Reference")) {
        throw std::invalid_argument("box is missing required field 'Reference'");
    }
    if (!fields.given("MaxWeight")) {
        const std::string reference = fields.required("Reference").get<std::string>();
        throw fields.missing("MaxWeight",
                             "box '" + reference + "' is missing required field 'MaxWeight'");
    }
    const json* active = fields.given("Active");
    const bool isActive = active ? active->get<bool>() : true;
    const double emptyWeight = optionalNumber(fields, "BoxWeight", 0.0);
    const double maxWeight = requiredNumber(fields, "MaxWeight");
    const double depth = requiredNumber(fields, "Depth");
    const double length = requiredNumber(fields, "Length");
    const double width = requiredNumber(fields, "Width");
    std::string reference = fields.required("Reference").get<std::string>();
    std::optional<std::int32_t> maxQuantity;
    if (const json* quantity = fields.given("MaximumBoxes")) {
        maxQuantity = quantityFromJson(*quantity);
    }
    // Last, as for items' MaxLoad.
    const std::optional<double> cost =
        withCost ? physicalNumber(fields, "Cost", "box", reference) : std::nullopt;
    return checkedFigures(makeBox(std::move(reference), width, length, depth, maxWeight,
                                  emptyWeight, isActive, maxQuantity, cost));
}

// The parser's own fault, placed where its position record puts a character.
json::parse_error nulByteFault(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, offset);
    const auto lines = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t lineStart = before.rfind('\n');
    const std::size_t column =
        lineStart == std::string_view::npos ? offset : offset - lineStart - 1;
    return json::parse_error::create(
        101, {offset + 1, column + 1, lines},
        "syntax error while parsing value - unexpected NUL byte; expected end of input", nullptr);
}

}  // namespace

Rotation rotationFromName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (lower == "never") {
        return Rotation::NEVER;
    }
    if (lower == "keepflat" || lower == "keep_flat") {
        return Rotation::KEEP_FLAT;
    }
    return Rotation::BEST_FIT;
}

// The reads run in a fixed order: it decides which fault is reported first.
ItemPtr itemFromJson(const json& element) {
    return readItem(element, false);
}
BoxPtr boxFromJson(const json& element) {
    return readBox(element, false);
}
ItemPtr searchItemFromJson(const json& element) {
    return readItem(element, true);
}
BoxPtr searchBoxFromJson(const json& element) {
    return readBox(element, true);
}
ItemPtr searchItemFromJson(const json& element, ReadPosition& at) {
    return readItem(element, true, &at);
}
BoxPtr searchBoxFromJson(const json& element, ReadPosition& at) {
    return readBox(element, true, &at);
}

std::string ReadPosition::pointer() const {
    return key ? element + "/" + key : element;
}

std::string pointerToken(std::string_view name) {
    std::string token;
    for (const char c : name) {
        if (c == '~') {
            token += "~0";
        } else if (c == '/') {
            token += "~1";
        } else {
            token += c;
        }
    }
    return token;
}

PackRequest readRequest(const json& request, ReadPosition* at) {
    const Fields fields(request, nullptr);
    const auto readAll = [&](const char* key, auto read) {
        const json* value = request.is_object() ? fields.given(key) : nullptr;
        if (!value) return;
        forEachElement(*value, [&](const json& element, const std::string& where) {
            if (at) at->element = std::string("/") + key + where;
            read(element);
        });
    };
    ItemCollection items(std::make_shared<DefaultItemSorter>());
    readAll("items", [&](const json& element) { items.insert(readItem(element, false, at)); });
    BoxCollection boxes(std::make_shared<DefaultBoxSorter>());
    readAll("boxes", [&](const json& element) { boxes.insert(readBox(element, false, at)); });
    return PackRequest{std::move(items), std::move(boxes)};
}

json parseJsonText(std::string_view text) {
    // Parsers before 3.11.3 call an empty text a generic syntax error; name it
    // as newer ones do, so callers see one message whatever the version. The
    // braces are the parser's position record (characters read, column, line).
    if (text.empty()) {
        throw json::parse_error::create(
            101, {1, 1, 0},
            "attempting to parse an empty input; check that your input string or stream "
            "contains the expected JSON",
            nullptr);
    }
    const json request = json::parse(text.begin(), text.end(), nullptr, true, false);
    // The parser takes a NUL byte outside a string for the end of the input and
    // would read "{...}\0anything" as the object alone; in a string a NUL is
    // already a fault, so a text that parsed and holds one ends its JSON early.
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        throw nulByteFault(text, nul);
    }
    return request;
}

PackRequest parseRequestText(std::string_view text) {
    return readRequest(parseJsonText(text));
}

}  // namespace quarvex
