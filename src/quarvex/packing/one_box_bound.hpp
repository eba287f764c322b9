#pragma once

#include <array>
#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"

namespace quarvex {

// Whether items can share one box, by a bound that sees more than their
// summed volume (items longer than half the box cannot lie side by side, and
// the like). Each item's part of the bound is worked out once per box type,
// so sets that share most of their items are cheap to ask about.
class OneBoxBound {
public:
    // True when the items cannot all lie in one box of this type, in any
    // packing and any orientations their rotation rules allow. False says
    // nothing. Sizes that are negative or not finite give false.
    bool exceeds(const std::vector<ItemPtr>& items, const Box& box);

private:
    // Three functions (the identity among them), one per box side.
    static constexpr int kFunctions = 3;
    static constexpr int kCombinations = kFunctions * kFunctions * kFunctions;

    enum class Fit { SOME_ORIENTATION, NONE, UNKNOWN };
    struct Part {
        Fit fit = Fit::UNKNOWN;
        std::array<double, kCombinations> volume{};  // the least over allowed orientations
    };
    struct KeyHash {
        std::size_t operator()(const std::pair<const Box*, const Item*>& key) const;
    };
    static Part partOf(const Item& item, const Box& box);

    std::unordered_map<std::pair<const Box*, const Item*>, Part, KeyHash> parts_;
};

}  // namespace quarvex
