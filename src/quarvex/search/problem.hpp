#pragma once

// The search's own view of a request: plain numbers and indices, built once
// from the domain model (while the caller may still touch Python objects), so
// that the search itself reads nothing shared.

#include <cstdint>
#include <vector>

#include "quarvex/model/collections.hpp"

namespace quarvex::search {

struct Orientation {
    double w;          // extent along x
    double l;          // extent along y
    double d;          // extent along z (height)
    const char* code;  // which item dimension lies along x, y, z, e.g. "WLD"
};

struct SearchItem {
    ItemPtr source;
    // The distinct orientations the item's rotation rule allows that fit some
    // box type; empty when the item can never be placed.
    std::vector<Orientation> orientations;
    double volume;
    double weight;
    int group;       // index of its box group, or -1 for none
    double maxLoad;  // weight it may carry on top; infinity for no limit
};

struct BoxType {
    BoxPtr source;
    double width;
    double length;
    double depth;
    double capacity;  // weight the contents may add; negative means no limit
    double volume;
    double cost;               // 0 when not given
    int supplyKey;             // types of one reference share one count, as in the packer
    std::int32_t maxQuantity;  // -1 for unlimited supply
};

// What the search ranks after the items placed (objective.hpp).
enum class Objective {
    Boxes,  // fewest boxes, then least volume
    Cost,   // least total price, then fewest boxes, then least volume
};

struct Problem {
    std::vector<SearchItem> items;  // in the default item order
    std::vector<BoxType> types;     // active usable types, largest inner volume first
    int supplyKeys = 0;
    double minSupport = 0.0;
    Objective objective = Objective::Boxes;
    bool hasLoadLimits = false;  // some item has a finite maxLoad
};

// Inactive types, types without supply and types with sizes that are not
// finite and non-negative are left out; so are orientations that fit no type.
// Throws std::invalid_argument when the objective is Cost and a usable type
// has no price.
Problem makeProblem(const ItemCollection& items, const BoxCollection& boxes, double minSupport,
                    Objective objective = Objective::Boxes);

}  // namespace quarvex::search
