#pragma once

// The constructive step of the search: turns an item order into a packing.
// Each item goes into the first open box that takes it, else into a new box
// of the largest type that takes it and still has supply; the moves later
// trade boxes for smaller types.

#include <optional>
#include <span>

#include "quarvex/search/budget.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex::search {

// Empty when the budget runs out first.
std::optional<Solution> packInOrder(const Problem& problem, std::span<const int> order, Merit merit,
                                    Budget& budget);

// How many boxes of each supply key the solution opens.
std::vector<std::int32_t> boxesOpened(const Problem& problem, const Solution& solution);

// Whether one more box of the type may be opened.
bool hasSupply(const BoxType& type, const std::vector<std::int32_t>& opened);

}  // namespace quarvex::search
