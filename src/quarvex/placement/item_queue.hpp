#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "quarvex/model/item.hpp"

namespace quarvex {

// A queued item with a shape number: two queued items have the same number
// exactly when they have the same shape (the same object, or equal sorted
// sizes without NaN), so shape tests in the hot loop touch no item.
struct QueuedItem {
    ItemPtr item;
    std::uint32_t shape;
};

// The items still to place, in packing order. It also counts the places
// where two neighbours differ in shape, so "is every queued item the shape
// of this one?" needs no scan of a long queue.
class ItemQueue {
public:
    ItemQueue() = default;
    explicit ItemQueue(const std::vector<ItemPtr>& items);

    bool empty() const { return items_.empty(); }
    std::size_t size() const { return items_.size(); }
    const ItemPtr& front() const { return items_.front().item; }
    std::uint32_t frontShape() const { return items_.front().shape; }
    const ItemPtr& operator[](std::size_t i) const { return items_[i].item; }

    QueuedItem pop_front();
    // Puts the items back at the front, keeping their order.
    void prependAll(std::vector<QueuedItem>& items);

    // True when every queued item is `item` itself or has its shape.
    bool allSameShapeAs(const Item& item) const;

private:
    void pushFront(QueuedItem item);

    std::deque<QueuedItem> items_;
    std::size_t shapeChanges_ = 0;  // neighbours of different shapes
};

}  // namespace quarvex
