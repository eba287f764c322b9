#include "quarvex/search/decoder.hpp"

namespace quarvex::search {

std::vector<std::int32_t> boxesOpened(const Problem& problem, const Solution& solution) {
    std::vector<std::int32_t> opened(problem.supplyKeys, 0);
    for (const SearchBox& box : solution.boxes) {
        ++opened[problem.types[box.type()].supplyKey];
    }
    return opened;
}

bool hasSupply(const BoxType& type, const std::vector<std::int32_t>& opened) {
    return type.maxQuantity < 0 || opened[type.supplyKey] < type.maxQuantity;
}

std::optional<Solution> packInOrder(const Problem& problem, std::span<const int> order, Merit merit,
                                    Budget& budget) {
    Solution solution;
    std::vector<std::int32_t> opened(problem.supplyKeys, 0);
    for (const int item : order) {
        if (problem.items[item].orientations.empty()) {
            solution.unplaced.push_back(item);
            continue;
        }
        bool placed = false;
        for (SearchBox& box : solution.boxes) {
            if (!budget.spend()) return std::nullopt;
            if ((placed = box.place(item, merit))) break;
        }
        for (std::size_t t = 0; !placed && t < problem.types.size(); ++t) {
            if (!hasSupply(problem.types[t], opened)) continue;
            if (!budget.spend()) return std::nullopt;
            SearchBox box(problem, static_cast<int>(t));
            if ((placed = box.place(item, merit))) {
                ++opened[problem.types[t].supplyKey];
                solution.boxes.push_back(std::move(box));
            }
        }
        if (!placed) solution.unplaced.push_back(item);
    }
    return solution;
}

}  // namespace quarvex::search
