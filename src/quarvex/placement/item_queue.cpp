#include "quarvex/placement/item_queue.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

// Queues up to this long number their shapes by comparing each item with
// those before it; longer ones sort.
constexpr std::size_t kScannedQueue = 16;

}  // namespace

template <class At>
void ItemQueue::numberByScan(std::size_t count, At at) {
    // Most queues are the look-ahead's trials of a few items: comparing
    // each with those before it is cheaper than sorting. Equal sizes
    // without NaN, or the same object, give the first one's number.
    entries_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const ItemPtr& item = *at(i);
        const auto& sizes = sortedDimensions(*item);
        std::uint32_t shape = i;
        for (std::uint32_t j = 0; j < i; ++j) {
            if (*at(j) == item || sortedDimensions(**at(j)) == sizes) {
                shape = entries_[j].shape;
                break;
            }
        }
        if (!entries_.empty() && entries_.back().shape != shape) ++shapeChanges_;
        entries_.push_back({at(i), shape});
    }
}

template <class At>
void ItemQueue::setBounds(std::size_t count, At at) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    smallestSizes_ = {infinity, infinity, infinity};
    heaviest_ = -infinity;
    for (std::size_t i = 0; i < count; ++i) {
        const ItemPtr& item = *at(i);
        if (hasNaNSize(*item)) {
            smallestSizes_ = {-infinity, -infinity, -infinity};
        }
        const auto& sizes = sortedDimensions(*item);
        for (std::size_t k = 0; k < 3; ++k) {
            smallestSizes_[k] = std::min(smallestSizes_[k], sizes[k]);
        }
        const double weight = item->weight();
        if (weight > heaviest_) heaviest_ = weight;
    }
}

ItemQueue::ItemQueue(const std::vector<ItemPtr>& all) {
    const auto at = [&all](std::size_t i) { return &all[i]; };
    setBounds(all.size(), at);
    // An item's shape number is the position of the first item with equal
    // sorted sizes; an item with a NaN side equals only itself, so it takes
    // the position of its own first entry.
    if (all.size() <= kScannedQueue) {
        numberByScan(all.size(), at);
        return;
    }
    entries_.reserve(all.size());
    // Sorting the positions by sizes finds the equal ones without a hash node
    // per item.
    std::vector<std::uint32_t> shapes(all.size());
    std::vector<std::uint32_t> bySizes;
    std::vector<std::uint32_t> withNaN;
    bySizes.reserve(all.size());
    for (std::uint32_t i = 0; i < all.size(); ++i) {
        shapes[i] = i;
        if (!hasNaNSize(*all[i])) {
            bySizes.push_back(i);
            continue;
        }
        const auto same = std::find_if(withNaN.begin(), withNaN.end(),
                                       [&](std::uint32_t j) { return all[j] == all[i]; });
        if (same != withNaN.end()) {
            shapes[i] = *same;
        } else {
            withNaN.push_back(i);
        }
    }
    auto sizesOf = [&](std::uint32_t i) -> const std::array<double, 3>& {
        return sortedDimensions(*all[i]);
    };
    // By sizes, then by position, so each run of equal sizes starts with its first item.
    std::sort(bySizes.begin(), bySizes.end(), [&](std::uint32_t a, std::uint32_t b) {
        const auto& sa = sizesOf(a);
        const auto& sb = sizesOf(b);
        if (sa != sb) return sa < sb;
        return a < b;
    });
    for (std::size_t k = 1; k < bySizes.size(); ++k) {
        if (sizesOf(bySizes[k]) == sizesOf(bySizes[k - 1])) {
            shapes[bySizes[k]] = shapes[bySizes[k - 1]];
        }
    }
    for (std::uint32_t i = 0; i < all.size(); ++i) {
        if (!entries_.empty() && entries_.back().shape != shapes[i]) ++shapeChanges_;
        entries_.push_back({&all[i], shapes[i]});
    }
}

ItemQueue::ItemQueue(std::span<const ItemPtr* const> items) {
    const auto at = [items](std::size_t i) { return items[i]; };
    setBounds(items.size(), at);
    numberByScan(items.size(), at);
}

bool ItemQueue::noneMayFitSorted(const std::array<double, 3>& space) const {
    // An item whose k-th sorted size exceeds the space's k-th fits it in no
    // ordering; the smallest such size exceeding it rules out every item.
    return smallestSizes_[0] > space[0] || smallestSizes_[1] > space[1] ||
           smallestSizes_[2] > space[2];
}

QueuedItem ItemQueue::pop_front() {
    if (size() >= 2 && entries_[head_].shape != entries_[head_ + 1].shape) --shapeChanges_;
    return entries_[head_++];
}

void ItemQueue::popFrontInto(std::size_t count, std::vector<QueuedItem>& to) {
    if (count == 0) return;
    // Each pop drops the shape change between the popped item and the next.
    for (std::size_t i = head_; i < head_ + count && i + 1 < entries_.size(); ++i) {
        if (entries_[i].shape != entries_[i + 1].shape) --shapeChanges_;
    }
    const auto first = entries_.begin() + static_cast<std::ptrdiff_t>(head_);
    to.insert(to.end(), first, first + static_cast<std::ptrdiff_t>(count));
    head_ += count;
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
