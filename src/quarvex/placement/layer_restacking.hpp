#pragma once

#include <vector>

#include "quarvex/packing/layer.hpp"

namespace quarvex {

// Reorders layers largest footprint lowest (then deepest) and sets them down
// on one another from z = 0; positions within a layer are kept.
std::vector<Layer> restackLayers(std::vector<Layer> layers);

}  // namespace quarvex
