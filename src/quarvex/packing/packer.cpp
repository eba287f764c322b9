#include "quarvex/packing/packer.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/packing/fit_rules.hpp"
#include "quarvex/packing/weight_balancer.hpp"

namespace quarvex {

namespace {

// Balancing runs only for a handful of boxes; it re-packs boxes per move.
constexpr std::size_t kMinBalancedBoxes = 2;
constexpr std::size_t kMaxBalancedBoxes = 12;

bool isBetter(const PackedBox& trial, const PackedBox& best) {
    if (trial.items.size() != best.items.size()) {
        return trial.items.size() > best.items.size();
    }
    const double trialUtilisation = trial.volume_utilisation();
    const double bestUtilisation = best.volume_utilisation();
    if (trialUtilisation != bestUtilisation) {
        return trialUtilisation > bestUtilisation;
    }
    return trial.used_volume() > best.used_volume();
}

// A box holds linked items of one box group only: a trial mixing groups is
// packed again with the unlinked items and the first group (in item order)
// among those it held.
PackedBox keepOneBoxGroup(PackedBox trial, const ItemCollection& remaining) {
    if (!remaining.containsLinkedItem()) {
        return trial;
    }
    std::unordered_set<std::string> groups;
    for (const PackedItem& p : trial.items) {
        if (const std::string* group = boxGroupOf(*p.item)) {
            groups.insert(*group);
        }
    }
    if (groups.size() < 2) {
        return trial;
    }
    const std::string* kept = nullptr;
    for (const ItemPtr& item : remaining.sorted()) {
        const std::string* group = boxGroupOf(*item);
        if (group && groups.contains(*group)) {
            kept = group;
            break;
        }
    }
    if (!kept) {
        return trial;
    }
    ItemCollection oneGroup(remaining.sorter());
    for (const ItemPtr& item : remaining.sorted()) {
        const std::string* group = boxGroupOf(*item);
        if (!group || *group == *kept) {
            oneGroup.insert(item);
        }
    }
    if (oneGroup.empty()) {
        return PackedBox{trial.box, {}};
    }
    ++fillCounts().first;
    return BoxFiller(trial.box).pack(oneGroup);
}

}  // namespace

PackResponse Packer::pack(const ItemCollection& items, const BoxCollection& boxes) {
    ItemCollection remaining = items;
    std::vector<BoxPtr> activeBoxes;
    for (const BoxPtr& box : boxes.sorted()) {
        if (box->active()) activeBoxes.push_back(box);
    }
    std::unordered_map<std::string, std::int32_t> boxesOpened;
    PackedBoxCollection packed(std::make_shared<DefaultPackedBoxSorter>());

    while (!remaining.empty()) {
        std::optional<PackedBox> best;
        for (const BoxPtr& box : activeBoxes) {
            if (!hasSupplyLeft(*box, boxesOpened[box->reference()])) continue;
            ++fillCounts().first;
            PackedBox trial = keepOneBoxGroup(BoxFiller(box).pack(remaining), remaining);
            if (trial.items.empty()) continue;
            if (!best || isBetter(trial, *best)) {
                best = std::move(trial);
            }
            if (best->items.size() == remaining.size()) {
                break;  // nothing later can hold more
            }
        }
        if (!best) {
            break;
        }
        remaining.removePacked(best->items);
        ++boxesOpened[best->box->reference()];
        packed.insert(std::move(*best));
    }

    if (packed.size() >= kMinBalancedBoxes && packed.size() <= kMaxBalancedBoxes) {
        packed = WeightBalancer(boxes).balance(packed);
    }
    const bool success = remaining.empty();
    return PackResponse(success, std::move(packed), std::move(remaining), boxes.entries());
}

}  // namespace quarvex
