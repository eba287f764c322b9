#include "quarvex/packing/fit_rules.hpp"

#include <algorithm>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

bool fitsBySize(const Item& item, const Box& box) {
    const CandidateList orientations = generateOrientations(item);
    return std::any_of(orientations.begin(), orientations.end(), [&](const OrientedItem& o) {
        return orientationFits(o, box.width(), box.length(), box.depth());
    });
}

bool takesWeight(const Item& item, const Box& box) {
    return withinContentLimit(item.weight(), box.max_content_weight());
}

bool hasSupplyLeft(const Box& box, std::int32_t opened) {
    const LimitedSupplyBox* limited = limitedSupplyOf(box);
    return !limited || opened < limited->max_quantity();
}

}  // namespace quarvex
