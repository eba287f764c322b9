#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "quarvex/model/field_fault.hpp"

namespace quarvex {

// The rule for an item's MaxLoad and a box's Cost: absent, or a number of at
// least 0. Throws FieldFault (a std::invalid_argument) naming the owner ("item 'mug'") and
// the key otherwise.
inline void checkPhysicalLimit(const std::optional<double>& value, const std::string& owner,
                               const char* key) {
    if (!value || *value >= 0.0) return;
    char number[32];
    std::snprintf(number, sizeof number, "%g", *value);
    throw FieldFault(owner + ": " + key + " must be a number of at least 0, got " + number, key);
}

}  // namespace quarvex
