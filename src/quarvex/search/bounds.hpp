#pragma once

// Bounds on the best score any packing of a problem could reach, so the
// search can stop at a result that cannot be improved.

#include "quarvex/search/objective.hpp"

namespace quarvex::search {

// An upper bound on the items placed and lower bounds on the boxes (volume,
// weight, box groups and, with one box type and fixed orientations, the
// Martello-Pisinger-Vigo bound L1) and on the volume.
Score bestPossible(const Problem& problem);

// Whether a score reaches the bound and so cannot be improved.
bool meets(const Score& score, const Score& bound);

}  // namespace quarvex::search
