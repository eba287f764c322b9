#include "quarvex/model/packed_item.hpp"

namespace quarvex {

PackedItem PackedItem::translated(double dx, double dy, double dz) const {
    PackedItem moved = *this;
    moved.x += dx;
    moved.y += dy;
    moved.z += dz;
    return moved;
}

}  // namespace quarvex
