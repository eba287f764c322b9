#pragma once

#include <optional>

#include "quarvex/runtime/cancellation.hpp"

namespace quarvex {

// Makes the engine work of one call from Python stoppable for its lifetime:
// Ctrl-C raises KeyboardInterrupt, and a time limit, if given, raises
// quarvex.TimeoutError once it has passed. Works with or without the
// interpreter lock held.
class InterruptibleCall {
public:
    // Refuses a time limit that is not a finite number of seconds of at least 0.
    explicit InterruptibleCall(std::optional<double> timeLimit = std::nullopt);

private:
    Cancellation cancellation_;
    CancellationScope scope_;
};

}  // namespace quarvex
