#pragma once

#include <array>
#include <cstddef>

#include "quarvex/model/item.hpp"

namespace quarvex {

// One axis ordering of an item, before it has a position. The item is
// borrowed: whoever places it holds the shared pointer.
// Trivial on purpose: candidate lists are made for every item tried at every
// cursor position, and need no zeroing.
struct OrientedItem {
    const Item* item;
    double w;          // extent along x once placed
    double l;          // extent along y
    double d;          // extent along z (height)
    const char* code;  // one of the six static codes, e.g. "WLD"
};

// At most six orientations exist, so candidate lists live on the stack.
class CandidateList {
public:
    void push_back(const OrientedItem& candidate) { items_[size_++] = candidate; }
    // Keeps the first `count` candidates.
    void truncate(std::size_t count) { size_ = count; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    OrientedItem* begin() { return items_.data(); }
    OrientedItem* end() { return items_.data() + size_; }
    const OrientedItem* begin() const { return items_.data(); }
    const OrientedItem* end() const { return items_.data() + size_; }
    const OrientedItem& operator[](std::size_t i) const { return items_[i]; }
    OrientedItem& operator[](std::size_t i) { return items_[i]; }

private:
    std::array<OrientedItem, 6> items_;
    std::size_t size_ = 0;
};

}  // namespace quarvex
