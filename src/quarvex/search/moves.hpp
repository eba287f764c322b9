#pragma once

// The search's moves, all in one place. New item orders come from random
// keys, as in a biased random-key genetic algorithm (Goncalves and Resende,
// 2013): an order is the items sorted by their keys, one more key picks the
// merit rule, and a child takes each key from its elite parent with a fixed
// bias. A packing found from an order is
// then improved by emptying its weakest boxes into the others, by moving
// each box's contents into the smallest (or cheapest) box type that takes
// them and, when prices count, by splitting a box into two cheaper ones. The
// best packing is also searched for a box to save: the items of two or three
// boxes put into one box fewer (merge_boxes.cpp).

#include <vector>

#include "quarvex/search/budget.hpp"
#include "quarvex/search/random.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex::search {

using Keys = std::vector<double>;

// What keys stand for: an order of the items and the rule that places them.
struct Plan {
    std::vector<int> order;
    Merit merit;
};

Keys randomKeys(std::size_t items, Random& random);
Keys keysOf(const Plan& plan);
Plan planOf(const Keys& keys);
Keys crossover(const Keys& elite, const Keys& other, Random& random);

// Empties boxes, weakest first, by placing their items in the other boxes;
// false when the budget ran out (the solution is then still whole, with the
// boxes emptied so far).
bool emptyWeakBoxes(const Problem& problem, Solution& solution, Budget& budget);

// Puts the items of some k boxes (2, then 3, the emptiest first) into k - 1
// boxes of the largest types with supply, by a search over which box each
// item goes to that allows this many discrepancies from first fit, and, when
// weight binds, by a split of the items by weight; true when a box was saved.
// Leaves the solution whole when the budget runs out.
bool mergeBoxes(const Problem& problem, Solution& solution, int discrepancies, Budget& budget);

// Repacks each box, where it can, into the smallest type that takes all its
// items; stops where the budget runs out, leaving the solution whole.
void shrinkBoxes(const Problem& problem, Solution& solution, Budget& budget);

// With the objective Cost: replaces each box, where it can, by two boxes that
// together take its items and cost less; stops where the budget runs out,
// leaving the solution whole.
void splitBoxes(const Problem& problem, Solution& solution, Budget& budget);

}  // namespace quarvex::search
