#pragma once

// Whether an item can go in a box type at all, rule by rule: its size in some
// orientation its rotation rule allows, its weight against the content limit,
// and the type's supply. The packer, the search and the reasons given for
// unplaced items all ask these, so each rule is written here only.

#include <cstdint>

#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// Contents of this weight stay within a content limit (negative: no limit).
inline bool withinContentLimit(double weight, double limit) {
    return limit < 0.0 || weight <= limit;
}

inline bool orientationFits(const OrientedItem& o, double width, double length, double depth) {
    return o.w <= width && o.l <= length && o.d <= depth;
}

// Some orientation the item's rotation rule allows fits the box type's inner sizes.
bool fitsBySize(const Item& item, const Box& box);

// The item alone stays within the box type's content limit.
bool takesWeight(const Item& item, const Box& box);

// Another box of the type may be opened when `opened` of its reference are.
bool hasSupplyLeft(const Box& box, std::int32_t opened);

}  // namespace quarvex
