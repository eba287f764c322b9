#pragma once

// Small builders shared by the C++ tests.

#include <memory>
#include <string>
#include <utility>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/packed_item.hpp"
#include "quarvex/model/sorters.hpp"

namespace quarvex::test {

inline ItemPtr item(std::string code, double width, double length, double depth,
                    double weight = 0.0, std::string group = "",
                    Rotation rotation = Rotation::BEST_FIT) {
    std::string reference = code + "-ref";
    return makeItem(std::move(code), std::move(reference), width, length, depth, weight, rotation,
                    std::move(group));
}

inline ItemPtr fixed(std::string code, double width, double length, double depth) {
    return item(std::move(code), width, length, depth, 0.0, "", Rotation::NEVER);
}

inline BoxPtr box(std::string reference, double width, double length, double depth,
                  double max_weight = -1.0, double empty_weight = 0.0) {
    return makeBox(std::move(reference), width, length, depth, max_weight, empty_weight, true,
                   std::nullopt);
}

// The item as described ("WLD") at (x, y, z).
inline PackedItem placed(const ItemPtr& item, double x = 0.0, double y = 0.0, double z = 0.0) {
    return PackedItem{item, item->width(), item->length(), item->depth(), "WLD", x, y, z};
}

inline ItemCollection itemCollection() {
    return ItemCollection(std::make_shared<DefaultItemSorter>());
}

}  // namespace quarvex::test
