#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "quarvex/model/fixed_key.hpp"

namespace quarvex {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(FixedKey, EqualExactlyWhenTheCFormatWritesAlike) {
    auto printed = [](double value) {
        char text[400];
        const int n = std::snprintf(text, sizeof text, "%f", value);
        return std::string(text, static_cast<std::size_t>(n));
    };
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double most = std::numeric_limits<double>::max();
    constexpr double least = std::numeric_limits<double>::denorm_min();
    // Signs, specials, extremes, ties at the sixth decimal (0.0078125 is
    // 7812.5 millionths), and neighbours that print alike or apart.
    std::vector<double> values{0.0,        -0.0,      -1e-7,     1e-7,      inf,       -inf,
                               nan,        -nan,      most,      least,     0.0078125, 0.0234375,
                               -0.0078125, 2.0000001, 2.0000002, 2.0000006, 0x1p53,    0x1p53 - 1,
                               0x1p53 + 2, 1e22,      0.1,       0.3};
    std::mt19937_64 bits(2024);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t pattern = bits();
        double value;
        std::memcpy(&value, &pattern, sizeof value);
        values.push_back(value);
        // Near neighbours: a grid of halves and millionths, nudged by an ulp or so.
        const double near = static_cast<double>(pattern % 4000001) / 2e6 - 1;
        values.push_back(near);
        values.push_back(std::nextafter(near, inf));
        values.push_back(
            std::ldexp(static_cast<double>(pattern >> 11), static_cast<int>(pattern % 90) - 120));
    }
    std::map<std::string, FixedKey> keyOfText;
    std::map<std::tuple<int, bool, std::uint64_t, std::uint64_t>, std::string> textOfKey;
    for (const double value : values) {
        const FixedKey key = fixedKey(value);
        const std::string text = printed(value);
        EXPECT_TRUE(keyOfText.emplace(text, key).first->second == key) << text;
        const auto parts = std::tuple(static_cast<int>(key.kind), key.negative,
                                      static_cast<std::uint64_t>(key.magnitude >> 64),
                                      static_cast<std::uint64_t>(key.magnitude));
        EXPECT_EQ(textOfKey.emplace(parts, text).first->second, text);
    }
}

}  // namespace
}  // namespace quarvex
