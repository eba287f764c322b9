#pragma once

#include <cstdint>
#include <vector>

#include "quarvex/model/collections.hpp"

namespace quarvex {

// The outcome of one packing run.
class PackResponse {
public:
    // boxTypes: every box type the run was given, to judge unplaced items against.
    PackResponse(bool success, PackedBoxCollection packed, ItemCollection unplaced,
                 std::vector<BoxPtr> boxTypes = {});

    bool success() const { return success_; }
    // The packed boxes in their sorted order (most items first).
    std::vector<PackedBox> boxes() const { return packed_.sorted(); }
    std::vector<ItemPtr> unplaced_items() const { return unplaced_.sorted(); }
    // The collections themselves, uncopied: entries in the order the run added
    // them, and the sorted view above without a copy.
    const PackedBoxCollection& packedBoxCollection() const { return packed_; }
    const ItemCollection& unplacedItemCollection() const { return unplaced_; }
    const std::vector<BoxPtr>& box_types() const { return boxTypes_; }

    // Total used volume over total inner volume, in percent; 0.0 without room.
    double overall_volume_utilisation() const;
    std::int32_t total_placed() const;
    std::size_t total_unplaced() const { return unplaced_.size(); }

private:
    bool success_;
    PackedBoxCollection packed_;
    ItemCollection unplaced_;
    std::vector<BoxPtr> boxTypes_;
};

}  // namespace quarvex
