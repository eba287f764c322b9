#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "quarvex/model/item.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// Which of an item's own sizes (0 width, 1 length, 2 depth) lie along x, y
// and z, and the code that names that ordering.
struct Ordering {
    std::uint8_t x, y, z;
    const char* code;
};

// The orderings the rotation rule allows, in their fixed order.
std::span<const Ordering> allowedOrderings(Rotation rule);

inline OrientedItem orient(const Item& item, const std::array<double, 3>& sizes,
                           const Ordering& ordering) {
    return {&item, sizes[ordering.x], sizes[ordering.y], sizes[ordering.z], ordering.code};
}

// The orderings the item's rotation rule allows, in their fixed order;
// equal dimensions are not merged here.
CandidateList generateOrientations(const Item& item);

// The item's sizes in ascending order.
inline const std::array<double, 3>& sortedDimensions(const Item& item) {
    return item.sorted_dimensions();
}

// Whether a size is NaN: such an item equals no other, only itself.
inline bool hasNaNSize(const Item& item) {
    const auto& sizes = sortedDimensions(item);
    return std::isnan(sizes[0]) || std::isnan(sizes[1]) || std::isnan(sizes[2]);
}

// Whether some ordering of the item could fit a space whose sizes are
// `space`, sorted: its sorted sizes fit them. Loops that ask it of many items
// sort the space once.
inline bool fitsSorted(const std::array<double, 3>& size, const std::array<double, 3>& space) {
    return !(size[0] > space[0] || size[1] > space[1] || size[2] > space[2]);
}
inline bool mayFitSorted(const Item& item, const std::array<double, 3>& space) {
    return fitsSorted(sortedDimensions(item), space);
}

// Whether some ordering of the item could fit a W x L x D space. Most queued
// items fail this in small spaces, so it is asked before anything dearer.
inline bool mayFit(const Item& item, double W, double L, double D) {
    return mayFitSorted(item, sortedDimensions(W, L, D));
}

// Same object, or equal sorted dimensions (any NaN makes them unequal).
bool sameShape(const Item& a, const Item& b);
bool sameShape(const OrientedItem& a, const Item& b);

// Whether the orientation stands on a wide enough base for its height.
bool isStableOrientation(const OrientedItem& candidate);

// How many copies of a w x l x d block fit a W x L x D space on a grid;
// saturates instead of overflowing for huge or infinite quotients.
std::int64_t gridCount(double W, double L, double D, double w, double l, double d);

}  // namespace quarvex
