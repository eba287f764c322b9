#include "quarvex/search/budget.hpp"

#include "quarvex/runtime/cancellation.hpp"

namespace quarvex::search {

Budget::Budget(std::optional<std::uint64_t> effort, std::optional<double> timeLimit)
    : effort_(effort) {
    if (timeLimit) deadline_ = deadlineAfter(*timeLimit);
}

bool Budget::spend() {
    pollCancellation();
    if (!exhausted_) {
        exhausted_ = (effort_ && spent_ >= *effort_) || (deadline_ && Clock::now() >= *deadline_);
    }
    if (exhausted_) return false;
    ++spent_;
    return true;
}

}  // namespace quarvex::search
