#pragma once

// Small builders shared by the C++ tests.

#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/packed_item.hpp"
#include "quarvex/model/sorters.hpp"

namespace quarvex::test {

using Codes = std::vector<std::string>;

// "code(x,y,z)" of each placed item, in order.
inline Codes where(const std::vector<PackedItem>& items) {
    Codes out;
    for (const PackedItem& p : items) {
        std::ostringstream text;
        text << p.item->item_code() << '(' << p.x << ',' << p.y << ',' << p.z << ')';
        out.push_back(text.str());
    }
    return out;
}

inline ItemPtr item(std::string code, double width, double length, double depth,
                    double weight = 0.0, std::string group = "") {
    std::string reference = code + "-ref";
    return makeItem(std::move(code), std::move(reference), width, length, depth, weight,
                    Rotation::BEST_FIT, std::move(group));
}

inline BoxPtr box(std::string reference, double width, double length, double depth,
                  double max_weight = -1.0, double empty_weight = 0.0,
                  std::optional<std::int32_t> max_quantity = std::nullopt) {
    return makeBox(std::move(reference), width, length, depth, max_weight, empty_weight, true,
                   max_quantity);
}

// The item as described ("WLD") at (x, y, z).
inline PackedItem placed(const ItemPtr& item, double x = 0.0, double y = 0.0, double z = 0.0) {
    return PackedItem{item, item->width(), item->length(), item->depth(), "WLD", x, y, z};
}

inline ItemCollection itemCollection() {
    return ItemCollection(std::make_shared<DefaultItemSorter>());
}

inline PackedBoxCollection packedBoxCollection() {
    return PackedBoxCollection(std::make_shared<DefaultPackedBoxSorter>());
}

// The default item order, counting how often it is asked.
class CountingItemSorter final : public ItemSorter {
public:
    std::int32_t compare(const Item& a, const Item& b) const override {
        ++calls;
        return order.compare(a, b);
    }
    mutable int calls = 0;

private:
    DefaultItemSorter order;
};

}  // namespace quarvex::test
