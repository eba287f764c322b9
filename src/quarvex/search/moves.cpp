#include "quarvex/search/moves.hpp"

#include <algorithm>
#include <numeric>
#include <optional>
#include <utility>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/search/decoder.hpp"

namespace quarvex::search {

namespace {

// The share of keys a child inherits from its elite parent.
constexpr double kEliteBias = 0.7;

std::vector<int> itemsOf(const SearchBox& box) {
    std::vector<int> items;
    for (const Placement& p : box.placements()) items.push_back(p.item);
    return items;
}

std::vector<int> largestFirst(const Problem& problem, std::vector<int> items) {
    stableSort(items,
               [&](int a, int b) { return problem.items[a].volume > problem.items[b].volume; });
    return items;
}

// The items packed into one fresh box of the type, each order tried in turn;
// empty when none fits them all or the budget ran out.
std::optional<SearchBox> packAlone(const Problem& problem, int type,
                                   const std::vector<std::vector<int>>& orders, Budget& budget) {
    for (const std::vector<int>& order : orders) {
        SearchBox box(problem, type);
        bool all = true;
        for (const int item : order) {
            if (!budget.spend()) return std::nullopt;
            if (!(all = box.place(item))) break;
        }
        if (all) return box;
    }
    return std::nullopt;
}

// The boxes other than `skipped`, holding the items too, or empty.
std::optional<std::vector<SearchBox>> placeElsewhere(const Problem& problem,
                                                     const Solution& solution, std::size_t skipped,
                                                     Budget& budget) {
    std::vector<SearchBox> others;
    for (std::size_t b = 0; b < solution.boxes.size(); ++b) {
        if (b != skipped) others.push_back(solution.boxes[b]);
    }
    for (const int item : largestFirst(problem, itemsOf(solution.boxes[skipped]))) {
        bool placed = false;
        for (SearchBox& box : others) {
            if (!budget.spend()) return std::nullopt;
            if ((placed = box.place(item))) break;
        }
        if (!placed) return std::nullopt;
    }
    return others;
}

// Whether a box of type a is better than one of type b, by the objective.
bool isCheaper(const Problem& problem, const BoxType& a, const BoxType& b) {
    if (problem.objective == Objective::Cost && a.cost != b.cost) return a.cost < b.cost;
    return a.volume < b.volume;
}

// The type indices, best by the objective first.
std::vector<int> cheaperFirst(const Problem& problem) {
    // Types are largest first: from the smallest up they are best first.
    std::vector<int> types(problem.types.size());
    std::iota(types.rbegin(), types.rend(), 0);
    stableSort(types, [&](int a, int b) {
        return isCheaper(problem, problem.types[a], problem.types[b]);
    });
    return types;
}

}  // namespace

Keys randomKeys(std::size_t items, Random& random) {
    Keys keys(items + 1);
    for (double& key : keys) key = random.uniform();
    return keys;
}

Keys keysOf(const Plan& plan) {
    const std::size_t items = plan.order.size();
    Keys keys(items + 1);
    for (std::size_t rank = 0; rank < items; ++rank) {
        keys[plan.order[rank]] = static_cast<double>(rank) / static_cast<double>(items);
    }
    keys.back() = plan.merit == Merit::FarCorner ? 0.25 : 0.75;
    return keys;
}

Keys crossover(const Keys& elite, const Keys& other, Random& random) {
    Keys child(elite.size());
    for (std::size_t i = 0; i < child.size(); ++i) {
        child[i] = random.uniform() < kEliteBias ? elite[i] : other[i];
    }
    return child;
}

Plan planOf(const Keys& keys) {
    std::vector<int> order(keys.size() - 1);
    std::iota(order.begin(), order.end(), 0);
    // Stable, so equal keys keep the item order and every platform agrees.
    stableSort(order, [&](int a, int b) { return keys[a] < keys[b]; });
    return {std::move(order), keys.back() < 0.5 ? Merit::FarCorner : Merit::LowBackLeft};
}

bool emptyWeakBoxes(const Problem& problem, Solution& solution, Budget& budget) {
    bool emptied = true;
    while (emptied && solution.boxes.size() > 1) {
        emptied = false;
        std::vector<std::size_t> weakestFirst(solution.boxes.size());
        std::iota(weakestFirst.begin(), weakestFirst.end(), std::size_t{0});
        stableSort(weakestFirst, [&](std::size_t a, std::size_t b) {
            return solution.boxes[a].fill() < solution.boxes[b].fill();
        });
        for (const std::size_t weak : weakestFirst) {
            if (budget.exhausted()) return false;
            if (auto others = placeElsewhere(problem, solution, weak, budget)) {
                solution.boxes = std::move(*others);
                emptied = true;
                break;
            }
        }
    }
    return !budget.exhausted();
}

void shrinkBoxes(const Problem& problem, Solution& solution, Budget& budget) {
    std::vector<std::int32_t> opened = boxesOpened(problem, solution);
    const std::vector<int> candidates = cheaperFirst(problem);
    for (SearchBox& box : solution.boxes) {
        const BoxType& current = problem.types[box.type()];
        const std::vector<int> items = itemsOf(box);
        const std::vector<std::vector<int>> orders{items, largestFirst(problem, items)};
        --opened[current.supplyKey];
        for (const int t : candidates) {
            const BoxType& type = problem.types[t];
            if (!isCheaper(problem, type, current)) break;
            if (type.volume < box.contentVolume() * (1.0 - 1e-9) || !hasSupply(type, opened)) {
                continue;
            }
            if (auto smaller = packAlone(problem, t, orders, budget)) {
                box = std::move(*smaller);
                break;
            }
            if (budget.exhausted()) return;
        }
        ++opened[problem.types[box.type()].supplyKey];
    }
}

namespace {

// The items packed into fresh boxes of the types a and b, a filled first;
// empty when some item fits neither or the budget ran out.
std::optional<std::pair<SearchBox, SearchBox>> packPair(const Problem& problem, int a, int b,
                                                        const std::vector<int>& items,
                                                        Budget& budget) {
    std::pair<SearchBox, SearchBox> pair{SearchBox(problem, a), SearchBox(problem, b)};
    for (const int item : items) {
        if (!budget.spend()) return std::nullopt;
        if (pair.first.place(item)) continue;
        if (!budget.spend() || !pair.second.place(item)) return std::nullopt;
    }
    return pair;
}

}  // namespace

void splitBoxes(const Problem& problem, Solution& solution, Budget& budget) {
    if (problem.objective != Objective::Cost) return;
    const int types = static_cast<int>(problem.types.size());
    std::vector<std::pair<int, int>> pairs;
    for (int a = 0; a < types; ++a) {
        for (int b = 0; b < types; ++b) pairs.emplace_back(a, b);
    }
    const auto priceOf = [&](const std::pair<int, int>& p) {
        return problem.types[p.first].cost + problem.types[p.second].cost;
    };
    stableSort(pairs, [&](const auto& p, const auto& q) { return priceOf(p) < priceOf(q); });
    std::vector<std::int32_t> opened = boxesOpened(problem, solution);
    std::vector<SearchBox> added;
    for (SearchBox& box : solution.boxes) {
        const BoxType& current = problem.types[box.type()];
        const std::vector<int> items = largestFirst(problem, itemsOf(box));
        --opened[current.supplyKey];
        for (const auto& [a, b] : pairs) {
            const BoxType& first = problem.types[a];
            const BoxType& second = problem.types[b];
            if (priceOf({a, b}) >= current.cost) break;
            if (first.volume + second.volume < box.contentVolume() * (1.0 - 1e-9) ||
                !hasSupply(first, opened)) {
                continue;
            }
            ++opened[first.supplyKey];
            const bool supplied = hasSupply(second, opened);
            --opened[first.supplyKey];
            if (!supplied) continue;
            auto pair = packPair(problem, a, b, items, budget);
            if (budget.exhausted()) break;
            if (!pair) continue;
            box = std::move(pair->first);
            if (!pair->second.placements().empty()) {
                ++opened[second.supplyKey];
                added.push_back(std::move(pair->second));
            }
            break;
        }
        ++opened[problem.types[box.type()].supplyKey];
        if (budget.exhausted()) break;
    }
    for (SearchBox& box : added) solution.boxes.push_back(std::move(box));
}

}  // namespace quarvex::search
