#include "quarvex/search/problem.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/fit_rules.hpp"
#include "quarvex/placement/orientation.hpp"

namespace quarvex::search {

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

bool usableSize(double value) {
    return std::isfinite(value) && value >= 0.0;
}

std::vector<BoxType> usableTypes(const BoxCollection& boxes, int& supplyKeys) {
    std::map<std::string, int> keyOf;
    std::vector<BoxType> types;
    for (const BoxPtr& box : boxes.sorted()) {
        const LimitedSupplyBox* limited = limitedSupplyOf(*box);
        if (!box->active() || (limited && limited->max_quantity() <= 0) ||
            !usableSize(box->width()) || !usableSize(box->length()) || !usableSize(box->depth())) {
            continue;
        }
        const auto [entry, added] = keyOf.emplace(box->reference(), static_cast<int>(keyOf.size()));
        types.push_back({box, box->width(), box->length(), box->depth(), box->max_content_weight(),
                         box->inner_volume(), box->cost().value_or(0.0), entry->second,
                         limited ? limited->max_quantity() : -1});
    }
    stableSort(types, [](const BoxType& a, const BoxType& b) { return a.volume > b.volume; });
    supplyKeys = static_cast<int>(keyOf.size());
    return types;
}

std::vector<Orientation> usableOrientations(const Item& item, const std::vector<BoxType>& types) {
    std::vector<Orientation> usable;
    if (!usableSize(item.width()) || !usableSize(item.length()) || !usableSize(item.depth())) {
        return usable;
    }
    for (const OrientedItem& o : generateOrientations(item)) {
        const bool seen = std::any_of(usable.begin(), usable.end(), [&](const Orientation& u) {
            return u.w == o.w && u.l == o.l && u.d == o.d;
        });
        const bool fits = std::any_of(types.begin(), types.end(), [&](const BoxType& t) {
            return orientationFits(o, t.width, t.length, t.depth) &&
                   withinContentLimit(item.weight(), t.capacity);
        });
        if (!seen && fits) usable.push_back({o.w, o.l, o.d, o.code});
    }
    return usable;
}

}  // namespace

Problem makeProblem(const ItemCollection& items, const BoxCollection& boxes, double minSupport,
                    Objective objective) {
    Problem problem;
    problem.minSupport = minSupport;
    problem.objective = objective;
    problem.types = usableTypes(boxes, problem.supplyKeys);
    for (const BoxType& type : problem.types) {
        if (objective == Objective::Cost && !type.source->cost()) {
            throw std::invalid_argument("box '" + type.source->reference() +
                                        "' has no Cost, which the objective \"cost\" needs");
        }
    }
    std::map<std::string, int> groupOf;
    for (const ItemPtr& item : items.sorted()) {
        int group = -1;
        if (const std::string* name = boxGroupOf(*item)) {
            group = groupOf.emplace(*name, static_cast<int>(groupOf.size())).first->second;
        }
        const double maxLoad = item->max_load().value_or(kNoLimit);
        problem.hasLoadLimits = problem.hasLoadLimits || maxLoad < kNoLimit;
        problem.items.push_back({item, usableOrientations(*item, problem.types), item->volume(),
                                 item->weight(), group, maxLoad});
    }
    return problem;
}

}  // namespace quarvex::search
