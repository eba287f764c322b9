#pragma once

#include <vector>

#include "quarvex/model/packed_item.hpp"

namespace quarvex {

// The placed items of one horizontal slab and the extents they span.
struct Layer {
    std::vector<PackedItem> items;  // in insertion order
    double startX = 0.0, endX = 0.0;
    double startY = 0.0, endY = 0.0;
    double startZ = 0.0, endZ = 0.0;
    double width = 0.0;
    double length = 0.0;
    double depth = 0.0;
    double area = 0.0;
    double weight = 0.0;

    // Adds one placed item and grows the extents around it.
    void insert(PackedItem&& p);
    // Moves every item by dz and sets the extents as inserting the moved
    // items one by one would.
    void shiftZ(double dz);

private:
    void grow(const PackedItem& p, bool first);
};

// The layers' items, bottom layer first, each layer in insertion order,
// moved out of the layers.
std::vector<PackedItem> allItems(std::vector<Layer>&& layers);

}  // namespace quarvex
