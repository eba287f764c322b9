#pragma once

// The entry points. Any number of threads may call them at once, on shared or
// separate requests; each call gives the bytes a single-threaded run gives.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quarvex/request.hpp"
#include "quarvex/result.hpp"

namespace quarvex {

// Packs with the default packer: deterministic, and for a request read from
// text the result solve gives for that text. Reads neither max_load, cost nor
// the request's options. time_limit is in wall seconds, empty for none.
// Throws RequestError for a request it cannot take, TimeoutError when the
// time runs out, std::invalid_argument for a negative or infinite time_limit.
Result pack(const Request& request, std::optional<double> time_limit = std::nullopt);

// The settings of optimize.
struct SearchOptions {
    // Wall seconds for the whole call; empty for no limit.
    std::optional<double> time_limit = 1.0;
    // Work units: the same seed and effort give the same result on any
    // machine; empty for no limit. time_limit or effort must bound the call.
    std::optional<std::uint64_t> effort;
    std::uint64_t seed = 0;
    // The share of each item's base that must rest on items below it, in
    // [0, 1]; 0 as the default packer.
    double min_support = 0.0;
    Objective objective = Objective::Boxes;
};

// Searches for a packing that places the most items, then best by the
// objective, honouring max_load, cost and the request's options (which win
// over `options`). With min_support 0, no max_load and the default packer
// finished within the time limit, never worse than pack.
// Throws RequestError for a request it cannot take, std::invalid_argument for
// settings it cannot take (the objective Cost with a usable box type that has
// no cost, for one).
Result optimize(const Request& request, const SearchOptions& options = {});

// Request text in, result text out: pack and Result::to_json in one step,
// reading the text as the default packer does (MaxLoad, Cost and "options"
// are not read). Throws RequestError.
std::string solve(std::string_view request_json);

}  // namespace quarvex
