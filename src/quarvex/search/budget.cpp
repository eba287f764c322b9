#include "quarvex/search/budget.hpp"

#include "quarvex/runtime/cancellation.hpp"

namespace quarvex::search {

namespace {

// A unit takes well under a microsecond on small loads, so reading the clock
// for each would cost a sixth of the search; every few units still stops
// within microseconds of the deadline.
constexpr std::uint64_t kUnitsPerClockRead = 16;

}  // namespace

Budget::Budget(std::optional<std::uint64_t> effort, std::optional<double> timeLimit)
    : effort_(effort) {
    if (timeLimit) deadline_ = deadlineAfter(*timeLimit);
}

bool Budget::spend() {
    pollCancellation();
    if (!exhausted_) {
        exhausted_ = (effort_ && spent_ >= *effort_) ||
                     (deadline_ && spent_ % kUnitsPerClockRead == 0 && Clock::now() >= *deadline_);
    }
    if (exhausted_) return false;
    ++spent_;
    return true;
}

}  // namespace quarvex::search
