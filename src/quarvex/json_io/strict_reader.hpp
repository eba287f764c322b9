#pragma once

// The careful reading of a request, asked for by callers who want a mistake
// refused rather than read as a default: unknown keys, rotation names other
// than the three, values of the wrong type, and sizes or weights that are
// negative or not finite. It only checks; the request is then read as usual.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace quarvex {

struct ReadingFault {
    std::string pointer;  // JSON pointer to the faulty value, e.g. "/items/3/AllowedRotation"
    std::string message;  // names the item or box, the key and what was expected
};

// Which entry point reads the request: the default packer does not honour an
// item's MaxLoad, a box's Cost or the "options" of the search, so for it they
// are faults too.
enum class RequestReader { Packer, Search };

// The first fault in a whole request {"items": [...], "boxes": [...], "options": {...}},
// or nothing when it reads cleanly.
std::optional<ReadingFault> strictReadingFault(const nlohmann::json& request, RequestReader reader);

}  // namespace quarvex
