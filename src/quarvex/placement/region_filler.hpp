#pragma once

#include <optional>

#include "quarvex/packing/layer.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/orientation_chooser.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// An axis-aligned region of a box: corner (x0, y0, z), far corner (x1, y1)
// and the height h available above z.
struct Region {
    double x0, y0, z;
    double x1, y1;
    double h;
};

// Fills the region with items from the front of the queue, in rows along x
// and stacks on top of placed items, and returns what it placed in placement
// order. `packedWeight` is the weight of everything already in the box; it
// grows with each placement. Items too heavy for the box's remaining content
// weight are dropped from the queue; items that fit nowhere go back to it.
// stackCeiling > 0 bounds stacking above z; otherwise stacks reach the height
// of the layer built so far.
Layer fillRegion(OrientationChooser& chooser, ItemQueue& queue, double& packedWeight,
                 const Region& region, double stackCeiling, bool stabilityCheck,
                 std::optional<OrientedItem> preset);

}  // namespace quarvex
