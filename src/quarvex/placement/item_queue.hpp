#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "quarvex/model/item.hpp"

namespace quarvex {

// The items still to place, in packing order. It also counts the places
// where two neighbours differ in shape, so "is every queued item the shape
// of this one?" needs no scan of a long queue.
class ItemQueue {
public:
    ItemQueue() = default;
    explicit ItemQueue(const std::vector<ItemPtr>& items);

    bool empty() const { return items_.empty(); }
    std::size_t size() const { return items_.size(); }
    const ItemPtr& front() const { return items_.front(); }
    const ItemPtr& operator[](std::size_t i) const { return items_[i]; }

    ItemPtr pop_front();
    // Puts the items back at the front, keeping their order.
    void prependAll(std::vector<ItemPtr>& items);

    // True when every queued item is `item` itself or has its shape.
    bool allSameShapeAs(const Item& item) const;

private:
    void pushFront(ItemPtr item);

    std::deque<ItemPtr> items_;
    std::size_t shapeChanges_ = 0;  // neighbours whose shapes differ (or hold NaN)
};

}  // namespace quarvex
