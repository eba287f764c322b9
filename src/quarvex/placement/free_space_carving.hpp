#pragma once

#include <array>
#include <span>
#include <vector>

#include "quarvex/model/packed_item.hpp"
#include "quarvex/packing/free_space.hpp"

namespace quarvex {

// The free blocks of a W x L x D box once the items are cut out.
std::vector<FreeSpace> freeSpaces(double W, double L, double D,
                                  const std::vector<PackedItem>& items);

// Cuts each item out of the spaces in turn: a space an item overlaps gives
// way to up to six disjoint slabs around the overlap (left, right, front,
// back, below, above), so the spaces never overlap one another.
std::vector<FreeSpace> carveFreeSpaces(std::vector<FreeSpace> spaces,
                                       const std::vector<PackedItem>& items);
// The same in place; `scratch` is working storage that a caller carving
// often keeps, so that its capacity serves every cut.
void carveFreeSpaces(std::vector<FreeSpace>& spaces, const std::vector<PackedItem>& items,
                     std::vector<FreeSpace>& scratch);
// The same for a caller that needs only the spaces one of `sizes` (sorted
// item sizes) could fit with `slack` added to every side: pieces none of
// them fits are dropped as they are cut. A space that was kept before an
// item stays kept unless that item cuts it.
void carveFreeSpacesFor(std::vector<FreeSpace>& spaces, const std::vector<PackedItem>& items,
                        std::vector<FreeSpace>& scratch,
                        std::span<const std::array<double, 3>> sizes, double slack);

}  // namespace quarvex
