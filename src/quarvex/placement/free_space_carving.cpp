#include "quarvex/placement/free_space_carving.hpp"

#include <algorithm>
#include <utility>

namespace quarvex {

namespace {

void carve(const FreeSpace& s, const PackedItem& item, std::vector<FreeSpace>& out) {
    const double ix = item.x, ix2 = item.x + item.width;
    const double iy = item.y, iy2 = item.y + item.length;
    const double iz = item.z, iz2 = item.z + item.depth;
    const double sx2 = s.x + s.w, sy2 = s.y + s.l, sz2 = s.z + s.d;
    if (ix >= sx2 || s.x >= ix2 || iy >= sy2 || s.y >= iy2 || iz >= sz2 || s.z >= iz2) {
        out.push_back(s);  // no overlap (face contact included)
        return;
    }
    const double ax1 = std::max(ix, s.x), ax2 = std::min(ix2, sx2);
    const double ay1 = std::max(iy, s.y), ay2 = std::min(iy2, sy2);
    const double az1 = std::max(iz, s.z), az2 = std::min(iz2, sz2);
    if (ax1 > s.x) out.emplace_back(s.x, s.y, s.z, ax1 - s.x, s.l, s.d);
    if (sx2 > ax2) out.emplace_back(ax2, s.y, s.z, sx2 - ax2, s.l, s.d);
    if (ay1 > s.y) out.emplace_back(ax1, s.y, s.z, ax2 - ax1, ay1 - s.y, s.d);
    if (sy2 > ay2) out.emplace_back(ax1, ay2, s.z, ax2 - ax1, sy2 - ay2, s.d);
    if (az1 > s.z) out.emplace_back(ax1, ay1, s.z, ax2 - ax1, ay2 - ay1, az1 - s.z);
    if (sz2 > az2) out.emplace_back(ax1, ay1, az2, ax2 - ax1, ay2 - ay1, sz2 - az2);
}

}  // namespace

std::vector<FreeSpace> freeSpaces(double W, double L, double D,
                                  const std::vector<PackedItem>& items) {
    return carveFreeSpaces({FreeSpace(0.0, 0.0, 0.0, W, L, D)}, items);
}

std::vector<FreeSpace> carveFreeSpaces(std::vector<FreeSpace> spaces,
                                       const std::vector<PackedItem>& items) {
    std::vector<FreeSpace> scratch;
    carveFreeSpaces(spaces, items, scratch);
    return spaces;
}

void carveFreeSpaces(std::vector<FreeSpace>& spaces, const std::vector<PackedItem>& items,
                     std::vector<FreeSpace>& scratch) {
    for (const PackedItem& item : items) {
        scratch.clear();
        for (const FreeSpace& space : spaces) {
            carve(space, item, scratch);
        }
        spaces.swap(scratch);
    }
}

}  // namespace quarvex
