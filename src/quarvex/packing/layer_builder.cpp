#include "quarvex/packing/layer_builder.hpp"

#include <utility>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/placement/free_space_carving.hpp"
#include "quarvex/placement/layer_restacking.hpp"
#include "quarvex/placement/region_filler.hpp"

namespace quarvex {

namespace {

// Summed item by item in order, as the weight limit check defines it.
double weightOf(const std::vector<Layer>& layers) {
    double sum = 0.0;
    for (const Layer& layer : layers) {
        for (const PackedItem& p : layer.items) {
            sum += p.weight();
        }
    }
    return sum;
}

bool hasItems(const std::vector<Layer>& layers) {
    for (const Layer& layer : layers) {
        if (!layer.items.empty()) return true;
    }
    return false;
}

}  // namespace

PackedBox packLayers(const BoxFiller& filler, double footprintWidth, double footprintLength,
                     const std::optional<OrientedItem>& firstOption,
                     const ItemQueue& items) {
    OrientationChooser chooser(filler.box(), filler.lookAheadDisabled);
    ItemQueue queue = items;
    std::vector<Layer> layers;
    const double boxDepth = filler.box()->depth();

    while (!queue.empty()) {
        double z = 0.0;
        for (const Layer& layer : layers) {
            z += layer.depth;
        }
        double packedWeight = weightOf(layers);
        const std::optional<OrientedItem> preset =
            hasItems(layers) ? std::nullopt : firstOption;
        const Region floor{0.0, 0.0, z, footprintWidth, footprintLength, boxDepth - z};

        // A trial with stacking up to the layer's own height so far; a layer
        // that grows deeper than its first item is built again with its full
        // depth as the stacking ceiling.
        ItemQueue trialQueue = queue;
        double trialWeight = packedWeight;
        Layer trial = fillRegion(chooser, trialQueue, trialWeight, floor, 0.0, true, preset);
        if (trial.items.empty()) {
            break;
        }
        if (trial.depth == trial.items.front().depth) {
            layers.push_back(std::move(trial));
            queue = std::move(trialQueue);
        } else {
            layers.push_back(
                fillRegion(chooser, queue, packedWeight, floor, trial.depth, true, preset));
        }
    }

    if (!filler.lookAheadDisabled && !layers.empty()) {
        layers = restackLayers(std::move(layers));
        layers = fillGaps(filler, std::move(layers), queue, chooser, footprintWidth,
                          footprintLength);
    }
    layers = restoreFrame(filler, std::move(layers), footprintWidth);
    return PackedBox{filler.box(), allItems(layers)};
}

std::vector<Layer> fillGaps(const BoxFiller& filler, std::vector<Layer> layers, ItemQueue& queue,
                            OrientationChooser& chooser, double footprintWidth,
                            double footprintLength) {
    std::vector<FreeSpace> spaces =
        freeSpaces(footprintWidth, footprintLength, filler.box()->depth(), allItems(layers));
    double packedWeight = weightOf(layers);
    bool progress = true;
    while (!queue.empty() && !spaces.empty() && progress) {
        progress = false;
        // Lowest first; at one height the largest space, then the widest floor.
        stableSort(spaces, [](const FreeSpace& a, const FreeSpace& b) {
            if (a.z != b.z) return a.z < b.z;
            if (a.volume != b.volume) return a.volume > b.volume;
            return a.area > b.area;
        });
        for (std::size_t i = 0; i < spaces.size() && !progress; ++i) {
            const FreeSpace& s = spaces[i];
            const Region gap{s.x, s.y, s.z, s.x + s.w, s.y + s.l, s.d};
            Layer layer = fillRegion(chooser, queue, packedWeight, gap, s.d, false, std::nullopt);
            if (!layer.items.empty()) {
                spaces = carveFreeSpaces(std::move(spaces), layer.items);
                layers.push_back(std::move(layer));
                progress = true;
            }
        }
    }
    return layers;
}

std::vector<Layer> restoreFrame(const BoxFiller& filler, std::vector<Layer> layers,
                                double footprintWidth) {
    if (filler.box()->width() == footprintWidth) {
        return layers;
    }
    std::vector<Layer> restored;
    restored.reserve(layers.size());
    for (const Layer& layer : layers) {
        Layer turned;
        for (const PackedItem& p : layer.items) {
            std::string code = p.orientation;
            if (code.size() >= 2) {
                std::swap(code[0], code[1]);
            }
            turned.insert(PackedItem{p.item, p.length, p.width, p.depth, std::move(code), p.y,
                                     p.x, p.z});
        }
        restored.push_back(std::move(turned));
    }
    return restored;
}

}  // namespace quarvex
