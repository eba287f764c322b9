#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace quarvex {

// A value that two doubles share exactly when the C format "%f" writes them
// alike, found without writing them: memo keys are defined by those texts,
// and formatting is far dearer than comparing.
//
// "%f" writes the sign bit ("-0.000000", "-nan") and the value rounded to
// six decimals, ties to even. Below 2^53 that rounded value is an integer
// count of millionths, computed here exactly; from 2^53 on every double is
// an integer and its own text, so the bits themselves serve; infinities and
// NaNs have one text per sign.
struct FixedKey {
    enum class Kind : std::uint8_t { Millionths, Whole, Infinite, NotANumber };
    Kind kind;
    bool negative;
    unsigned __int128 magnitude;  // millionths, or the bits of a whole value

    friend bool operator==(const FixedKey&, const FixedKey&) = default;
};

inline FixedKey fixedKey(double value) {
    const bool negative = std::signbit(value);
    if (std::isnan(value)) return {FixedKey::Kind::NotANumber, negative, 0};
    if (std::isinf(value)) return {FixedKey::Kind::Infinite, negative, 0};
    const double size = std::fabs(value);
    if (size >= 0x1p53) {
        return {FixedKey::Kind::Whole, negative, std::bit_cast<std::uint64_t>(size)};
    }
    // size = m * 2^e exactly, m < 2^53, so m * 10^6 < 2^73.
    int exponent = 0;
    const double fraction = std::frexp(size, &exponent);  // size = fraction * 2^exponent
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int e = exponent - 53;
    const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * 1'000'000u;
    if (e >= 0) {
        return {FixedKey::Kind::Millionths, negative, scaled << e};  // size < 2^53: no overflow
    }
    const int shift = -e;
    if (shift > 74) return {FixedKey::Kind::Millionths, negative, 0};  // under half a millionth
    unsigned __int128 quotient = scaled >> shift;
    const unsigned __int128 remainder = scaled - (quotient << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (remainder > half || (remainder == half && (quotient & 1) != 0)) ++quotient;
    return {FixedKey::Kind::Millionths, negative, quotient};
}

}  // namespace quarvex
