#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "quarvex/model/packed_box.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/layer.hpp"
#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/orientation_chooser.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// The layers that tries of one box fill stacked on their first layer, by
// all that stacking depends on: the footprint, the height and weight below,
// the queue and what the try's chooser has memoised about stability. Tries
// whose first layers differ often leave the same, and the layers above then
// come out the same too.
class UpperLayers {
public:
    struct Start {
        double footprintWidth, footprintLength, z, weight;
        std::vector<const ItemPtr*> queue;
        OrientationChooser::StabilityMemo stability;
        bool operator==(const Start& other) const;
    };
    struct Stack {
        std::vector<Layer> layers;
        ItemQueue queue;  // what is left once they are stacked
    };

    const Stack* find(const Start& start) const;
    void add(Start start, Stack stack);

private:
    std::vector<std::pair<Start, Stack>> known_;  // a box fill makes a dozen tries at most
};

// One try of a box packing: fills a W' x L' footprint of the filler's box
// with horizontal layers from the floor up, restacks them, fills the gaps
// and maps a swapped footprint back onto the box's own axes. `upper`, when
// given, is shared by the tries of one box fill.
PackedBox packLayers(const BoxFiller& filler, double footprintWidth, double footprintLength,
                     const std::optional<OrientedItem>& firstOption, ItemQueue queue,
                     UpperLayers* upper);

// Puts queued items into the free spaces left around the layers' items.
std::vector<Layer> fillGaps(const BoxFiller& filler, std::vector<Layer> layers, ItemQueue& queue,
                            OrientationChooser& chooser, double footprintWidth,
                            double footprintLength);

// Swaps x and y (and the first two letters of each code) when the footprint
// was the box's swapped one.
std::vector<Layer> restoreFrame(const BoxFiller& filler, std::vector<Layer> layers,
                                double footprintWidth);

}  // namespace quarvex
