#include "quarvex/search/optimizer.hpp"

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "quarvex/packing/packer.hpp"
#include "quarvex/runtime/cancellation.hpp"
#include "quarvex/search/objective.hpp"
#include "quarvex/search/search.hpp"

namespace quarvex {

namespace {

using search::Problem;
using search::Solution;

// The problem's items in the order the default packer placed them, the
// items it left out last.
std::vector<int> orderOf(const PackResponse& response, const Problem& problem) {
    // The same item object may be listed more than once: each index is used once.
    std::unordered_map<const Item*, std::vector<int>> indices;
    for (int k = static_cast<int>(problem.items.size()) - 1; k >= 0; --k) {
        indices[problem.items[k].source.get()].push_back(k);
    }
    std::vector<int> order;
    const auto take = [&](const Item* item) {
        std::vector<int>& free = indices[item];
        if (free.empty()) return;
        order.push_back(free.back());
        free.pop_back();
    };
    for (const PackedBox& box : response.packedBoxCollection().entries()) {
        for (const PackedItem& p : box.items) take(p.item.get());
    }
    for (const ItemPtr& item : response.unplacedItemCollection().entries()) take(item.get());
    return order;
}

PackResponse responseOf(const Problem& problem, const Solution& solution) {
    PackedBoxCollection packed(std::make_shared<DefaultPackedBoxSorter>());
    for (const search::SearchBox& box : solution.boxes) {
        PackedBox out{problem.types[box.type()].source, {}};
        for (const search::Placement& p : box.placements()) {
            const search::SearchItem& item = problem.items[p.item];
            const search::Orientation& shape = item.orientations[p.orientation];
            out.items.push_back({item.source, shape.w, shape.l, shape.d, shape.code, p.block.x,
                                 p.block.y, p.block.z});
        }
        packed.insert(std::move(out));
    }
    ItemCollection unplaced(std::make_shared<DefaultItemSorter>());
    for (const int item : solution.unplaced) unplaced.insert(problem.items[item].source);
    const bool success = unplaced.empty();
    return PackResponse(success, std::move(packed), std::move(unplaced));
}

// The default packer's result, or nothing when it has not finished by the
// search's deadline: the time limit bounds the whole call.
std::optional<PackResponse> packBefore(std::optional<Cancellation::Clock::time_point> deadline,
                                       const ItemCollection& items, const BoxCollection& boxes) {
    const Cancellation* outer = currentCancellation();
    Cancellation cancellation = outer ? outer->narrowed(deadline) : Cancellation(deadline);
    const CancellationScope scope(cancellation);
    try {
        return Packer::pack(items, boxes);
    } catch (const DeadlineExceeded&) {
        return std::nullopt;  // a caller's own earlier deadline stops the search's first poll
    }
}

search::Objective objectiveNamed(std::string_view name) {
    if (name == "boxes") return search::Objective::Boxes;
    if (name == "cost") return search::Objective::Cost;
    throw std::invalid_argument("objective must be \"boxes\" or \"cost\", got \"" +
                                std::string(name) + "\"");
}

}  // namespace

Optimizer::Optimizer(const ItemCollection& items, const BoxCollection& boxes,
                     const OptimizeOptions& options)
    : budget_(options.effort, options.timeLimit),
      seed_(options.seed),
      problem_(search::makeProblem(items, boxes, options.minSupport, options.objective)),
      start_(packBefore(budget_.deadline(), items, boxes)) {}

void Optimizer::search() {
    std::vector<std::vector<int>> startOrders;
    if (start_) {
        std::vector<int> packed = orderOf(*start_, problem_);
        if (packed.size() == problem_.items.size()) startOrders.push_back(std::move(packed));
    }
    best_ = search::searchPackings(problem_, std::move(startOrders), budget_, seed_);
}

PackResponse Optimizer::result() const {
    // The default packer knows no support rule nor load limits: its result
    // stands only without them.
    if (start_ && problem_.minSupport <= 0.0 && !problem_.hasLoadLimits &&
        !search::isBetter(search::scoreOf(problem_, *best_), search::scoreOf(problem_, *start_))) {
        return *start_;
    }
    return responseOf(problem_, *best_);
}

PackResponse optimize(const ItemCollection& items, const BoxCollection& boxes,
                      const OptimizeOptions& options) {
    Optimizer optimizer(items, boxes, options);
    optimizer.search();
    return optimizer.result();
}

OptimizeOptions checkedOptimizeOptions(std::optional<double> timeLimit,
                                       std::optional<std::int64_t> effort, std::uint64_t seed,
                                       double minSupport, std::string_view objective) {
    if (timeLimit && !(*timeLimit >= 0.0)) {
        throw std::invalid_argument("time_limit must be a non-negative number of seconds, got " +
                                    std::to_string(*timeLimit));
    }
    if (effort && *effort < 0) {
        throw std::invalid_argument("effort must be a non-negative number of work units, got " +
                                    std::to_string(*effort));
    }
    if (!effort && !(timeLimit && std::isfinite(*timeLimit))) {
        throw std::invalid_argument("optimize needs a finite time_limit or an effort to stop");
    }
    if (!(minSupport >= 0.0 && minSupport <= 1.0)) {
        throw std::invalid_argument("min_support must be a fraction in [0, 1], got " +
                                    std::to_string(minSupport));
    }
    OptimizeOptions options;
    options.timeLimit = timeLimit;
    if (effort) options.effort = static_cast<std::uint64_t>(*effort);
    options.seed = seed;
    options.minSupport = minSupport;
    options.objective = objectiveNamed(objective);
    return options;
}

}  // namespace quarvex
