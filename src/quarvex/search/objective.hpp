#pragma once

// What the search optimises, in this order: the most items placed, then,
// with the objective Cost, the least total price of the opened boxes, then
// the fewest boxes, then the least total inner volume of the opened boxes
// (the air shipped).

#include "quarvex/model/pack_response.hpp"
#include "quarvex/search/problem.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex::search {

struct Score {
    int placed = 0;
    double price = 0.0;  // stays 0 with the objective Boxes, so it never decides
    int boxes = 0;
    double volume = 0.0;
};

Score scoreOf(const Problem& problem, const Solution& solution);
Score scoreOf(const Problem& problem, const PackResponse& response);

// Whether a is strictly better than b.
bool isBetter(const Score& a, const Score& b);

// How the search ranks candidates: the score first, then, among equal
// scores, the load more concentrated in few boxes (the larger sum of squared
// fill shares), which leaves some box nearer to empty and closed.
struct Fitness {
    Score score;
    double concentration = 0.0;
};

Fitness fitnessOf(const Problem& problem, const Solution& solution);
bool isFitter(const Fitness& a, const Fitness& b);

}  // namespace quarvex::search
