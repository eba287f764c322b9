#pragma once

// The search loop: a biased random-key genetic algorithm over item orders
// (Goncalves and Resende, 2013), seeded with a few sorted orders. Every order
// is packed by the decoder; the promising packings are then improved by the
// moves and, once the population has stopped finding better ones, searched
// for a packing in one box fewer (drop_box.hpp). It stops when the budget
// runs out or the bound is met.

#include <cstdint>
#include <vector>

#include "quarvex/search/budget.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex::search {

// The best packing found. The first start order (or, without one, the
// largest-first order) is packed in full whatever the budget; all start
// orders go into the first generation as they are.
Solution searchPackings(const Problem& problem, std::vector<std::vector<int>> startOrders,
                        Budget& budget, std::uint64_t seed);

}  // namespace quarvex::search
