#pragma once

#include <string>

#include "quarvex/model/item.hpp"

namespace quarvex {

// One item at a position, in one orientation. Occupies
// [x, x + width) x [y, y + length) x [z, z + depth).
struct PackedItem {
    ItemPtr item;
    double width = 0.0;       // placed extent along x
    double length = 0.0;      // placed extent along y
    double depth = 0.0;       // placed extent along z
    std::string orientation;  // which item dimension lies along x, y, z, e.g. "WLD"
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    double weight() const { return item->weight(); }
    double volume() const { return (length * width) * depth; }
    bool rotated() const { return orientation != "WLD"; }
    PackedItem translated(double dx, double dy, double dz) const;
};

}  // namespace quarvex
