#pragma once

// How a packed item's weight reaches the items under it. The search checks
// load limits with it as it places items; the pictures show what each item
// carries with it.

#include <vector>

namespace quarvex {

// A placed item's space in the box's frame (z up).
struct Cuboid {
    double x, y, z;
    double w, l, d;
};

// The area where `upper` rests on `lower`: the overlap of their footprints
// when the top of `lower` is at the base of `upper` (within `tolerance`),
// else 0.
double restingArea(const Cuboid& upper, const Cuboid& lower, double tolerance);

// The weight on each block's top, directly or through the blocks above it:
// each block passes its weight and its load down to the blocks it rests on,
// shared by resting area. Among flat blocks at one height, a later one rests
// on an earlier one.
std::vector<double> carriedLoads(const std::vector<Cuboid>& blocks,
                                 const std::vector<double>& weights);

}  // namespace quarvex
