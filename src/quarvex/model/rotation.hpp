#pragma once

#include <cstdint>

namespace quarvex {

// How far an item may be turned while packing. Values other than 0 and 1
// behave as BEST_FIT wherever orientations are generated.
enum class Rotation : std::int32_t {
    NEVER = 0,
    KEEP_FLAT = 1,
    BEST_FIT = 2,
};

}  // namespace quarvex
