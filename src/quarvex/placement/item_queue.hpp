#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "quarvex/model/item.hpp"

namespace quarvex {

// The items still to place, in packing order. Besides the deque it counts
// items per shape, so "is every queued item the shape of this one?" is a
// lookup instead of a scan of a long queue.
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
    using Shape = std::array<double, 3>;
    struct ShapeHash {
        std::size_t operator()(const Shape& shape) const;
    };

    void count(const Item& item, std::int64_t delta);

    std::deque<ItemPtr> items_;
    std::unordered_map<Shape, std::int64_t, ShapeHash> shapeCounts_;
};

}  // namespace quarvex
