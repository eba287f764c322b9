#include "quarvex/runtime/cancellation.hpp"

#include <algorithm>
#include <utility>

namespace quarvex {

namespace {

// Per thread, so that calls on several threads are stopped one by one.
thread_local Cancellation* current = nullptr;

constexpr double kLongestSeconds = 86400.0;

}  // namespace

Cancellation::Cancellation(std::optional<Clock::time_point> deadline,
                           std::function<void()> interruptCheck)
    : deadline_(deadline), interruptCheck_(std::move(interruptCheck)) {}

Cancellation Cancellation::narrowed(std::optional<Clock::time_point> deadline) const {
    if (deadline_ && (!deadline || *deadline_ < *deadline)) deadline = deadline_;
    return Cancellation(deadline, interruptCheck_);
}

void Cancellation::checkNow() {
    polls_ = 0;
    const Clock::time_point now = Clock::now();
    if (deadline_ && now >= *deadline_) throw DeadlineExceeded();
    if (interruptCheck_ && now >= nextInterruptCheck_) {
        nextInterruptCheck_ = now + kInterruptCheckInterval;
        interruptCheck_();
    }
}

Cancellation::Clock::time_point deadlineAfter(double seconds) {
    const std::chrono::duration<double> span(std::min(seconds, kLongestSeconds));
    return Cancellation::Clock::now() +
           std::chrono::duration_cast<Cancellation::Clock::duration>(span);
}

CancellationScope::CancellationScope(Cancellation& cancellation) : outer_(current) {
    current = &cancellation;
}

CancellationScope::~CancellationScope() {
    current = outer_;
}

Cancellation* currentCancellation() {
    return current;
}

}  // namespace quarvex
