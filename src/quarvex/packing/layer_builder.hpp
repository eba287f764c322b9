#pragma once

#include <optional>
#include <vector>

#include "quarvex/model/packed_box.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/layer.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/orientation_chooser.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// One try of a box packing: fills a W' x L' footprint of the filler's box
// with horizontal layers from the floor up, restacks them, fills the gaps
// and maps a swapped footprint back onto the box's own axes.
PackedBox packLayers(const BoxFiller& filler, double footprintWidth, double footprintLength,
                     const std::optional<OrientedItem>& firstOption, ItemQueue queue);

// Puts queued items into the free spaces left around the layers' items.
std::vector<Layer> fillGaps(const BoxFiller& filler, std::vector<Layer> layers, ItemQueue& queue,
                            OrientationChooser& chooser, double footprintWidth,
                            double footprintLength);

// Swaps x and y (and the first two letters of each code) when the footprint
// was the box's swapped one.
std::vector<Layer> restoreFrame(const BoxFiller& filler, std::vector<Layer> layers,
                                double footprintWidth);

}  // namespace quarvex
