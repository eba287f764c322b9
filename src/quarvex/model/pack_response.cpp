#include "quarvex/model/pack_response.hpp"

#include <utility>

namespace quarvex {

PackResponse::PackResponse(bool success, PackedBoxCollection packed, ItemCollection unplaced,
                           std::vector<BoxPtr> boxTypes)
    : success_(success),
      packed_(std::move(packed)),
      unplaced_(std::move(unplaced)),
      boxTypes_(std::move(boxTypes)) {}

double PackResponse::overall_volume_utilisation() const {
    double used = 0.0;
    double inner = 0.0;
    for (const PackedBox& box : packed_.sorted()) {
        used += box.used_volume();
        inner += box.inner_volume();
    }
    return inner > 0.0 ? used / inner * 100.0 : 0.0;
}

std::int32_t PackResponse::total_placed() const {
    std::uint32_t total = 0;  // accumulated in 32 bits; unsigned so wrap-around is defined
    for (const PackedBox& box : packed_.sorted()) {
        total += static_cast<std::uint32_t>(box.items.size());
    }
    return static_cast<std::int32_t>(total);
}

}  // namespace quarvex
