#include "quarvex/search/budget.hpp"

#include "quarvex/runtime/cancellation.hpp"

namespace quarvex::search {

Budget::Budget(std::optional<std::uint64_t> units, std::optional<double> seconds) : units_(units) {
    if (seconds) deadline_ = deadlineAfter(*seconds);
}

bool Budget::spend() {
    pollCancellation();
    if (!exhausted_) {
        exhausted_ = (units_ && spent_ >= *units_) || (deadline_ && Clock::now() >= *deadline_);
    }
    if (exhausted_) return false;
    ++spent_;
    return true;
}

}  // namespace quarvex::search
