#include "quarvex/search/budget.hpp"

#include <algorithm>

namespace quarvex::search {

namespace {

// A longer limit is as good as none, and converting it could overflow.
constexpr double kLongestSeconds = 86400.0;

}  // namespace

Budget::Budget(std::optional<std::uint64_t> units, std::optional<double> seconds)
    : units_(units) {
    if (seconds) {
        const std::chrono::duration<double> span(std::min(*seconds, kLongestSeconds));
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(span);
    }
}

bool Budget::spend() {
    if (!exhausted_) {
        exhausted_ = (units_ && spent_ >= *units_) || (deadline_ && Clock::now() >= *deadline_);
    }
    if (exhausted_) return false;
    ++spent_;
    return true;
}

}  // namespace quarvex::search
