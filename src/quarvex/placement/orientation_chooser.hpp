#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "quarvex/model/box.hpp"
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
    // box. Memoised under the item's and box's sizes written with "%f".
    bool canStandStably(const Item& item);

private:
    bool canStandStablyByKey(const Item& item);

    BoxPtr box_;
    bool lookAheadDisabled_;
    std::unordered_map<std::string, bool> stableCache_;
    std::unordered_map<const Item*, bool> stableByItem_;  // items outlive the chooser's run
    std::string keyBuffer_;
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
