#include "quarvex/placement/layer_restacking.hpp"

#include <utility>

#include "quarvex/model/stable_sort.hpp"

namespace quarvex {

std::vector<Layer> restackLayers(std::vector<Layer> layers) {
    stableSort(layers, [](const Layer& a, const Layer& b) {
        return a.area > b.area || (a.area == b.area && a.depth > b.depth);
    });
    double offset = 0.0;
    for (Layer& layer : layers) {
        layer.shiftZ(offset - layer.startZ);
        offset += layer.depth;
    }
    return layers;
}

}  // namespace quarvex
