#include "quarvex/search/search.hpp"

#include <algorithm>
#include <numeric>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/search/bounds.hpp"
#include "quarvex/search/decoder.hpp"
#include "quarvex/search/drop_box.hpp"
#include "quarvex/search/moves.hpp"
#include "quarvex/search/objective.hpp"

namespace quarvex::search {

namespace {

// Population shape, after Goncalves and Resende: a small elite carried over,
// a few fresh random members, the rest children of an elite and another.
constexpr std::size_t kPopulation = 30;
constexpr std::size_t kElite = 5;
constexpr std::size_t kMutants = 5;
// A population that found nothing better for this many generations has
// converged: all but its best member make way for fresh random ones.
constexpr int kStaleGenerations = 40;
// Each converged population widens the search for a box to save by one
// discrepancy, up to this many: beyond it the search costs more than the
// population's own work finds.
constexpr int kMostDiscrepancies = 2;

struct Member {
    Keys keys;
    Fitness fitness;
};

// Orders that good packings often start from: larger, taller, wider first.
std::vector<std::vector<int>> sortedOrders(const Problem& problem) {
    const auto sortedBy = [&](auto measure) {
        std::vector<int> order(problem.items.size());
        std::iota(order.begin(), order.end(), 0);
        stableSort(order, [&](int a, int b) {
            return measure(problem.items[a]) > measure(problem.items[b]);
        });
        return order;
    };
    const auto shape = [](const SearchItem& item) {
        return item.orientations.empty() ? Orientation{0, 0, 0, ""} : item.orientations.front();
    };
    return {
        sortedBy([](const SearchItem& item) { return item.volume; }),
        sortedBy([&](const SearchItem& item) { return shape(item).d; }),
        sortedBy([&](const SearchItem& item) { return shape(item).w * shape(item).l; }),
        sortedBy([&](const SearchItem& item) {
            const Orientation o = shape(item);
            return std::max({o.w, o.l, o.d});
        }),
    };
}

class Search {
public:
    Search(const Problem& problem, Budget& budget, std::uint64_t seed)
        : problem_(problem),
          budget_(budget),
          random_(seed),
          bound_(bestPossible(problem)),
          canDrop_(canDropBoxes(problem)) {}

    Solution run(std::vector<std::vector<int>> orders) {
        std::vector<Member> population = firstGeneration(std::move(orders));
        int stale = 0;
        while (!finished()) {
            stableSort(population, [](const Member& a, const Member& b) {
                return isFitter(a.fitness, b.fitness);
            });
            stale = improved_ ? 0 : stale + 1;
            improved_ = false;
            if (stale >= kStaleGenerations) {
                stale = 0;
                if (discrepancies_ < kMostDiscrepancies) {
                    ++discrepancies_;
                    mergeBest();
                } else {
                    dropBest();
                }
                population.resize(1);
                fillWithRandom(population);
            } else {
                population = nextGeneration(population);
            }
        }
        return *std::move(best_);
    }

private:
    std::vector<Member> firstGeneration(std::vector<std::vector<int>> orders) {
        for (auto& order : sortedOrders(problem_)) orders.push_back(std::move(order));
        // The first order is packed whatever the budget, so there is always an answer.
        Budget unlimited(std::nullopt, std::nullopt);
        Solution first = *packInOrder(problem_, orders.front(), Merit::FarCorner, unlimited);
        std::vector<Member> population{
            {keysOf({orders.front(), Merit::FarCorner}), fitnessOf(problem_, first)}};
        improve(std::move(first));
        for (const Merit merit : {Merit::FarCorner, Merit::LowBackLeft}) {
            for (std::size_t k = merit == Merit::FarCorner ? 1 : 0; k < orders.size(); ++k) {
                if (!add(keysOf({orders[k], merit}), population)) return population;
            }
        }
        fillWithRandom(population);
        return population;
    }

