#include "quarvex/model/collections.hpp"

#include <algorithm>

namespace quarvex {

void ItemCollection::removePacked(const std::vector<PackedItem>& packed) {
    for (const PackedItem& p : packed) {
        auto found = std::find(entries_.begin(), entries_.end(), p.item);
        if (found != entries_.end()) {
            entries_.erase(found);
            sortedValid_ = false;
        }
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
