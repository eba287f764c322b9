#pragma once

// When the search stops: when its work units or its wall time run out, or
// when the best result provably cannot be improved (see objective.hpp).
// A work unit is one attempt to place one item in one box, so a run bounded
// by units alone does the same work, and finds the same result, anywhere.

#include <chrono>
#include <cstdint>
#include <optional>

namespace quarvex::search {

class Budget {
public:
    using Clock = std::chrono::steady_clock;

    // Either limit may be absent; the clock starts now.
    Budget(std::optional<std::uint64_t> effort, std::optional<double> timeLimit);

    // Counts one unit and returns true, or false once either limit is reached.
    bool spend();
    bool exhausted() const { return exhausted_; }
    std::uint64_t spent() const { return spent_; }
    std::optional<Clock::time_point> deadline() const { return deadline_; }

private:
    std::optional<std::uint64_t> effort_;
    std::optional<Clock::time_point> deadline_;
    std::uint64_t spent_ = 0;
    bool exhausted_ = false;
};

}  // namespace quarvex::search
