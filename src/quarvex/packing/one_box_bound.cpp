#include "quarvex/packing/one_box_bound.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

// Fekete and Schepers' dual feasible functions u^k: sizes (as fractions of
// the box) that add up to at most 1 still do after the map, so a packing of
// the items is also one of the mapped items, and their mapped volumes add up
// to at most the box's. k = 0 is the identity (the plain volume bound).
double mapped(double fraction, int k) {
    if (k == 0) return fraction;
    const double scaled = (k + 1) * fraction;
    const double whole = std::floor(scaled);
    return scaled == whole ? fraction : whole / k;
}

}  // namespace

std::size_t OneBoxBound::KeyHash::operator()(const std::pair<const Box*, const Item*>& key) const {
    return std::hash<const Box*>{}(key.first) * 1000003u ^ std::hash<const Item*>{}(key.second);
}

OneBoxBound::Part OneBoxBound::partOf(const Item& item, const Box& box) {
    Part part;
    const std::array<double, 3> sides{box.width(), box.length(), box.depth()};
    const std::array<double, 3> sizes{item.width(), item.length(), item.depth()};
    for (int a = 0; a < 3; ++a) {
        if (!(sides[a] > 0.0 && std::isfinite(sides[a]))) return part;
        if (!(sizes[a] >= 0.0 && std::isfinite(sizes[a]))) return part;
    }
    // Each size is taken this much smaller: the functions jump at exact
    // fractions, and positions carry rounding, so a packing the engine
    // builds stays a true packing of the smaller items.
    const double slack = *std::max_element(sides.begin(), sides.end()) * 1e-9;

    part.fit = Fit::NONE;
    for (const Ordering& o : allowedOrderings(item.allowed_rotation())) {
        const std::array<int, 3> size{o.x, o.y, o.z};
        std::array<std::array<double, kFunctions>, 3> along{};
        bool inside = true;
        for (int a = 0; a < 3; ++a) {
            const double fraction = std::max(0.0, sizes[size[a]] - slack) / sides[a];
            inside = inside && fraction <= 1.0;
            for (int k = 0; k < kFunctions; ++k) along[a][k] = mapped(fraction, k);
        }
        if (!inside) continue;
        for (int c = 0; c < kCombinations; ++c) {
            const double volume = along[0][c % kFunctions] * along[1][c / kFunctions % kFunctions] *
                                  along[2][c / (kFunctions * kFunctions)];
            const bool first = part.fit == Fit::NONE;
            part.volume[c] = first ? volume : std::min(part.volume[c], volume);
        }
        part.fit = Fit::SOME_ORIENTATION;
    }
    return part;
}

bool OneBoxBound::exceeds(const std::vector<ItemPtr>& items, const Box& box) {
    std::array<double, kCombinations> total{};
    for (const ItemPtr& item : items) {
        auto [at, added] = parts_.try_emplace({&box, item.get()});
        if (added) at->second = partOf(*item, box);
        const Part& part = at->second;
        if (part.fit == Fit::UNKNOWN) return false;
        if (part.fit == Fit::NONE) return true;  // no allowed orientation fits the box
        for (int c = 0; c < kCombinations; ++c) total[c] += part.volume[c];
    }
    // Combination 0, all identities, is the volume bound, which callers ask first.
    return std::any_of(total.begin() + 1, total.end(), [](double sum) { return sum > 1.0 + 1e-9; });
}

}  // namespace quarvex
