#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "quarvex/model/box.hpp"
#include "quarvex/model/fixed_key.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/look_ahead.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// Picks orientations for one box type (or working volume) being packed.
class OrientationChooser {
public:
    OrientationChooser(BoxPtr box, bool lookAheadDisabled);

    const Box& box() const { return *box_; }
    bool lookAheadDisabled() const { return lookAheadDisabled_; }

    // Whether some allowed orientation of the item stands stably in the empty
    // box. Memoised under the item's sizes as "%f" writes them and its
    // rotation rule (the box's sizes, the rest of that key, are the chooser's).
    bool canStandStably(const Item& item);

    struct StableKey {
        FixedKey width, length, depth;
        std::int32_t rotation;
        friend bool operator==(const StableKey&, const StableKey&) = default;
    };
    struct StableKeyHash {
        std::size_t operator()(const StableKey& key) const;
    };
    using StabilityMemo = std::unordered_map<StableKey, bool, StableKeyHash>;
    // Items whose sizes print alike share an answer, so what a later choice
    // is told depends on which items were asked about first.
    const StabilityMemo& stabilityMemo() const { return stableCache_; }

private:
    bool canStandStablyByKey(const Item& item);

    BoxPtr box_;
    bool lookAheadDisabled_;
    StabilityMemo stableCache_;
    std::unordered_map<const Item*, bool> stableByItem_;  // items outlive the chooser's run
};

// The item's orientations that fit W x L x D, without duplicate sizes. An
// item of the preferred orientation's shape is offered only its own
// orientation with the preferred sizes, when its rule allows one.
CandidateList fittingCandidates(const Item& item, const OrientedItem* preferred, double W, double L,
                                double D);

// Keeps only the orientations on a wide enough base when there are any;
// otherwise holds the item back (no candidates) when it could stand stably
// in the empty box, and keeps the unstable ones when it could not.
void preferStable(OrientationChooser& chooser, const Item& item, CandidateList& candidates);

// The best orientation of the item for the space, or none when nothing fits.
std::optional<OrientedItem> chooseOrientation(OrientationChooser& chooser, const Item& item,
                                              const OrientedItem* preferred,
                                              const PlacementSpace& space, bool stabilityCheck);

}  // namespace quarvex
