#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quarvex/model/collections.hpp"
#include "quarvex/packing/one_box_bound.hpp"

namespace quarvex {

// Evens out item weights between the boxes of a finished run by moving single
// items from heavier to lighter boxes, re-packing both each time.
class WeightBalancer {
public:
    // All box types of the run, inactive ones included (they are never used).
    explicit WeightBalancer(BoxCollection boxTypes) : boxTypes_(std::move(boxTypes)) {}

    PackedBoxCollection balance(const PackedBoxCollection& packed);

    // A box type and the items given to it, in order.
    using PackKey = std::pair<const Box*, std::vector<const Item*>>;

private:
    struct PackKeyHash {
        std::size_t operator()(const PackKey& key) const;
    };
    // Items asked about for several box types: their key (its box set per
    // type) and the totals that rule types out, each made once.
    struct ItemSet {
        explicit ItemSet(const std::vector<ItemPtr>& items);
        const std::vector<ItemPtr>& items;
        PackKey key;
        std::optional<double> volume;  // none when some size is negative: no bound
        std::optional<double> weight;  // none when some weight is not >= 0: no bound
    };

    // tryMoveOneItem, skipped for a pair of boxes already known to allow
    // no move: after a move elsewhere the next pass asks most pairs again.
    bool tryMoveOnce(std::size_t i, std::size_t j);
    bool tryMoveOneItem(std::size_t i, std::size_t j);
    // The first active box type that takes all the items in one box, skipping
    // limited-supply types that `others` already use up.
    std::optional<PackedBox> fitAllInOneBox(const std::vector<ItemPtr>& items,
                                            const std::vector<const Box*>& others) const;
    // True when the packings made so far show that fitAllInOneBox finds none.
    bool knownNotToFit(const std::vector<ItemPtr>& items,
                       const std::vector<const Box*>& others) const;
    // Active, and not a limited-supply type that `others` already use up.
    static bool mayUse(const Box& box, const std::vector<const Box*>& others);
    // Too much volume or weight for the box, so no packing can take them all.
    static bool cannotHoldAll(const Box& box, const ItemSet& items);
    std::vector<const Box*> boxesExcept(std::size_t skipA, std::size_t skipB) const;
    // Packs the items into the box type when they can all fit; packing is
    // deterministic, so each item sequence is packed once per pass. Sets that
    // provably cannot share one box are not packed at all.
    std::optional<PackedBox> packAll(const BoxPtr& box, ItemSet& items) const;

    BoxCollection boxTypes_;
    double target_ = 0.0;
    std::vector<PackedBox> work_;
    mutable std::unordered_map<PackKey, std::optional<PackedBox>, PackKeyHash> packed_;
    mutable OneBoxBound oneBoxBound_;
    // What a move between two boxes depends on: their contents, then the
    // other boxes' types (they use up limited supply) without items.
    std::set<std::vector<PackKey>> noMove_;
};

}  // namespace quarvex
