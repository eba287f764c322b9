#pragma once

#include <memory>
#include <string>
#include <string_view>

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

// "never" / "keepflat" / "keep_flat" in any ASCII case; anything else is BEST_FIT.
Rotation rotationFromName(std::string_view name);

ItemPtr itemFromJson(const nlohmann::json& element);
BoxPtr boxFromJson(const nlohmann::json& element);
// As the search reads them: the same, plus the item's MaxLoad and the box's
// Cost, which the default packer does not know.
ItemPtr searchItemFromJson(const nlohmann::json& element);
BoxPtr searchBoxFromJson(const nlohmann::json& element);

// Calls visit for each element of an "items" or "boxes" value: an array's
// elements in order, an object's member values in key order, nothing for
// null, and any other value once.
template <class Visit>
void forEachElement(const nlohmann::json& value, Visit visit) {
    if (value.is_null()) {
        return;
    }
    if (value.is_array() || value.is_object()) {
        for (const auto& element : value) {
            visit(element);
        }
        return;
    }
    visit(value);
}

PackRequest readRequest(const nlohmann::json& request);
PackRequest parseRequestText(std::string_view text);

}  // namespace quarvex
