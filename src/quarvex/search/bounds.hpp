#pragma once

// Bounds on the best score any packing of a problem could reach, so the
// search can stop at a result that cannot be improved.

#include <vector>

#include "quarvex/search/objective.hpp"

namespace quarvex::search {

// An upper bound on the items placed and lower bounds on the boxes (the bound
// L2 below on volumes and on weights, box groups and, with one box type and
// fixed orientations, the Martello-Pisinger-Vigo bound L1) and on the volume.
Score bestPossible(const Problem& problem);

// The fewest bins of the capacity that one-dimensional items of these sizes
// need at least: Martello and Toth's bound L2, which sees that items larger
// than half the capacity never share a bin. Every size is at most the capacity.
int binPackingBound(const std::vector<double>& sizes, double capacity);

// Whether a score reaches the bound and so cannot be improved.
bool meets(const Score& score, const Score& bound);

}  // namespace quarvex::search
