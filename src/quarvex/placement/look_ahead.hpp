#pragma once

#include <cstddef>
#include <cstdint>

#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// The free space a placement is being chosen for, and what is queued behind
// the item being placed.
struct PlacementSpace {
    double W, L, D;
    const ItemQueue& remaining;
    double rowDepth;  // the caller's running row depth; 0 without a row
    bool lookAheadDisabled;
};

// How many of the next (at most seven) queued items a trial packing fits into
// the strip beside the candidate and the space beyond its row. Memoised per
// thread, for the life of the thread.
std::int32_t lookAheadScore(const PlacementSpace& space, const OrientedItem& candidate);

// Number of scores memoised on this thread (bounded; for tests and benchmarks).
std::size_t lookAheadMemoSize();

}  // namespace quarvex
