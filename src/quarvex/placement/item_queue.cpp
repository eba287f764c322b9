#include "quarvex/placement/item_queue.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

bool hasNaN(const std::array<double, 3>& shape) {
    return std::isnan(shape[0]) || std::isnan(shape[1]) || std::isnan(shape[2]);
}

}  // namespace

std::size_t ItemQueue::ShapeHash::operator()(const Shape& shape) const {
    std::size_t hash = 0;
    for (double value : shape) {
        // +0.0 folds -0.0 into 0.0, which compare equal.
        hash = hash * 1000003u ^ std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(value + 0.0));
    }
    return hash;
}

ItemQueue::ItemQueue(const std::vector<ItemPtr>& items) : items_(items.begin(), items.end()) {
    for (const ItemPtr& item : items_) {
        count(*item, 1);
    }
}

void ItemQueue::count(const Item& item, std::int64_t delta) {
    const Shape shape = sortedDimensions(item);
    if (hasNaN(shape)) {
        return;  // never the same shape as anything
    }
    auto found = shapeCounts_.try_emplace(shape, 0).first;
    found->second += delta;
    if (found->second == 0) {
        shapeCounts_.erase(found);
    }
}

ItemPtr ItemQueue::pop_front() {
    ItemPtr item = std::move(items_.front());
    items_.pop_front();
    count(*item, -1);
    return item;
}

void ItemQueue::prependAll(std::vector<ItemPtr>& items) {
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        count(**it, 1);
        items_.push_front(std::move(*it));
    }
    items.clear();
}

bool ItemQueue::allSameShapeAs(const Item& item) const {
    const Shape shape = sortedDimensions(item);
    if (hasNaN(shape)) {
        // Only the very same object matches an item with a NaN side.
        return std::all_of(items_.begin(), items_.end(),
                           [&](const ItemPtr& queued) { return queued.get() == &item; });
    }
    auto found = shapeCounts_.find(shape);
    const std::int64_t matching = found == shapeCounts_.end() ? 0 : found->second;
    return matching == static_cast<std::int64_t>(items_.size());
}

}  // namespace quarvex
