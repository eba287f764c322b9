#include "quarvex/search/moves.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/search/decoder.hpp"

namespace quarvex::search {

namespace {

// Weights are split on a grid of this many steps per box limit: exact for
// weights on a coarser grid, such as grams against kilograms.
constexpr int kWeightSteps = 8192;
// Groups of three are drawn from this many of the emptiest boxes only.
constexpr std::size_t kTripleCandidates = 8;
// The search below keeps a copy of a box per item on its path: groups of
// more items are left alone, which keeps its memory small.
constexpr std::size_t kMostItems = 200;

std::vector<int> contentsOf(const Solution& solution, const std::vector<std::size_t>& group) {
    std::vector<int> items;
    for (const std::size_t b : group) {
        for (const Placement& p : solution.boxes[b].placements()) items.push_back(p.item);
    }
    return items;
}

std::vector<int> sortedBy(const Problem& problem, std::vector<int> items, bool byWeight) {
    stableSort(items, [&](int a, int b) {
        const SearchItem& x = problem.items[a];
        const SearchItem& y = problem.items[b];
        return byWeight ? x.weight > y.weight : x.volume > y.volume;
    });
    return items;
}

// Places items[next..] in the targets by depth-first search: each item tries
// the boxes in turn, and taking a later box than the first that fits costs
// one of the discrepancies allowed. Targets keep their contents on success.
bool assign(std::vector<SearchBox>& targets, const std::vector<int>& items, std::size_t next,
            int discrepancies, Budget& budget) {
    if (next == items.size()) return true;
    int cost = 0;
    for (std::size_t t = 0; t < targets.size() && cost <= discrepancies; ++t) {
        // An empty box like an earlier empty one would only repeat its search.
        const bool twin =
            targets[t].placements().empty() &&
            std::any_of(targets.begin(), targets.begin() + t, [&](const SearchBox& o) {
                return o.placements().empty() && o.type() == targets[t].type();
            });
        if (twin) continue;
        if (!budget.spend()) return false;
        SearchBox tried = targets[t];
        if (!tried.place(items[next])) continue;
        std::swap(targets[t], tried);
        if (assign(targets, items, next + 1, discrepancies - cost, budget)) return true;
        std::swap(targets[t], tried);
        if (budget.exhausted()) return false;
        ++cost;
    }
    return false;
}

// The subset of the items whose weight, at most the capacity, is nearest the
// aim, found by subset sums on a fine grid that keeps each step's lightest
// exact sum.
std::vector<int> subsetNear(const Problem& problem, const std::vector<int>& items, double aim,
                            double capacity) {
    if (!(capacity > 0.0)) return {};
    const double step = capacity / kWeightSteps;
    std::vector<double> sum(kWeightSteps + 1, -1.0);
    // from[k][s]: the step that item k was added to, to reach step s; -1 when it was not.
    std::vector<std::vector<int>> from(items.size(), std::vector<int>(kWeightSteps + 1, -1));
    sum[0] = 0.0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        const double weight = problem.items[items[k]].weight;
        if (!(weight > 0.0)) continue;  // weightless items go wherever there is room
        for (int s = kWeightSteps; s >= 0; --s) {
            if (sum[s] < 0.0 || !(sum[s] + weight <= capacity)) continue;
            const double reached = sum[s] + weight;
            const int target = std::min(kWeightSteps, static_cast<int>(reached / step));
            if (target > s && (sum[target] < 0.0 || reached < sum[target])) {
                sum[target] = reached;
                from[k][target] = s;
            }
        }
    }
    int s = 0;
    for (int t = 1; t <= kWeightSteps; ++t) {
        if (sum[t] >= 0.0 && std::abs(sum[t] - aim) < std::abs(sum[s] - aim)) s = t;
    }
    std::vector<int> chosen;
    for (std::size_t k = items.size(); k-- > 0;) {
        if (from[k][s] < 0) continue;
        chosen.push_back(items[k]);
        s = from[k][s];
    }
    return chosen;
}

// Two boxes' worth of items split by weight, the first part's weight in the
// middle of what leaves both parts within their limits (so rounding in the
// sums breaks neither), then each part packed alone; empty when a part does
// not fit.
std::optional<std::vector<SearchBox>> splitByWeight(const Problem& problem, std::vector<int> items,
                                                    const std::vector<SearchBox>& empty,
                                                    Budget& budget) {
    const double first = problem.types[empty[0].type()].capacity;
    const double second = problem.types[empty[1].type()].capacity;
    double weight = 0.0;
    for (const int item : items) weight += problem.items[item].weight;
    const std::vector<int> part = subsetNear(problem, items, (first + weight - second) / 2, first);
    std::erase_if(
        items, [&](int item) { return std::find(part.begin(), part.end(), item) != part.end(); });
    std::vector<SearchBox> targets;
    for (const auto& [box, contents] : {std::pair{empty[0], part}, std::pair{empty[1], items}}) {
        targets.push_back(box);
        for (const int item : sortedBy(problem, contents, false)) {
            if (!budget.spend() || !targets.back().place(item)) return std::nullopt;
        }
    }
    return targets;
}

// k - 1 empty boxes of the largest types the supply allows once the group is
// gone; empty when the supply runs out.
std::optional<std::vector<SearchBox>> emptyTargets(const Problem& problem, const Solution& solution,
                                                   const std::vector<std::size_t>& group) {
    std::vector<std::int32_t> opened = boxesOpened(problem, solution);
    for (const std::size_t b : group) --opened[problem.types[solution.boxes[b].type()].supplyKey];
    std::vector<SearchBox> targets;
    while (targets.size() + 1 < group.size()) {
        int type = 0;
        while (type < static_cast<int>(problem.types.size()) &&
               !hasSupply(problem.types[type], opened)) {
            ++type;
        }
        if (type == static_cast<int>(problem.types.size())) return std::nullopt;
        ++opened[problem.types[type].supplyKey];
        targets.emplace_back(problem, type);
    }
    return targets;
}

bool weightBinds(const Problem& problem, const std::vector<int>& items,
                 const std::vector<SearchBox>& targets) {
    double weight = 0.0;
    double capacity = 0.0;
    for (const int item : items) weight += problem.items[item].weight;
    for (const SearchBox& box : targets) {
        const double limit = problem.types[box.type()].capacity;
        if (limit < 0.0) return false;
        capacity += limit;
    }
    return std::isfinite(weight) && weight > 0.9 * capacity;
}

std::optional<std::vector<SearchBox>> repack(const Problem& problem, const std::vector<int>& items,
                                             const std::vector<SearchBox>& empty, int discrepancies,
                                             Budget& budget) {
    double volume = 0.0;
    double room = 0.0;
    for (const int item : items) volume += problem.items[item].volume;
    for (const SearchBox& box : empty) room += problem.types[box.type()].volume;
    if (volume > room * (1.0 + 1e-9)) return std::nullopt;
    const bool binds = weightBinds(problem, items, empty);
    if (binds && empty.size() == 2) {
        if (auto split = splitByWeight(problem, items, empty, budget)) return split;
    }
    for (const bool byWeight : {binds, !binds}) {
        std::vector<SearchBox> targets = empty;
        if (assign(targets, sortedBy(problem, items, byWeight), 0, discrepancies, budget)) {
            return targets;
        }
        if (budget.exhausted()) return std::nullopt;
    }
    return std::nullopt;
}

// Groups of k boxes, the emptiest first.
std::vector<std::vector<std::size_t>> groupsOf(const Solution& solution, std::size_t k) {
    std::vector<std::size_t> emptiest(solution.boxes.size());
    std::iota(emptiest.begin(), emptiest.end(), std::size_t{0});
    stableSort(emptiest, [&](std::size_t a, std::size_t b) {
        return solution.boxes[a].fill() < solution.boxes[b].fill();
    });
    if (k == 3 && emptiest.size() > kTripleCandidates) emptiest.resize(kTripleCandidates);
    std::vector<std::vector<std::size_t>> groups;
    const std::size_t n = emptiest.size();
    for (std::size_t a = 0; a < n; ++a) {
        for (std::size_t b = a + 1; b < n; ++b) {
            if (k == 2) {
                groups.push_back({emptiest[a], emptiest[b]});
                continue;
            }
            for (std::size_t c = b + 1; c < n; ++c) {
                groups.push_back({emptiest[a], emptiest[b], emptiest[c]});
            }
        }
    }
    return groups;
}

}  // namespace

bool mergeBoxes(const Problem& problem, Solution& solution, int discrepancies, Budget& budget) {
    for (const std::size_t k : {std::size_t{2}, std::size_t{3}}) {
        if (solution.boxes.size() < k) return false;
        for (std::vector<std::size_t>& group : groupsOf(solution, k)) {
            if (budget.exhausted()) return false;
            const std::vector<int> items = contentsOf(solution, group);
            std::optional<std::vector<SearchBox>> empty = emptyTargets(problem, solution, group);
            if (!empty || items.size() > kMostItems) continue;
            auto merged = repack(problem, items, *empty, discrepancies, budget);
            if (!merged) continue;
            std::sort(group.begin(), group.end());
            for (std::size_t g = group.size(); g-- > 0;) {
                solution.boxes.erase(solution.boxes.begin() +
                                     static_cast<std::ptrdiff_t>(group[g]));
            }
            for (SearchBox& box : *merged) solution.boxes.push_back(std::move(box));
            return true;
        }
    }
    return false;
}

}  // namespace quarvex::search
