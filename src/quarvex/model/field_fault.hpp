#pragma once

#include <stdexcept>
#include <string>

namespace quarvex {

// A value a request may not hold, with the request key of its field, so that
// a caller can point at it; still a std::invalid_argument to everyone else.
class FieldFault : public std::invalid_argument {
public:
    FieldFault(const std::string& message, const char* field)
        : std::invalid_argument(message), field_(field) {}
    const char* field() const noexcept { return field_; }

private:
    const char* field_;  // a string literal
};

}  // namespace quarvex
