#include "quarvex/packing/load_sharing.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace quarvex {

namespace {

double overlap(double aStart, double aSize, double bStart, double bSize) {
    return std::min(aStart + aSize, bStart + bSize) - std::max(aStart, bStart);
}

}  // namespace

double restingArea(const Cuboid& upper, const Cuboid& lower, double tolerance) {
    if (std::abs(lower.z + lower.d - upper.z) > tolerance) return 0.0;
    const double dx = overlap(upper.x, upper.w, lower.x, lower.w);
    const double dy = overlap(upper.y, upper.l, lower.y, lower.l);
    return dx > 0.0 && dy > 0.0 ? dx * dy : 0.0;
}

std::vector<double> carriedLoads(const std::vector<Cuboid>& blocks,
                                 const std::vector<double>& weights) {
    // Tops from the highest down, so each load is complete before it is passed on.
    std::vector<std::size_t> order(blocks.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Cuboid& p = blocks[a];
        const Cuboid& q = blocks[b];
        if (p.z + p.d != q.z + q.d) return p.z + p.d > q.z + q.d;
        if (p.z != q.z) return p.z > q.z;
        return a > b;
    });
    std::vector<double> loads(blocks.size(), 0.0);
    std::vector<std::pair<std::size_t, double>> areas;
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const std::size_t k = order[rank];
        const Cuboid& upper = blocks[k];
        const double tolerance = 1e-9 * std::max(1.0, upper.z);
        if (upper.z <= tolerance) continue;
        areas.clear();
        double contact = 0.0;
        for (std::size_t below = rank + 1; below < order.size(); ++below) {
            const double area = restingArea(upper, blocks[order[below]], tolerance);
            if (area > 0.0) {
                areas.emplace_back(order[below], area);
                contact += area;
            }
        }
        for (const auto& [j, area] : areas) loads[j] += (weights[k] + loads[k]) * area / contact;
    }
    return loads;
}

}  // namespace quarvex
