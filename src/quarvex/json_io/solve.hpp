#pragma once

#include <string>
#include <string_view>

namespace quarvex {

// JSON request text in, compact JSON result text out; with explain, the
// result also says why each unplaced item was not packed.
std::string solve(std::string_view requestText, bool explain = false);

}  // namespace quarvex
