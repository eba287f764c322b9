#pragma once

#include <optional>
#include <vector>

#include "quarvex/model/collections.hpp"

namespace quarvex {

// Evens out item weights between the boxes of a finished run by moving single
// items from heavier to lighter boxes, re-packing both each time.
class WeightBalancer {
public:
    // All box types of the run, inactive ones included (they are never used).
    explicit WeightBalancer(BoxCollection boxTypes) : boxTypes_(std::move(boxTypes)) {}

    PackedBoxCollection balance(const PackedBoxCollection& packed);

private:
    bool tryMoveOneItem(std::size_t i, std::size_t j);
    // The first active box type that takes all the items in one box, skipping
    // limited-supply types that `others` already use up.
    std::optional<PackedBox> fitAllInOneBox(const std::vector<ItemPtr>& items,
                                            const std::vector<const Box*>& others) const;
    std::vector<const Box*> boxesExcept(std::size_t skipA, std::size_t skipB) const;

    BoxCollection boxTypes_;
    double target_ = 0.0;
    std::vector<PackedBox> work_;
};

}  // namespace quarvex
