#pragma once

#include <string>
#include <string_view>

namespace quarvex {

// JSON request text in, compact JSON result text out.
std::string solve(std::string_view requestText);

}  // namespace quarvex
