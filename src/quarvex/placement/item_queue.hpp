#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "quarvex/model/item.hpp"

namespace quarvex {

// A queued item with a shape number: two queued items have the same number
// exactly when they have the same shape (the same object, or equal sorted
// sizes without NaN), so shape tests in the hot loop touch no item.
// A plain record pointing into the item list the queue was made from, so
// that popping, deferring and copying a queue never touch a reference count.
struct QueuedItem {
    const ItemPtr* item;
    std::uint32_t shape;
};

// The items still to place, in packing order. It also counts the places
// where two neighbours differ in shape, so "is every queued item the shape
// of this one?" needs no scan of a long queue.
class ItemQueue {
public:
    ItemQueue() = default;
    // The list is borrowed: it must outlive the queue and every copy of it
    // (a box filler's queues live within its pack of the sorted items).
    explicit ItemQueue(const std::vector<ItemPtr>& items);
    explicit ItemQueue(std::vector<ItemPtr>&&) = delete;
    // The same, from pointers to the items, which must outlive the queue: a
    // look-ahead trial queues a few items of a longer list without a list of
    // its own. Shapes are numbered by comparing each item with those before.
    explicit ItemQueue(std::span<const ItemPtr* const> items);

    bool empty() const { return head_ == entries_.size(); }
    std::size_t size() const { return entries_.size() - head_; }
    const ItemPtr& front() const { return *entries_[head_].item; }
    std::uint32_t frontShape() const { return entries_[head_].shape; }
    const ItemPtr& operator[](std::size_t i) const { return *entries_[head_ + i].item; }

    // The queued items, front first; valid until the queue changes.
    std::span<const QueuedItem> queued() const { return std::span(entries_).subspan(head_); }

    // Bounds over every item of the list the queue was made from, so they
    // hold for whatever part of it is queued (items put back in front were
    // popped from this queue or a copy of it). True when no item has sorted
    // sizes within `space`, sorted: then no queued item may fit that space.
    // Never true when some item has a NaN size.
    bool noneMayFitSorted(const std::array<double, 3>& space) const;
    // True when no item weighs more than `limit`.
    bool noneHeavierThan(double limit) const { return !(heaviest_ > limit); }

    QueuedItem pop_front();
    // Pops the first `count` items onto the end of `to`, in order, as that
    // many pop_front calls would.
    void popFrontInto(std::size_t count, std::vector<QueuedItem>& to);
    // Puts the items back at the front, keeping their order.
    void prependAll(std::vector<QueuedItem>& items);

    // True when every queued item is `item` itself or has its shape.
    bool allSameShapeAs(const Item& item) const;

private:
    // `at(i)` is the address of the i-th of `count` items.
    template <class At>
    void setBounds(std::size_t count, At at);
    template <class At>
    void numberByScan(std::size_t count, At at);

    // The queue is entries_[head_..]; popped entries leave room in front for
    // the deferred items that come back.
    std::vector<QueuedItem> entries_;
    std::size_t head_ = 0;
    std::size_t shapeChanges_ = 0;  // neighbours of different shapes
    // Per sorted position, the smallest size over the list; -inf when some
    // size is NaN, since such an item may fit anywhere.
    std::array<double, 3> smallestSizes_{};
    double heaviest_ = 0.0;  // over the weights that are not NaN
};

}  // namespace quarvex
