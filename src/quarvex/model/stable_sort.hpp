#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace quarvex {

// Stable insertion sort of values[begin, end); a value moves back only past
// entries it is strictly before.
template <class Container, class Before>
void insertionSort(Container& values, std::size_t begin, std::size_t end, Before& before) {
    for (std::size_t i = begin + 1; i < end; ++i) {
        if (!before(values[i], values[i - 1])) {
            continue;
        }
        auto value = std::move(values[i]);
        std::size_t j = i;
        do {
            values[j] = std::move(values[j - 1]);
            --j;
        } while (j > begin && before(value, values[j - 1]));
        values[j] = std::move(value);
    }
}

// The one sort of the engine. Insertion sort up to 32 entries (the order the
// engine's results are defined by), merges of such runs above that. Stable,
// and memory-safe even when `before` is not a strict weak ordering (NaN
// figures make some comparators answer "no" in both directions).
template <class T, class Before>
void stableSort(std::vector<T>& values, Before before) {
    constexpr std::size_t run = 32;
    const std::size_t n = values.size();
    for (std::size_t begin = 0; begin < n; begin += run) {
        insertionSort(values, begin, std::min(n, begin + run), before);
    }
    if (n <= run) {
        return;
    }
    std::vector<T> buffer;
    buffer.reserve(n);
    for (std::size_t width = run; width < n; width *= 2) {
        buffer.clear();
        for (std::size_t left = 0; left < n; left += 2 * width) {
            const std::size_t mid = std::min(n, left + width);
            const std::size_t end = std::min(n, left + 2 * width);
            std::size_t a = left;
            std::size_t b = mid;
            while (a < mid && b < end) {
                // Take from the right only when strictly before: keeps equal entries in order.
                if (before(values[b], values[a])) {
                    buffer.push_back(std::move(values[b++]));
                } else {
                    buffer.push_back(std::move(values[a++]));
                }
            }
            while (a < mid) buffer.push_back(std::move(values[a++]));
            while (b < end) buffer.push_back(std::move(values[b++]));
        }
        values.swap(buffer);
    }
}

}  // namespace quarvex
