#pragma once

#include <charconv>
#include <string>

namespace quarvex {

// Appends the value as the C format "%f" writes it (six decimals, no
// exponent; "inf", "-nan" and the like as the C library spells them).
// std::to_chars in fixed notation gives the same text at a fraction of the
// cost, which matters because memo keys and working volumes are named this way.
inline void appendFixed(std::string& text, double value) {
    // The largest double takes 309 digits before the point.
    char buffer[330];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value,
                                   std::chars_format::fixed, 6).ptr;
    text.append(buffer, end);
}

}  // namespace quarvex
