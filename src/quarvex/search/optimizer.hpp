#pragma once

// A second way to pack, for callers to whom boxes and air cost money: starts
// from the default packer's result (when that finishes within the time
// limit) and searches for one that places more
// items, in fewer boxes, of less volume (objective.hpp).

#include <cstdint>
#include <optional>
#include <string_view>

#include "quarvex/model/collections.hpp"
#include "quarvex/model/pack_response.hpp"
#include "quarvex/search/budget.hpp"
#include "quarvex/search/problem.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex {

struct OptimizeOptions {
    std::optional<double> timeLimit = 1.0;  // wall seconds; empty for no limit
    std::optional<std::uint64_t> effort;    // work units (see budget.hpp); empty for no limit
    std::uint64_t seed = 0;
    // Each item above the floor rests on tops of items over at least this share
    // of its base area; at 0.0 the physical rules are the default packer's.
    double minSupport = 0.0;
    search::Objective objective = search::Objective::Boxes;
};

// The steps of optimize(): construction runs the default packer, search()
// the search, result() picks the better of the two.
class Optimizer {
public:
    // Throws std::invalid_argument for the objective Cost with a usable box
    // type that has no price.
    Optimizer(const ItemCollection& items, const BoxCollection& boxes,
              const OptimizeOptions& options);

    void search();

    // After search(). With minSupport 0.0 and no load limits never worse
    // than the default packer's result, which it is when the search found
    // nothing better; that holds only when the packer finished within the
    // time limit.
    PackResponse result() const;

private:
    search::Budget budget_;
    std::uint64_t seed_;
    search::Problem problem_;            // first: a request it refuses is not packed
    std::optional<PackResponse> start_;  // empty when the packer ran out of time
    std::optional<search::Solution> best_;
};

// A caller's settings as options: the time limit and effort not negative, at
// least one of them finite, min_support in [0, 1], the objective "boxes" or
// "cost". Throws std::invalid_argument naming the first that is not.
OptimizeOptions checkedOptimizeOptions(std::optional<double> timeLimit,
                                       std::optional<std::int64_t> effort, std::uint64_t seed,
                                       double minSupport, std::string_view objective);

PackResponse optimize(const ItemCollection& items, const BoxCollection& boxes,
                      const OptimizeOptions& options);

}  // namespace quarvex
