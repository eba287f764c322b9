#pragma once

#include <optional>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/packed_box.hpp"

namespace quarvex {

// Packs one box type with a set of items: tries both footprints and every
// distinct orientation of the first item, keeps the best try.
class BoxFiller {
public:
    explicit BoxFiller(BoxPtr box) : box_(std::move(box)) {}

    const BoxPtr& box() const { return box_; }

    // The placed items in position order (by z, then y, then x); items that
    // fit nowhere are simply absent.
    PackedBox pack(const ItemCollection& items) const;

    // What pack gives when that holds every item, else none. Tries that can
    // no longer place every item stop early, since no such try is wanted.
    std::optional<PackedBox> packEvery(const ItemCollection& items) const;
    bool wantsEveryItem() const { return wantsEveryItem_; }

    // Set for the look-ahead's nested trials, which pack one try of layers:
    // no look-ahead, no restacking and no gap filling.
    bool lookAheadDisabled = false;

private:
    BoxPtr box_;
    bool wantsEveryItem_ = false;
};

}  // namespace quarvex
