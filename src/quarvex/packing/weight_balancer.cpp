#include "quarvex/packing/weight_balancer.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <set>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/packing/fit_rules.hpp"

namespace quarvex {

namespace {

std::vector<ItemPtr> itemsOf(const PackedBox& packed) {
    std::vector<ItemPtr> items;
    items.reserve(packed.items.size());
    for (const PackedItem& p : packed.items) {
        items.push_back(p.item);
    }
    return items;
}

// What a box holds: its type and its items in order.
WeightBalancer::PackKey contentsOf(const PackedBox& packed) {
    WeightBalancer::PackKey key{packed.box.get(), {}};
    key.second.reserve(packed.items.size());
    for (const PackedItem& p : packed.items) {
        key.second.push_back(p.item.get());
    }
    return key;
}

std::vector<WeightBalancer::PackKey> stateOf(const std::vector<PackedBox>& boxes) {
    std::vector<WeightBalancer::PackKey> state;
    state.reserve(boxes.size());
    for (const PackedBox& packed : boxes) {
        state.push_back(contentsOf(packed));
    }
    return state;
}

}  // namespace

PackedBoxCollection WeightBalancer::balance(const PackedBoxCollection& packed) {
    target_ = packed.meanItemWeight();
    noMove_.clear();  // a move's rules depend on the target
    work_ = packed.sorted();
    stableSort(work_,
               [](const PackedBox& a, const PackedBox& b) { return a.weight() > b.weight(); });

    // Rounding can make moving an item back look like an improvement, so one
    // item could travel between two boxes forever. The next move depends on
    // the boxes alone, so a state seen before means such a cycle: stop there.
    std::set<std::vector<PackKey>> seen{stateOf(work_)};
    bool moved = true;
    while (moved) {
        moved = false;
        for (std::size_t i = 0; i < work_.size() && !moved; ++i) {
            for (std::size_t j = i + 1; j < work_.size() && !moved; ++j) {
                if (work_[i].weight() != work_[j].weight()) {
                    moved = tryMoveOnce(i, j);
                }
            }
        }
        if (moved && !seen.insert(stateOf(work_)).second) {
            break;
        }
    }

    PackedBoxCollection balanced(std::make_shared<DefaultPackedBoxSorter>());
    for (PackedBox& box : work_) {
        balanced.insert(std::move(box));
    }
    return balanced;
}

bool WeightBalancer::tryMoveOnce(std::size_t i, std::size_t j) {
    std::vector<PackKey> pair{contentsOf(work_[i]), contentsOf(work_[j])};
    for (const Box* other : boxesExcept(i, j)) {
        pair.push_back({other, {}});
    }
    if (noMove_.contains(pair)) {
        return false;
    }
    if (tryMoveOneItem(i, j)) {
        return true;
    }
    noMove_.insert(std::move(pair));
    return false;
}

bool WeightBalancer::tryMoveOneItem(std::size_t i, std::size_t j) {
    const std::size_t heavy = work_[i].weight() > work_[j].weight() ? i : j;
    const std::size_t light = heavy == i ? j : i;
    const double hw = work_[heavy].item_weight();
    const double lw = work_[light].item_weight();
    const std::vector<ItemPtr> heavyItems = itemsOf(work_[heavy]);
    const std::vector<ItemPtr> lightItems = itemsOf(work_[light]);
    const bool emptiesHeavy = heavyItems.size() == 1;

    for (std::size_t k = 0; k < heavyItems.size(); ++k) {
        const ItemPtr& item = heavyItems[k];
        if (boxGroupOf(*item)) continue;  // linked items stay with their group
        const double w = item->weight();
        if (!(w + lw <= target_)) continue;
        const double before = hw - (lw + hw) * 0.5;
        const double after = (hw - w) - ((hw - w) + w + lw) * 0.5;
        if (!(after * after < before * before)) continue;

        std::vector<ItemPtr> newHeavy = heavyItems;
        newHeavy.erase(newHeavy.begin() + static_cast<std::ptrdiff_t>(k));
        std::vector<const Box*> othersOfHeavy = boxesExcept(heavy, light);
        // The heavy box's remainders recur with every lighter partner. When
        // the packings made so far show that no box type takes one, the move
        // is off whatever the light side gives, since the light box's new
        // type below can only close further types to the remainder.
        if (!emptiesHeavy && knownNotToFit(newHeavy, othersOfHeavy)) continue;

        std::vector<ItemPtr> newLight = lightItems;
        newLight.push_back(item);
        // The other boxes, for limited supply: the heavy box still counts
        // unless this move empties it.
        std::vector<const Box*> othersOfLight =
            boxesExcept(light, emptiesHeavy ? heavy : std::numeric_limits<std::size_t>::max());
        std::optional<PackedBox> rL = fitAllInOneBox(newLight, othersOfLight);
        if (!rL) continue;

        if (emptiesHeavy) {
            work_[light] = std::move(*rL);
            work_.erase(work_.begin() + static_cast<std::ptrdiff_t>(heavy));
            return true;
        }
        othersOfHeavy.push_back(rL->box.get());
        std::optional<PackedBox> rH = fitAllInOneBox(newHeavy, othersOfHeavy);
        if (!rH) continue;
        work_[light] = std::move(*rL);
        work_[heavy] = std::move(*rH);
        return true;
    }
    return false;
}

std::vector<const Box*> WeightBalancer::boxesExcept(std::size_t skipA, std::size_t skipB) const {
    std::vector<const Box*> boxes;
    for (std::size_t e = 0; e < work_.size(); ++e) {
        if (e != skipA && e != skipB) boxes.push_back(work_[e].box.get());
    }
    return boxes;
}

std::optional<PackedBox> WeightBalancer::fitAllInOneBox(
    const std::vector<ItemPtr>& items, const std::vector<const Box*>& others) const {
    if (items.empty()) {
        return std::nullopt;
    }
    ItemSet set(items);
    for (const BoxPtr& box : boxTypes_.sorted()) {
        if (!mayUse(*box, others)) continue;
        if (std::optional<PackedBox> packed = packAll(box, set)) {
            return packed;
        }
    }
    return std::nullopt;
}

bool WeightBalancer::knownNotToFit(const std::vector<ItemPtr>& items,
                                   const std::vector<const Box*>& others) const {
    ItemSet set(items);
    for (const BoxPtr& box : boxTypes_.sorted()) {
        if (!mayUse(*box, others) || cannotHoldAll(*box, set)) continue;
        set.key.first = box.get();
        const auto known = packed_.find(set.key);
        if (known == packed_.end() || known->second) {
            return false;
        }
    }
    return true;
}

bool WeightBalancer::mayUse(const Box& box, const std::vector<const Box*>& others) {
    if (!box.active()) return false;
    if (!limitedSupplyOf(box)) return true;
    const auto inUse = std::count_if(others.begin(), others.end(), [&](const Box* other) {
        return other->reference() == box.reference();
    });
    return hasSupplyLeft(box, static_cast<std::int32_t>(inUse));
}

namespace {

// Beyond a bound with room for rounding (sums of up to a million terms).
bool clearlyAbove(double total, double bound) {
    return total > bound + std::abs(bound) * 1e-9;
}

// Items of non-negative sizes that all fit do not overlap, so their volumes
// add up to at most the inner volume. Negative sizes make no such promise.
std::optional<double> volumeBound(const std::vector<ItemPtr>& items) {
    double total = 0.0;
    for (const ItemPtr& item : items) {
        if (!(item->width() >= 0.0 && item->length() >= 0.0 && item->depth() >= 0.0)) {
            return std::nullopt;
        }
        total += item->volume();
    }
    return total;
}

// A fill places an item only while its weight fits what is left of the
// box's content weight, so items of non-negative weight that all go in weigh
// at most that much together.
std::optional<double> weightBound(const std::vector<ItemPtr>& items) {
    double total = 0.0;
    for (const ItemPtr& item : items) {
        if (!(item->weight() >= 0.0)) {
            return std::nullopt;
        }
        total += item->weight();
    }
    return total;
}

}  // namespace

WeightBalancer::ItemSet::ItemSet(const std::vector<ItemPtr>& items)
    : items(items), volume(volumeBound(items)), weight(weightBound(items)) {
    key.second.reserve(items.size());
    for (const ItemPtr& item : items) {
        key.second.push_back(item.get());
    }
}

bool WeightBalancer::cannotHoldAll(const Box& box, const ItemSet& items) {
    if (items.volume && clearlyAbove(*items.volume, box.inner_volume())) {
        return true;
    }
    const double limit = box.max_content_weight();
    return limit >= 0.0 && items.weight && clearlyAbove(*items.weight, limit);
}

std::size_t WeightBalancer::PackKeyHash::operator()(const PackKey& key) const {
    std::size_t hash = std::hash<const Box*>{}(key.first);
    for (const Item* item : key.second) {
        hash = hash * 1000003u ^ std::hash<const Item*>{}(item);
    }
    return hash;
}

std::optional<PackedBox> WeightBalancer::packAll(const BoxPtr& box, ItemSet& items) const {
    if (cannotHoldAll(*box, items)) {
        return std::nullopt;
    }
    items.key.first = box.get();
    if (auto known = packed_.find(items.key); known != packed_.end()) {
        return known->second;
    }
    if (oneBoxBound_.exceeds(items.items, *box)) {
        packed_.emplace(items.key, std::nullopt);
        return std::nullopt;
    }
    ItemCollection collection(std::make_shared<DefaultItemSorter>());
    for (const ItemPtr& item : items.items) {
        collection.insert(item);
    }
    ++fillCounts().balancing;
    std::optional<PackedBox> result = BoxFiller(box).packEvery(collection);
    packed_.emplace(items.key, result);
    return result;
}

}  // namespace quarvex
