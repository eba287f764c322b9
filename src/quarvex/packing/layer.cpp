#include "quarvex/packing/layer.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quarvex {

void Layer::insert(PackedItem p) {
    const double x2 = p.x + p.width;
    const double y2 = p.y + p.length;
    const double z2 = p.z + p.depth;
    if (items.empty()) {
        startX = p.x, endX = x2;
        startY = p.y, endY = y2;
        startZ = p.z, endZ = z2;
    } else {
        startX = std::min(startX, p.x), endX = std::max(endX, x2);
        startY = std::min(startY, p.y), endY = std::max(endY, y2);
        startZ = std::min(startZ, p.z), endZ = std::max(endZ, z2);
    }
    weight += p.weight();
    items.push_back(std::move(p));
    width = endX - startX;
    length = endY - startY;
    depth = endZ - startZ;
    area = width * length;
}

std::vector<PackedItem> allItems(std::vector<Layer>&& layers) {
    if (layers.size() == 1) {
        return std::move(layers.front().items);
    }
    std::size_t count = 0;
    for (const Layer& layer : layers) {
        count += layer.items.size();
    }
    std::vector<PackedItem> all;
    all.reserve(count);
    for (Layer& layer : layers) {
        std::move(layer.items.begin(), layer.items.end(), std::back_inserter(all));
    }
    return all;
}

}  // namespace quarvex