    void fillWithRandom(std::vector<Member>& population) {
        while (population.size() < kPopulation) {
            if (!add(randomKeys(problem_.items.size(), random_), population)) return;
        }
    }

    // Expects a full population, fittest first.
    std::vector<Member> nextGeneration(const std::vector<Member>& population) {
        std::vector<Member> next(population.begin(), population.begin() + kElite);
        for (std::size_t m = 0; m < kMutants; ++m) {
            if (!add(randomKeys(problem_.items.size(), random_), next)) return next;
        }
        while (next.size() < kPopulation) {
            const Member& elite = population[random_.below(kElite)];
            const Member& other = population[kElite + random_.below(kPopulation - kElite)];
            if (!add(crossover(elite.keys, other.keys, random_), next)) return next;
        }
        return next;
    }

    bool finished() const {
        return budget_.exhausted() || (best_ && meets(scoreOf(problem_, *best_), bound_));
    }

    // Packs the keys' order into a new member; false when the search must end.
    bool add(Keys keys, std::vector<Member>& population) {
        if (finished()) return false;
        const Plan plan = planOf(keys);
        std::optional<Solution> solution = packInOrder(problem_, plan.order, plan.merit, budget_);
        if (!solution) return false;
        population.push_back({std::move(keys), fitnessOf(problem_, *solution)});
        improve(std::move(*solution));
        return !finished();
    }

    // The moves are worth their cost only near the best: one box more at most.
    void improve(Solution solution) {
        bool better = keepIfBetter(solution);
        const Score score = scoreOf(problem_, solution);
        const Score best = scoreOf(problem_, *best_);
        if (score.placed < best.placed || score.boxes > best.boxes + 1) return;
        // Both moves leave the solution whole when the budget runs out midway.
        if (emptyWeakBoxes(problem_, solution, budget_)) {
            shrinkBoxes(problem_, solution, budget_);
            splitBoxes(problem_, solution, budget_);
        }
        better = keepIfBetter(solution) || better;
        if (better) mergeBest();
    }

    // The population saves a box only by chance where weight or room is
    // tight; a new best is searched directly for one.
    void mergeBest() {
        Solution solution = *best_;
        bool merged = false;
        while (static_cast<int>(solution.boxes.size()) > bound_.boxes && !budget_.exhausted() &&
               mergeBoxes(problem_, solution, discrepancies_, budget_)) {
            merged = true;
        }
        if (!merged) return;
        shrinkBoxes(problem_, solution, budget_);
        keepIfBetter(solution);
    }

    // The population finds a packing in fewer boxes ever more rarely once it
    // has converged; a search at one box fewer goes on from the best, with
    // as many units as the search has spent so far, so that the longer it
    // has stopped improving, the more of its time goes there.
    void dropBest() {
        if (!canDrop_) return;
        Solution solution = *best_;
        bool dropped = false;
        while (static_cast<int>(solution.boxes.size()) > bound_.boxes && !budget_.exhausted() &&
               dropBox(problem_, solution, budget_.spent(), budget_, random_)) {
            dropped = true;
        }
        if (!dropped) return;
        shrinkBoxes(problem_, solution, budget_);
        keepIfBetter(solution);
    }

    bool keepIfBetter(const Solution& solution) {
        if (!best_ || isBetter(scoreOf(problem_, solution), scoreOf(problem_, *best_))) {
            best_ = solution;
            improved_ = true;
            return true;
        }
        return false;
    }

    const Problem& problem_;
    Budget& budget_;
    Random random_;
    Score bound_;
    std::optional<Solution> best_;
    bool improved_ = false;
    int discrepancies_ = 0;
    bool canDrop_;
};

}  // namespace

Solution searchPackings(const Problem& problem, std::vector<std::vector<int>> startOrders,
                        Budget& budget, std::uint64_t seed) {
    return Search(problem, budget, seed).run(std::move(startOrders));
}

}  // namespace quarvex::search
