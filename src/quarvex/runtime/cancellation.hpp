#pragma once

// How a long call is stopped from outside: a caller installs a Cancellation
// for its thread, and the engine's hot loops poll it. A poll is a counter
// step; the clock is read every few hundred polls and the interrupt check
// runs every few milliseconds, so polling costs next to nothing while a stop
// is still seen within milliseconds. Stopping throws, and everything a call
// builds is owned by the call, so nothing half-made is left behind.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace quarvex {

// Thrown by a poll once the deadline has passed.
class DeadlineExceeded : public std::runtime_error {
public:
    DeadlineExceeded() : std::runtime_error("the time limit ran out before packing finished") {}
};

class Cancellation {
public:
    using Clock = std::chrono::steady_clock;

    // `interruptCheck` may throw to stop the call (the binding's raises
    // KeyboardInterrupt on Ctrl-C); either part may be absent.
    explicit Cancellation(std::optional<Clock::time_point> deadline = std::nullopt,
                          std::function<void()> interruptCheck = {});

    // The same interrupt check, with the earlier of the two deadlines.
    Cancellation narrowed(std::optional<Clock::time_point> deadline) const;

    void poll() {
        if (++polls_ >= kPollsPerClockRead) checkNow();
    }
    void checkNow();

private:
    // A poll comes every few microseconds or less in the packer, so this
    // reads the clock at least every millisecond.
    static constexpr std::uint32_t kPollsPerClockRead = 256;
    static constexpr Clock::duration kInterruptCheckInterval = std::chrono::milliseconds(5);

    std::optional<Clock::time_point> deadline_;
    std::function<void()> interruptCheck_;
    std::uint32_t polls_ = 0;
    Clock::time_point nextInterruptCheck_{};
};

// The time point `seconds` from now; a span beyond a day counts as a day,
// which is as good as no limit and cannot overflow the clock.
Cancellation::Clock::time_point deadlineAfter(double seconds);

// Makes `cancellation` the calling thread's for the scope's lifetime; scopes nest.
class CancellationScope {
public:
    explicit CancellationScope(Cancellation& cancellation);
    ~CancellationScope();
    CancellationScope(const CancellationScope&) = delete;
    CancellationScope& operator=(const CancellationScope&) = delete;

private:
    Cancellation* outer_;
};

// The calling thread's cancellation, or nullptr outside any scope.
Cancellation* currentCancellation();

// What the engine's loops call: a no-op outside any scope.
inline void pollCancellation() {
    if (Cancellation* cancellation = currentCancellation()) cancellation->poll();
}

}  // namespace quarvex
