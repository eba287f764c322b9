#pragma once

// Why each item of a finished run found no place, judged against the box
// types the run was given with the rules of fit_rules.hpp. The first rule
// that applies is the reason; the last one says the item would go in a box
// type on its own but not beside the items already packed.

#include <vector>

#include "quarvex/model/pack_response.hpp"

namespace quarvex {

enum class UnplacedReason {
    NoActiveBoxType,       // the request has no active box type
    TooLarge,              // too large for every active box type in every allowed orientation
    TooHeavy,              // heavier than every active box type's content limit
    NoTypeLargeAndStrong,  // some type is large enough, another strong enough, none both
    BoxGroup,              // the types that take it are used up by boxes of other groups
    SupplyExhausted,       // every type that takes it has been opened as often as allowed
    NoRoomBesideOthers,    // it fits a box type alone, not beside what was packed
};

// The reason's name in results: "too_large", "supply_exhausted", ...
const char* unplacedReasonName(UnplacedReason reason);

// One reason per unplaced item, in the order of response.unplaced_items().
std::vector<UnplacedReason> unplacedReasons(const PackResponse& response);

}  // namespace quarvex
