#include "quarvex/model/collections.hpp"

#include <algorithm>
#include <unordered_map>

namespace quarvex {

void ItemCollection::removePacked(const std::vector<PackedItem>& packed) {
    // Erasing the first match once per packed item removes, for each object,
    // its first k entries, k being how often it was packed: one pass does that.
    std::unordered_map<const Item*, std::size_t> toRemove;
    for (const PackedItem& p : packed) {
        ++toRemove[p.item.get()];
    }
    const auto kept = std::remove_if(entries_.begin(), entries_.end(), [&](const ItemPtr& entry) {
        auto found = toRemove.find(entry.get());
        if (found == toRemove.end() || found->second == 0) return false;
        --found->second;
        return true;
    });
    if (kept != entries_.end()) {
        entries_.erase(kept, entries_.end());
        sortedValid_.store(false, std::memory_order_relaxed);
    }
}

bool ItemCollection::containsLinkedItem() const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const ItemPtr& item) { return boxGroupOf(*item) != nullptr; });
}

double PackedBoxCollection::meanItemWeight() const {
    if (entries_.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (const PackedBox& box : entries_) {
        sum += box.item_weight();
    }
    return sum / static_cast<double>(entries_.size());
}

}  // namespace quarvex
