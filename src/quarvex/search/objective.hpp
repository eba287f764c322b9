#pragma once

// What the search optimises, in this order: the most items placed, then the
// fewest boxes, then the least total inner volume of the opened boxes (the
// air shipped).

#include "quarvex/model/pack_response.hpp"
#include "quarvex/search/problem.hpp"
#include "quarvex/search/solution.hpp"

namespace quarvex::search {

struct Score {
    int placed = 0;
    int boxes = 0;
    double volume = 0.0;
};

Score scoreOf(const Problem& problem, const Solution& solution);
Score scoreOf(const PackResponse& response);

// Whether a is strictly better than b.
bool isBetter(const Score& a, const Score& b);

// How the search ranks candidates: the score first, then, among equal
// scores, the emptier weakest box, which is the nearer to being closed.
struct Fitness {
    Score score;
    double weakestFill = 0.0;
};

Fitness fitnessOf(const Problem& problem, const Solution& solution);
bool isFitter(const Fitness& a, const Fitness& b);

}  // namespace quarvex::search
