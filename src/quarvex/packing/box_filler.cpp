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

// The distinct orientations the first item may be forced into; a single
// free option when there are none (or in a look-ahead run).
std::vector<std::optional<OrientedItem>> firstItemOptions(const BoxFiller& filler,
                                                          const Item& first, double width,
                                                          double length, double depth) {
    std::vector<std::optional<OrientedItem>> options;
    if (!filler.lookAheadDisabled) {
        for (const OrientedItem& c : fittingCandidates(first, nullptr, width, length, depth)) {
            const bool seen = std::any_of(options.begin(), options.end(), [&](const auto& o) {
                return o->w == c.w && o->l == c.l && o->d == c.d;
            });
            if (!seen) options.emplace_back(c);
        }
    }
    if (options.empty()) {
        options.emplace_back(std::nullopt);
    }
    return options;
}

}  // namespace

PackedBox BoxFiller::pack(const ItemCollection& items) const {
    const std::vector<ItemPtr>& sorted = items.sorted();
    if (sorted.empty()) {
        return PackedBox{box_, {}};
    }
    // The swapped footprint turns every item a quarter turn about the
    // vertical axis, which an item that must never turn cannot take.
    std::vector<bool> footprints{false};
    const bool anyNever = std::any_of(sorted.begin(), sorted.end(), [](const ItemPtr& item) {
        return item->allowed_rotation() == Rotation::NEVER;
    });
    // A box whose width and length are the same double would repeat every
    // try with the same inputs, and a repeat never beats the first on a tie.
    const bool square =
        std::bit_cast<std::uint64_t>(box_->width()) == std::bit_cast<std::uint64_t>(box_->length());
    if (!lookAheadDisabled && !anyNever && !square) {
        footprints.push_back(true);
    }

    const ItemQueue queued(sorted);  // shape numbers made once for every try
    std::vector<PackedBox> tries;
    for (const bool swapped : footprints) {
        const double width = swapped ? box_->length() : box_->width();
        const double length = swapped ? box_->width() : box_->length();
        for (const auto& option :
             firstItemOptions(*this, *sorted.front(), width, length, box_->depth())) {
            PackedBox result = packLayers(*this, width, length, option, queued);
            if (result.items.size() == sorted.size()) {
                return inPositionOrder(std::move(result));
            }
            tries.push_back(std::move(result));
        }
    }
    std::size_t best = 0;
    double bestUtilisation = tries[0].volume_utilisation();
    for (std::size_t i = 1; i < tries.size(); ++i) {
        const double utilisation = tries[i].volume_utilisation();
        if (utilisation > bestUtilisation) {
            best = i;
            bestUtilisation = utilisation;
        }
    }
    return inPositionOrder(std::move(tries[best]));
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
