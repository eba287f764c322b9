#pragma once

#include <vector>

#include "quarvex/model/box.hpp"
#include "quarvex/model/packed_item.hpp"

namespace quarvex {

// One opened box: its type and the items placed in it, in placement order.
// Every figure is computed from the items on request.
struct PackedBox {
    BoxPtr box;
    std::vector<PackedItem> items;

    double item_weight() const;
    double weight() const;  // empty weight + item weight
    double max_weight() const { return box->max_weight(); }
    // -1.0 without a weight limit; otherwise never below 0.0.
    double remaining_weight() const;
    double used_volume() const;
    double inner_volume() const { return box->inner_volume(); }
    double unused_volume() const { return inner_volume() - used_volume(); }
    // Percentage of the inner volume; 0.0 when that is not positive. Not clamped.
    double volume_utilisation() const;
    double used_width() const;
    double used_length() const;
    double used_depth() const;
    double remaining_width() const { return box->width() - used_width(); }
    double remaining_length() const { return box->length() - used_length(); }
    double remaining_depth() const { return box->depth() - used_depth(); }
};

}  // namespace quarvex
