#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "quarvex/json_io/request_reader.hpp"

namespace quarvex {

// JSON request text in, compact JSON result text out; `at`, when given,
// follows the reading so that a fault can be placed; with explain, the
// result also says why each unplaced item was not packed.
std::string solveRequest(std::string_view requestText, ReadPosition* at = nullptr,
                         bool explain = false);

// As solveRequest, for a request already parsed.
std::string solveParsedRequest(const nlohmann::json& request, ReadPosition* at = nullptr,
                               bool explain = false);

}  // namespace quarvex
