#pragma once

// The exceptions quarvex throws besides the standard library's own.

#include <stdexcept>
#include <string>
#include <utility>

namespace quarvex {

// A request that cannot be read as given. what() is the same message the
// Python package gives for the fault; pointer() says where it lies, as a JSON
// pointer: the field ("/items/2/Width"), the element when the element itself
// is wrong ("/items/2"), or "" when the text is not JSON at all. A request
// built in code is pointed into as if it were written as JSON.
class RequestError : public std::invalid_argument {
public:
    RequestError(const std::string& message, std::string pointer)
        : std::invalid_argument(message), pointer_(std::move(pointer)) {}

    const std::string& pointer() const noexcept { return pointer_; }

private:
    std::string pointer_;
};

// A call's time limit ran out before its packing was finished.
class TimeoutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace quarvex
