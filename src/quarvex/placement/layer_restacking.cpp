#include "quarvex/placement/layer_restacking.hpp"

#include <utility>

#include "quarvex/model/stable_sort.hpp"

namespace quarvex {

std::vector<Layer> restackLayers(std::vector<Layer> layers) {
    stableSort(layers, [](const Layer& a, const Layer& b) {
        return a.area > b.area || (a.area == b.area && a.depth > b.depth);
    });
    std::vector<Layer> restacked;
    restacked.reserve(layers.size());
    double offset = 0.0;
    for (Layer& layer : layers) {
        Layer moved;
        const double dz = offset - layer.startZ;
        moved.items.reserve(layer.items.size());
        for (const PackedItem& p : layer.items) {
            moved.insert(p.translated(0.0, 0.0, dz));
        }
        offset += moved.depth;
        restacked.push_back(std::move(moved));
    }
    return restacked;
}

}  // namespace quarvex
