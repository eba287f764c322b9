#include "quarvex/placement/item_queue.hpp"

#include <algorithm>
#include <cmath>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

// Equal sorted sizes; NaN never equals anything, so the relation is transitive.
bool equalShapes(const Item& a, const Item& b) {
    const auto sa = sortedDimensions(a);
    const auto sb = sortedDimensions(b);
    return sa[0] == sb[0] && sa[1] == sb[1] && sa[2] == sb[2];
}

bool hasNaN(const Item& item) {
    return std::isnan(item.width()) || std::isnan(item.length()) || std::isnan(item.depth());
}

}  // namespace

ItemQueue::ItemQueue(const std::vector<ItemPtr>& items) : items_(items.begin(), items.end()) {
    for (std::size_t i = 1; i < items_.size(); ++i) {
        if (!equalShapes(*items_[i - 1], *items_[i])) ++shapeChanges_;
    }
}

ItemPtr ItemQueue::pop_front() {
    if (items_.size() >= 2 && !equalShapes(*items_[0], *items_[1])) --shapeChanges_;
    ItemPtr item = std::move(items_.front());
    items_.pop_front();
    return item;
}

void ItemQueue::pushFront(ItemPtr item) {
    if (!items_.empty() && !equalShapes(*item, *items_.front())) ++shapeChanges_;
    items_.push_front(std::move(item));
}

void ItemQueue::prependAll(std::vector<ItemPtr>& items) {
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        pushFront(std::move(*it));
    }
    items.clear();
}

bool ItemQueue::allSameShapeAs(const Item& item) const {
    if (items_.empty()) {
        return true;
    }
    if (hasNaN(item)) {
        // Only the very same object matches an item with a NaN side.
        return std::all_of(items_.begin(), items_.end(),
                           [&](const ItemPtr& queued) { return queued.get() == &item; });
    }
    return shapeChanges_ == 0 && equalShapes(*items_.front(), item);
}

}  // namespace quarvex
