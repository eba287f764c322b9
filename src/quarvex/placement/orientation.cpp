#include "quarvex/placement/orientation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace quarvex {

std::span<const Ordering> allowedOrderings(Rotation rule) {
    static constexpr std::array<Ordering, 6> all{{{0, 1, 2, "WLD"},
                                                  {1, 0, 2, "LWD"},
                                                  {0, 2, 1, "WDL"},
                                                  {1, 2, 0, "LDW"},
                                                  {2, 0, 1, "DWL"},
                                                  {2, 1, 0, "DLW"}}};
    switch (rule) {
        case Rotation::NEVER:
            return std::span(all).first(1);
        case Rotation::KEEP_FLAT:
            return std::span(all).first(2);
        default:
            return all;
    }
}

CandidateList generateOrientations(const Item& item) {
    const std::array<double, 3> sizes{item.width(), item.length(), item.depth()};
    CandidateList list;
    for (const Ordering& ordering : allowedOrderings(item.allowed_rotation())) {
        list.push_back(orient(item, sizes, ordering));
    }
    return list;
}

namespace {

bool equalShapes(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// Truncates toward zero into int64, saturating; NaN counts as 0.
std::int64_t truncatedQuotient(double numerator, double denominator) {
    const double q = std::trunc(numerator / denominator);
    if (std::isnan(q)) return 0;
    constexpr double limit = 9223372036854775808.0;  // 2^63
    if (q >= limit) return std::numeric_limits<std::int64_t>::max();
    if (q < -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(q);
}

std::int64_t saturatingProduct(std::int64_t a, std::int64_t b) {
    std::int64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        return (a < 0) != (b < 0) ? std::numeric_limits<std::int64_t>::min()
                                  : std::numeric_limits<std::int64_t>::max();
    }
    return product;
}

}  // namespace

bool sameShape(const Item& a, const Item& b) {
    return &a == &b || equalShapes(sortedDimensions(a), sortedDimensions(b));
}

bool sameShape(const OrientedItem& a, const Item& b) {
    // A candidate is an ordering of its own item, so the item's sorted sizes are its own.
    return a.item == &b || equalShapes(sortedDimensions(*a.item), sortedDimensions(b));
}

bool isStableOrientation(const OrientedItem& candidate) {
    const double base = std::min(candidate.w, candidate.l);
    const double height = candidate.d == 0.0 ? 1.0 : candidate.d;
    const double ratio = base / height;
    // tan(0.261) = 0.26709...: ratios clearly on either side need no arc tangent.
    if (ratio > 0.2672) return true;
    if (ratio < 0.2670) return false;
    return std::atan(ratio) > 0.261;
}

std::int64_t gridCount(double W, double L, double D, double w, double l, double d) {
    if (w <= 0.0 || l <= 0.0 || d <= 0.0) {
        return 0;
    }
    return saturatingProduct(saturatingProduct(truncatedQuotient(W, w), truncatedQuotient(L, l)),
                             truncatedQuotient(D, d));
}

}  // namespace quarvex
