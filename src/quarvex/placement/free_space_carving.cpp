#include "quarvex/placement/free_space_carving.hpp"

#include <algorithm>
#include <utility>

#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

// An item's extent, worked out once for every space it is cut out of.
struct Extent {
    double x1, x2, y1, y2, z1, z2;
};

Extent extentOf(const PackedItem& item) {
    return {item.x, item.x + item.width, item.y, item.y + item.length, item.z, item.z + item.depth};
}

// Returns whether the item overlaps the space (which then gives way to pieces).
// Inlined in both carving loops: a call per space costs more than most cuts.
[[gnu::always_inline]] inline bool carve(const FreeSpace& s, const Extent& item,
                                         std::vector<FreeSpace>& out) {
    const double ix = item.x1, ix2 = item.x2;
    const double iy = item.y1, iy2 = item.y2;
    const double iz = item.z1, iz2 = item.z2;
    const double sx2 = s.x + s.w, sy2 = s.y + s.l, sz2 = s.z + s.d;
    if (ix >= sx2 || s.x >= ix2 || iy >= sy2 || s.y >= iy2 || iz >= sz2 || s.z >= iz2) {
        out.push_back(s);  // no overlap (face contact included)
        return false;
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
    return true;
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
        const Extent extent = extentOf(item);
        scratch.clear();
        for (const FreeSpace& space : spaces) {
            carve(space, extent, scratch);
        }
        spaces.swap(scratch);
    }
}

void carveFreeSpacesFor(std::vector<FreeSpace>& spaces, const std::vector<PackedItem>& items,
                        std::vector<FreeSpace>& scratch,
                        std::span<const std::array<double, 3>> sizes, double slack) {
    const auto noneFits = [&](const FreeSpace& piece) {
        const auto room = sortedDimensions(piece.w + slack, piece.l + slack, piece.d + slack);
        return std::none_of(sizes.begin(), sizes.end(), [&](const std::array<double, 3>& size) {
            return fitsSorted(size, room);
        });
    };
    for (const PackedItem& item : items) {
        const Extent extent = extentOf(item);
        scratch.clear();
        for (const FreeSpace& space : spaces) {
            const auto first = static_cast<std::ptrdiff_t>(scratch.size());
            if (carve(space, extent, scratch)) {
                scratch.erase(std::remove_if(scratch.begin() + first, scratch.end(), noneFits),
                              scratch.end());
            }
        }
        spaces.swap(scratch);
    }
}

}  // namespace quarvex
