#include "quarvex/packing/layer.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quarvex {

void Layer::insert(PackedItem&& p) {
    grow(p, items.empty());
    items.push_back(std::move(p));
}

void Layer::shiftZ(double dz) {
    std::vector<PackedItem> moving = std::move(items);
    *this = Layer{};
    items = std::move(moving);
    for (std::size_t i = 0; i < items.size(); ++i) {
        PackedItem& p = items[i];
        // As a translation by (0, 0, dz) does it: adding 0 turns -0 into 0.
        p.x += 0.0;
        p.y += 0.0;
        p.z += dz;
        grow(p, i == 0);
    }
}

void Layer::grow(const PackedItem& p, bool first) {
    const double x2 = p.x + p.width;
    const double y2 = p.y + p.length;
    const double z2 = p.z + p.depth;
    if (first) {
        startX = p.x, endX = x2;
        startY = p.y, endY = y2;
        startZ = p.z, endZ = z2;
    } else {
        startX = std::min(startX, p.x), endX = std::max(endX, x2);
        startY = std::min(startY, p.y), endY = std::max(endY, y2);
        startZ = std::min(startZ, p.z), endZ = std::max(endZ, z2);
    }
    weight += p.weight();
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
