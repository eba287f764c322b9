#include "quarvex/search/bounds.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "quarvex/packing/fit_rules.hpp"

namespace quarvex::search {

namespace {

// Quotients this close below a whole number are taken as that number.
constexpr double kRounding = 1e-9;

int ceilQuotient(double numerator, double denominator) {
    return static_cast<int>(std::ceil(numerator / denominator - kRounding));
}

// L1 of Martello, Pisinger and Vigo for one pair of axes (a, b): items longer
// than half the box along both lie in a column along the third axis c, so
// they form a one-dimensional problem along c.
int columnBound(const std::vector<std::array<double, 3>>& sizes, const std::array<double, 3>& box,
                int a, int b, int c) {
    std::vector<double> column;
    for (const auto& s : sizes) {
        if (s[a] > box[a] / 2 && s[b] > box[b] / 2) column.push_back(s[c]);
    }
    const double height = box[c];
    const auto tall =
        std::count_if(column.begin(), column.end(), [&](double h) { return h > height / 2; });
    int best = static_cast<int>(tall);
    for (const double p : column) {
        if (p > height / 2) continue;
        // Items no taller than half the box, but at least p, need the room left above
        // the items taller than half that stay below height - p.
        double shortSum = 0.0;
        double room = 0.0;
        for (const double h : column) {
            if (h >= p && h <= height / 2) shortSum += h;
            if (h > height / 2 && h <= height - p) room += height - h;
        }
        best = std::max(
            best, static_cast<int>(tall) + std::max(0, ceilQuotient(shortSum - room, height)));
    }
    return best;
}

// Item volumes against the largest box and item weights against the largest
// limit: every box is at most that large, so the bound holds for any mix of types.
int oneDimensionalBound(const Problem& problem, double volumeCapacity, double weightCapacity) {
    std::vector<double> volumes;
    std::vector<double> weights;
    for (const SearchItem& item : problem.items) {
        if (item.orientations.empty()) continue;
        volumes.push_back(item.volume);
        weights.push_back(item.weight);
    }
    int boxes = volumeCapacity > 0.0 ? binPackingBound(volumes, volumeCapacity) : 0;
    if (weightCapacity > 0.0) boxes = std::max(boxes, binPackingBound(weights, weightCapacity));
    return boxes;
}

int martelloPisingerVigoL1(const Problem& problem) {
    const BoxType& type = problem.types.front();
    const std::array<double, 3> box{type.width, type.length, type.depth};
    std::vector<std::array<double, 3>> sizes;
    for (const SearchItem& item : problem.items) {
        if (item.orientations.size() > 1) return 0;  // the bound needs fixed orientations
        if (item.orientations.empty()) continue;
        const Orientation& o = item.orientations.front();
        sizes.push_back({o.w, o.l, o.d});
    }
    if (box[0] <= 0.0 || box[1] <= 0.0 || box[2] <= 0.0) return 0;
    return std::max({columnBound(sizes, box, 0, 1, 2), columnBound(sizes, box, 0, 2, 1),
                     columnBound(sizes, box, 1, 2, 0)});
}

bool takesAllAlone(const BoxType& type, const Problem& problem, double volume, double weight) {
    if (type.volume < volume * (1.0 - kRounding)) return false;
    if (!withinContentLimit(weight, type.capacity)) return false;
    return std::all_of(problem.items.begin(), problem.items.end(), [&](const SearchItem& item) {
        return item.orientations.empty() ||
               std::any_of(item.orientations.begin(), item.orientations.end(),
                           [&](const Orientation& o) {
                               return o.w <= type.width && o.l <= type.length && o.d <= type.depth;
                           });
    });
}

// No packing pays less than its box count at the cheapest price, nor less
// than its items' volume at the cheapest price per volume.
double lowestPrice(const Problem& problem, double itemVolume, int boxes) {
    double cheapest = problem.types.front().cost;
    double cheapestPerVolume = std::numeric_limits<double>::infinity();
    for (const BoxType& type : problem.types) {
        cheapest = std::min(cheapest, type.cost);
        if (type.volume > 0.0)
            cheapestPerVolume = std::min(cheapestPerVolume, type.cost / type.volume);
    }
    const double byVolume = std::isfinite(cheapestPerVolume) ? itemVolume * cheapestPerVolume : 0.0;
    return std::max(boxes * cheapest, byVolume * (1.0 - kRounding));
}

}  // namespace

Score bestPossible(const Problem& problem) {
    Score bound;
    double volume = 0.0;
    double weight = 0.0;
    bool weightsUsable = true;
    std::set<int> groups;
    for (const SearchItem& item : problem.items) {
        if (item.orientations.empty()) continue;
        ++bound.placed;
        volume += item.volume;
        weight += item.weight;
        weightsUsable = weightsUsable && std::isfinite(item.weight) && item.weight >= 0.0;
        if (item.group >= 0) groups.insert(item.group);
    }
    if (bound.placed == 0) return bound;

    double largestVolume = 0.0;
    double largestCapacity = 0.0;
    double smallestVolume = problem.types.front().volume;
    for (const BoxType& type : problem.types) {
        largestVolume = std::max(largestVolume, type.volume);
        smallestVolume = std::min(smallestVolume, type.volume);
        largestCapacity = type.capacity < 0.0 || largestCapacity < 0.0
                              ? -1.0
                              : std::max(largestCapacity, type.capacity);
    }
    int boxes = std::max(1, static_cast<int>(groups.size()));
    boxes = std::max(
        boxes, oneDimensionalBound(problem, largestVolume, weightsUsable ? largestCapacity : -1.0));
    if (problem.types.size() == 1) boxes = std::max(boxes, martelloPisingerVigoL1(problem));

    double oneBoxVolume = -1.0;
    if (boxes == 1) {
        for (const BoxType& type : problem.types) {
            if (takesAllAlone(type, problem, volume, weight)) {
                oneBoxVolume =
                    oneBoxVolume < 0.0 ? type.volume : std::min(oneBoxVolume, type.volume);
            }
        }
        if (oneBoxVolume < 0.0) boxes = 2;
    }
    bound.boxes = boxes;
    bound.volume = boxes == 1 ? oneBoxVolume : std::max(volume, boxes * smallestVolume);
    if (problem.objective == Objective::Cost) bound.price = lowestPrice(problem, volume, boxes);
    return bound;
}

int binPackingBound(const std::vector<double>& sizes, double capacity) {
    const double half = capacity / 2;
    int large = 0;  // items above half the capacity never share a bin
    for (const double s : sizes) large += s > half;
    int best = large;
    std::vector<double> thresholds = sizes;
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());
    for (const double a : thresholds) {
        if (a > half) break;
        // The items in [a, half] fit only in the room that the large items
        // leave, in the bins of those no larger than capacity - a, or in new bins.
        double room = 0.0;
        double middle = 0.0;
        for (const double s : sizes) {
            if (s > half && s <= capacity - a) room += capacity - s;
            if (s >= a && s <= half) middle += s;
        }
        best = std::max(best, large + std::max(0, ceilQuotient(middle - room, capacity)));
    }
    return best;
}

bool meets(const Score& score, const Score& bound) {
    return score.placed >= bound.placed && score.price <= bound.price * (1.0 + 1e-12) &&
           score.boxes <= bound.boxes && score.volume <= bound.volume * (1.0 + 1e-12);
}

}  // namespace quarvex::search
