#include "quarvex/packing/layer.hpp"

#include <algorithm>
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

std::vector<PackedItem> allItems(const std::vector<Layer>& layers) {
    std::vector<PackedItem> all;
    std::size_t count = 0;
    for (const Layer& layer : layers) {
        count += layer.items.size();
    }
    all.reserve(count);
    for (const Layer& layer : layers) {
        all.insert(all.end(), layer.items.begin(), layer.items.end());
    }
    return all;
}

}  // namespace quarvex
