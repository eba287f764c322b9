#pragma once

// A search at a fixed box count, after Faroe, Pisinger and Zachariasen's
// guided local search for three-dimensional bin packing (2003): the items of
// the emptiest box go where they overlap least in the others, then single
// items move along one axis to their best spot, turn, or change box, to
// shrink the total overlap; penalties on item pairs that stay overlapped in a
// local minimum push the search out of it. No overlap left is a packing in
// one box fewer.

#include <cstdint>

#include "quarvex/search/budget.hpp"
#include "quarvex/search/random.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex::search {

// Whether the search applies: items may float and carry anything, and no box
// groups apply, since it checks only room, overlap and box weight limits.
bool canDropBoxes(const Problem& problem);

// Tries to pack the solution's items in all its boxes but the emptiest,
// spending at most `units` of the budget; true (and the solution one box
// smaller) on success, else the solution is left as it was.
bool dropBox(const Problem& problem, Solution& solution, std::uint64_t units, Budget& budget,
             Random& random);

}  // namespace quarvex::search
