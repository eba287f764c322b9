#pragma once

// The search's own view of a request: plain numbers and indices, built once
// from the domain model (while the caller may still touch Python objects), so
// that the search itself reads nothing shared.

#include <cstdint>
#include <vector>

#include "quarvex/model/collections.hpp"

namespace quarvex::search {

struct Orientation {
    double w;  // extent along x
    double l;  // extent along y
    double d;  // extent along z (height)
    const char* code;  // which item dimension lies along x, y, z, e.g. "WLD"
};

struct SearchItem {
    ItemPtr source;
    // The distinct orientations the item's rotation rule allows that fit some
    // box type; empty when the item can never be placed.
    std::vector<Orientation> orientations;
    double volume;
    double weight;
    int group;  // index of its box group, or -1 for none
};

struct BoxType {
    BoxPtr source;
    double width;
    double length;
    double depth;
    double capacity;  // weight the contents may add; negative means no limit
    double volume;
    int supplyKey;             // types of one reference share one count, as in the packer
    std::int32_t maxQuantity;  // -1 for unlimited supply
};

struct Problem {
    std::vector<SearchItem> items;  // in the default item order
    std::vector<BoxType> types;     // active usable types, largest inner volume first
    int supplyKeys = 0;
    double minSupport = 0.0;
};

// Inactive types, types without supply and types with sizes that are not
// finite and non-negative are left out; so are orientations that fit no type.
Problem makeProblem(const ItemCollection& items, const BoxCollection& boxes, double minSupport);

}  // namespace quarvex::search
