#pragma once

#include <cstdint>

namespace quarvex {

// Box fills (BoxFiller packings) made on this thread since it started, by
// what asked for them, so a benchmark can see where a slow request's work
// goes. Per thread, so concurrent calls never share them.
struct FillCounts {
    std::uint64_t first = 0;      // the packer's trials and box-group re-packs
    std::uint64_t balancing = 0;  // weight balancing's re-packs
    std::uint64_t lookAhead = 0;  // the look-ahead's trial runs
};

FillCounts& fillCounts();

}  // namespace quarvex
