#include "quarvex/packing/unplaced_reasons.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "quarvex/packing/fit_rules.hpp"

namespace quarvex {

namespace {

// Whether an opened box holds items of a box group other than the item's.
bool holdsOtherGroup(const PackedBox& packed, const std::string& group) {
    return std::any_of(packed.items.begin(), packed.items.end(), [&](const PackedItem& p) {
        const std::string* other = boxGroupOf(*p.item);
        return other && *other != group;
    });
}

UnplacedReason reasonFor(const Item& item, const std::vector<const Box*>& active,
                         const std::unordered_map<std::string, std::int32_t>& opened,
                         const PackResponse& response) {
    if (active.empty()) return UnplacedReason::NoActiveBoxType;
    const auto anyType = [&](auto rule) { return std::any_of(active.begin(), active.end(), rule); };
    if (!anyType([&](const Box* box) { return fitsBySize(item, *box); })) {
        return UnplacedReason::TooLarge;
    }
    if (!anyType([&](const Box* box) { return takesWeight(item, *box); })) {
        return UnplacedReason::TooHeavy;
    }
    const auto takes = [&](const Box& box) {
        return fitsBySize(item, box) && takesWeight(item, box);
    };
    if (!anyType([&](const Box* box) { return takes(*box); })) {
        return UnplacedReason::NoTypeLargeAndStrong;
    }
    const auto openedOf = [&](const Box& box) {
        const auto found = opened.find(box.reference());
        return found == opened.end() ? 0 : found->second;
    };
    if (anyType(
            [&](const Box* box) { return takes(*box) && hasSupplyLeft(*box, openedOf(*box)); })) {
        return UnplacedReason::NoRoomBesideOthers;
    }
    if (const std::string* group = boxGroupOf(item)) {
        const auto& boxes = response.packedBoxCollection().entries();
        if (std::any_of(boxes.begin(), boxes.end(), [&](const PackedBox& packed) {
                return takes(*packed.box) && holdsOtherGroup(packed, *group);
            })) {
            return UnplacedReason::BoxGroup;
        }
    }
    return UnplacedReason::SupplyExhausted;
}

}  // namespace

const char* unplacedReasonName(UnplacedReason reason) {
    switch (reason) {
        case UnplacedReason::NoActiveBoxType:
            return "no_active_box_type";
        case UnplacedReason::TooLarge:
            return "too_large";
        case UnplacedReason::TooHeavy:
            return "too_heavy";
        case UnplacedReason::NoTypeLargeAndStrong:
            return "no_type_large_and_strong";
        case UnplacedReason::BoxGroup:
            return "box_group";
        case UnplacedReason::SupplyExhausted:
            return "supply_exhausted";
        case UnplacedReason::NoRoomBesideOthers:
            return "no_room_beside_others";
    }
    return "no_room_beside_others";
}

std::vector<UnplacedReason> unplacedReasons(const PackResponse& response) {
    std::vector<const Box*> active;
    for (const BoxPtr& box : response.box_types()) {
        if (box->active()) active.push_back(box.get());
    }
    // Types of one reference share one count, as the packer counts them.
    std::unordered_map<std::string, std::int32_t> opened;
    for (const PackedBox& packed : response.packedBoxCollection().entries())
        ++opened[packed.box->reference()];
    std::vector<UnplacedReason> reasons;
    for (const ItemPtr& item : response.unplaced_items()) {
        reasons.push_back(reasonFor(*item, active, opened, response));
    }
    return reasons;
}

}  // namespace quarvex
