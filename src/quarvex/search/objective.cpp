#include "quarvex/search/objective.hpp"

#include <algorithm>

namespace quarvex::search {

Score scoreOf(const Problem& problem, const Solution& solution) {
    Score score;
    for (const SearchBox& box : solution.boxes) {
        score.placed += static_cast<int>(box.placements().size());
        score.volume += problem.types[box.type()].volume;
        if (problem.objective == Objective::Cost) score.price += problem.types[box.type()].cost;
    }
    score.boxes = static_cast<int>(solution.boxes.size());
    return score;
}

Score scoreOf(const Problem& problem, const PackResponse& response) {
    Score score;
    for (const PackedBox& box : response.packedBoxCollection().entries()) {
        score.placed += static_cast<int>(box.items.size());
        score.volume += box.inner_volume();
        if (problem.objective == Objective::Cost) score.price += box.box->cost().value_or(0.0);
    }
    score.boxes = static_cast<int>(response.packedBoxCollection().size());
    return score;
}

bool isBetter(const Score& a, const Score& b) {
    if (a.placed != b.placed) return a.placed > b.placed;
    // The same boxes summed in another order may differ in the last bits.
    if (a.price < b.price * (1.0 - 1e-12)) return true;
    if (b.price < a.price * (1.0 - 1e-12)) return false;
    if (a.boxes != b.boxes) return a.boxes < b.boxes;
    return a.volume < b.volume * (1.0 - 1e-12);
}

Fitness fitnessOf(const Problem& problem, const Solution& solution) {
    Fitness fitness{scoreOf(problem, solution), 0.0};
    for (const SearchBox& box : solution.boxes) {
        fitness.concentration += box.fill() * box.fill();
    }
    return fitness;
}

bool isFitter(const Fitness& a, const Fitness& b) {
    if (isBetter(a.score, b.score)) return true;
    if (isBetter(b.score, a.score)) return false;
    return a.concentration > b.concentration;
}

}  // namespace quarvex::search
