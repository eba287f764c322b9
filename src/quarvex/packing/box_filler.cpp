#include "quarvex/packing/box_filler.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/layer_builder.hpp"
#include "quarvex/placement/orientation_chooser.hpp"

namespace quarvex {

namespace {

// Heights (and then rows) closer than this count as one level.
constexpr double kPositionTolerance = 1e-6;

bool inPositionOrder(const PackedItem& a, const PackedItem& b) {
    if (!(std::abs(a.z - b.z) < kPositionTolerance)) return a.z < b.z;
    if (!(std::abs(a.y - b.y) < kPositionTolerance)) return a.y < b.y;
    return a.x < b.x;
}

PackedBox inPositionOrder(PackedBox packed) {
    if (packed.items.size() > 1) {
        stableSort(packed.items,
                   [](const PackedItem& a, const PackedItem& b) { return inPositionOrder(a, b); });
    }
    return packed;
}

}  // namespace

PackedBox BoxFiller::pack(const ItemCollection& items) const {
    const std::vector<ItemPtr>& sorted = items.sorted();
    if (sorted.empty()) {
        return PackedBox{box_, {}};
    }
    // The swapped footprint turns every item a quarter turn about the
    // vertical axis, which an item that must never turn cannot take.
    const bool anyNever = std::any_of(sorted.begin(), sorted.end(), [](const ItemPtr& item) {
        return item->allowed_rotation() == Rotation::NEVER;
    });
    // A box whose width and length are the same double would repeat every
    // try with the same inputs, and a repeat never beats the first on a tie.
    const bool square =
        std::bit_cast<std::uint64_t>(box_->width()) == std::bit_cast<std::uint64_t>(box_->length());
    const bool trySwapped = !anyNever && !square;

    const ItemQueue queued(sorted);  // shape numbers made once for every try
    UpperLayers upper;
    // Unless a try holds every item, the first with the greatest utilisation wins.
    std::optional<PackedBox> best;
    double bestUtilisation = 0.0;
    for (const bool swapped : {false, true}) {
        if (swapped && !trySwapped) break;
        const double width = swapped ? box_->length() : box_->width();
        const double length = swapped ? box_->width() : box_->length();
        // The distinct orientations the first item may be forced into
        // (candidates come without duplicate sizes); none leaves it free.
        const CandidateList options =
            fittingCandidates(*sorted.front(), nullptr, width, length, box_->depth());
        const std::size_t tries = std::max<std::size_t>(options.size(), 1);
        for (std::size_t i = 0; i < tries; ++i) {
            const std::optional<OrientedItem> option =
                options.empty() ? std::nullopt : std::optional<OrientedItem>(options[i]);
            PackedBox result = packLayers(*this, width, length, option, queued, &upper);
            if (result.items.size() == sorted.size()) {
                return inPositionOrder(std::move(result));
            }
            const double utilisation = result.volume_utilisation();
            if (!best || utilisation > bestUtilisation) {
                best = std::move(result);
                bestUtilisation = utilisation;
            }
        }
    }
    return inPositionOrder(std::move(*best));
}

std::optional<PackedBox> BoxFiller::packEvery(const ItemCollection& items) const {
    BoxFiller filler = *this;
    filler.wantsEveryItem_ = true;
    PackedBox packed = filler.pack(items);
    if (packed.items.size() != items.size()) {
        return std::nullopt;
    }
    return packed;
}

}  // namespace quarvex
