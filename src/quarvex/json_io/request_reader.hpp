#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/rotation.hpp"

namespace quarvex {

// A request as read: the items, then the box types.
struct PackRequest {
    ItemCollection items;
    BoxCollection boxes;
};

// How far reading has got, so that a fault can be placed: the JSON pointer of
// the element being read and the key last looked up in it (nullptr before the
// first). Only callers that place faults pass one.
struct ReadPosition {
    std::string element;
    const char* key = nullptr;

    // The element's pointer, with the key when there is one.
    std::string pointer() const;
};

// "never" / "keepflat" / "keep_flat" in any ASCII case; anything else is BEST_FIT.
Rotation rotationFromName(std::string_view name);

ItemPtr itemFromJson(const nlohmann::json& element);
BoxPtr boxFromJson(const nlohmann::json& element);
// As the search reads them: the same, plus the item's MaxLoad and the box's
// Cost, which the default packer does not know.
ItemPtr searchItemFromJson(const nlohmann::json& element);
BoxPtr searchBoxFromJson(const nlohmann::json& element);
ItemPtr searchItemFromJson(const nlohmann::json& element, ReadPosition& at);
BoxPtr searchBoxFromJson(const nlohmann::json& element, ReadPosition& at);

// A member name as a JSON pointer spells it (~ and / escaped).
std::string pointerToken(std::string_view name);

// Calls visit for each element of an "items" or "boxes" value: an array's
// elements in order, an object's member values in key order, nothing for
// null, and any other value once. A visit that takes a second argument also
// gets where the element is below the value ("/3", "/key", or "" for the
// value itself).
template <class Visit>
void forEachElement(const nlohmann::json& value, Visit visit) {
    constexpr bool placed = std::is_invocable_v<Visit, const nlohmann::json&, std::string>;
    if (value.is_null()) {
        return;
    }
    if (value.is_array() || value.is_object()) {
        std::size_t index = 0;
        for (auto member = value.begin(); member != value.end(); ++member, ++index) {
            if constexpr (placed) {
                std::string where = "/";
                where += value.is_array() ? std::to_string(index) : pointerToken(member.key());
                visit(*member, where);
            } else {
                visit(*member);
            }
        }
        return;
    }
    if constexpr (placed) {
        visit(value, std::string());
    } else {
        visit(value);
    }
}

// The default packer's reading of a whole request; `at`, when given, follows it.
PackRequest readRequest(const nlohmann::json& request, ReadPosition* at = nullptr);
// The JSON of a request's text, with the parser's faults as solve reports them.
nlohmann::json parseJsonText(std::string_view text);
PackRequest parseRequestText(std::string_view text);

}  // namespace quarvex
