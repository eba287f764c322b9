#include "quarvex/placement/item_queue.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <unordered_map>
#include <utility>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

struct SizesHash {
    std::size_t operator()(const std::array<double, 3>& sizes) const {
        std::size_t hash = 0;
        for (double value : sizes) {
            // +0.0 folds -0.0 into 0.0, which compares equal to it.
            hash = hash * 1000003u ^
                   std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(value + 0.0));
        }
        return hash;
    }
};

}  // namespace

ItemQueue::ItemQueue(std::vector<ItemPtr> items)
    : items_(std::make_shared<const std::vector<ItemPtr>>(std::move(items))) {
    // Equal sorted sizes share a number; an item with a NaN side equals only
    // itself, so it is numbered by object.
    std::unordered_map<std::array<double, 3>, std::uint32_t, SizesHash> bySizes;
    std::unordered_map<const Item*, std::uint32_t> byObject;
    std::uint32_t next = 0;
    entries_.reserve(items_->size());
    for (const ItemPtr& item : *items_) {
        const auto& sizes = sortedDimensions(*item);
        const bool nan = std::isnan(sizes[0]) || std::isnan(sizes[1]) || std::isnan(sizes[2]);
        const std::uint32_t shape = nan ? byObject.try_emplace(item.get(), next).first->second
                                        : bySizes.try_emplace(sizes, next).first->second;
        if (shape == next) ++next;
        if (!entries_.empty() && entries_.back().shape != shape) ++shapeChanges_;
        entries_.push_back({&item, shape});
    }
}

QueuedItem ItemQueue::pop_front() {
    if (size() >= 2 && entries_[head_].shape != entries_[head_ + 1].shape) --shapeChanges_;
    return entries_[head_++];
}

void ItemQueue::prependAll(std::vector<QueuedItem>& items) {
    if (items.empty()) return;
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (items[i - 1].shape != items[i].shape) ++shapeChanges_;
    }
    if (!empty() && items.back().shape != frontShape()) ++shapeChanges_;
    // The items were popped from this queue, so they normally fit in front.
    if (head_ >= items.size()) {
        head_ -= items.size();
        std::copy(items.begin(), items.end(),
                  entries_.begin() + static_cast<std::ptrdiff_t>(head_));
    } else {
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(head_), items.begin(),
                        items.end());
    }
    items.clear();
}

bool ItemQueue::allSameShapeAs(const Item& item) const {
    // Having a shape is an equivalence, so all queued items have the item's
    // shape when they all share one and the front has it.
    return empty() || (shapeChanges_ == 0 && sameShape(item, *front()));
}

}  // namespace quarvex
