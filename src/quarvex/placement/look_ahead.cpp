#include "quarvex/placement/look_ahead.hpp"

#include <algorithm>
#include <bit>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>

#include "quarvex/model/box.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/packing/layer_builder.hpp"
#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

// Bounds the memo to a few tens of megabytes. Clearing it changes no result:
// a key determines its trial completely, so a recomputed score is the same.
constexpr std::size_t kMemoCapacity = 50'000;

struct StoredHash {
    template <class Key>
    std::size_t operator()(const Key& key) const {
        return key.hash;
    }
};

struct LookAheadState {
    std::unordered_map<ScoreKey, std::int32_t, StoredHash> scores;
    // A trial's outcome in one block, bit i set when it placed the i-th of
    // its items in sorted order. Different questions often pack the same
    // items into the same block (candidates sharing a row depth, the same
    // space asked again with another item in front), and a trial is a whole
    // nested packing.
    std::unordered_map<TrialKey, std::uint8_t, StoredHash> placed;
};

// One per thread: calls on other threads never wait for it, and a thread's
// later calls reuse what its earlier ones scored. Never inlined: inlined, each
// use is a call to find the thread's copy.
[[gnu::noinline]] LookAheadState& threadState() {
    thread_local LookAheadState state;
    return state;
}

std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

std::uint64_t bits(Rotation rule) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(rule));
}

// The order a trial's item collection sorts its items into (a stable
// insertion sort for so few).
void sortAsTrial(ItemOrder& items, std::size_t count) {
    static const DefaultItemSorter sorter;
    auto before = [](const ItemPtr* a, const ItemPtr* b) { return sorter.compare(**a, **b) < 0; };
    insertionSort(items, 0, count, before);
}

// A trial's items in the order it sorts them into, by what a trial reads of
// them (a block has no weight limit, so weights only order the items, and
// the order is in the key). An item with a NaN side is told from others by
// identity, which no key holds, so such items have no key.
bool trialItemsKey(TrialKey& key, const ItemOrder& sorted, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Item& item = **sorted[i];
        if (hasNaNSize(item)) {
            return false;
        }
        key.push(bits(item.allowed_rotation()));
        for (double value : {item.width(), item.length(), item.depth()}) {
            key.push(bits(value));
        }
    }
    return true;
}

// The look-ahead items no trial has placed yet, in queue order.
struct TrialItems {
    std::array<const ItemPtr*, kLookAheadItems> items{};
    std::size_t count = 0;
};

// Which of the sorted items a nested packing of the block places: one try
// of layers from the floor up, no first orientation forced, no restacking
// and no gap filling.
std::uint8_t runTrial(double width, double length, double depth, const TrialItems& left,
                      const ItemOrder& sorted) {
    WorkingVolume block(width, length, depth);
    // Borrowed, not shared: the trial's packing is gone before the block.
    BoxFiller filler(BoxPtr(BoxPtr(), &block));
    filler.lookAheadDisabled = true;
    ++fillCounts().lookAhead;
    // The items stay in placement order; only which went in is read.
    const PackedBox packed =
        packLayers(filler, width, length, std::nullopt,
                   ItemQueue(std::span<const ItemPtr* const>(sorted.data(), left.count)), nullptr);
    std::uint8_t placed = 0;
    for (const PackedItem& p : packed.items) {
        for (std::size_t i = 0; i < left.count; ++i) {
            if (!(placed >> i & 1u) && sorted[i]->get() == p.item.get()) {
                placed |= static_cast<std::uint8_t>(1u << i);
                break;
            }
        }
    }
    return placed;
}

// Packs the items left into the block and drops those it places. `sorted`
// is their trial order, `itemsKey` their part of the trial's key (none:
// the trial goes unmemoised).
void placeInto(double width, double length, double depth, TrialItems& left, const ItemOrder& sorted,
               const TrialKey* itemsKey) {
    // The trial's one layer starts on the whole block and asks each item
    // whether some ordering of it may fit there first, so a block none of
    // them passes stays empty.
    const auto space = sortedDimensions(width, length, depth);
    if (std::none_of(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(left.count),
                     [&](const ItemPtr* item) { return mayFitSorted(**item, space); })) {
        return;
    }

    std::uint8_t placed = 0;
    if (!itemsKey) {
        placed = runTrial(width, length, depth, left, sorted);
    } else {
        TrialKey key = *itemsKey;
        for (double value : {width, length, depth}) {
            key.push(bits(value));
        }
        // The trial may pack on this thread again (a signal handler run by a
        // poll), so nothing of the memo is held across it.
        auto& memo = threadState().placed;
        if (auto found = memo.find(key); found != memo.end()) {
            placed = found->second;
        } else {
            placed = runTrial(width, length, depth, left, sorted);
            if (memo.size() >= kMemoCapacity) {
                memo.clear();
            }
            memo.emplace(key, placed);
        }
    }

    // Each placed item leaves as its first remaining entry, as a collection
    // removes packed items.
    const std::size_t count = left.count;
    for (std::size_t i = 0; i < count; ++i) {
        if (!(placed >> i & 1u)) continue;
        for (std::size_t k = 0; k < left.count; ++k) {
            if (left.items[k]->get() == sorted[i]->get()) {
                std::copy(left.items.begin() + static_cast<std::ptrdiff_t>(k + 1),
                          left.items.begin() + static_cast<std::ptrdiff_t>(left.count),
                          left.items.begin() + static_cast<std::ptrdiff_t>(k));
                --left.count;
                break;
            }
        }
    }
}

}  // namespace

LookAhead::LookAhead(const PlacementSpace& space) : space_(space) {
    if (space.lookAheadDisabled) {
        return;
    }
    count_ = std::min(kLookAheadItems, space.remaining.size());
    for (std::size_t i = 0; i < count_; ++i) {
        sorted_[i] = &space.remaining[i];
    }
    sortAsTrial(sorted_, count_);

    // Listing the items in the order the trial runs sort them into makes
    // equal keys run equal trials.
    for (double value : {space.W, space.L, space.D}) {
        scorePrefix_.push(bits(value));
    }
    for (std::size_t i = 0; i < count_; ++i) {
        const Item& item = **sorted_[i];
        scorePrefix_.push(bits(item.allowed_rotation()));
        for (double value : {item.weight(), item.depth(), item.length(), item.width()}) {
            scorePrefix_.push(bits(value));
        }
    }
}

const TrialKey* LookAhead::trialPrefix() const {
    if (!trialKeyKnown_) {
        trialKeyed_ = trialItemsKey(trialPrefix_, sorted_, count_);
        trialKeyKnown_ = true;
    }
    return trialKeyed_ ? &trialPrefix_ : nullptr;
}

std::int32_t LookAhead::score(const OrientedItem& candidate) const {
    if (space_.lookAheadDisabled) {
        return 0;
    }
    // Of the candidate the key holds only what shapes the two blocks, its
    // width and the row depth, so candidates that differ in length alone
    // share a score.
    const double depth = std::max(candidate.l, space_.rowDepth);
    ScoreKey key = scorePrefix_;
    key.push(bits(candidate.w));
    key.push(bits(depth));
    auto& scores = threadState().scores;
    if (auto found = scores.find(key); found != scores.end()) {
        return found->second;
    }

    TrialItems left;
    for (; left.count < count_; ++left.count) {
        left.items[left.count] = &space_.remaining[left.count];
    }
    // Beside the candidate: every item is there, in the order sorted once.
    placeInto(space_.W - candidate.w, depth, space_.D, left, sorted_, trialPrefix());
    // Beyond its row: the same order and key while nothing has left.
    if (left.count == count_) {
        placeInto(space_.W, space_.L - depth, space_.D, left, sorted_, trialPrefix());
    } else {
        ItemOrder sorted{};
        for (std::size_t i = 0; i < left.count; ++i) {
            sorted[i] = left.items[i];
        }
        sortAsTrial(sorted, left.count);
        TrialKey itemsKey;
        const bool keyed = trialItemsKey(itemsKey, sorted, left.count);
        placeInto(space_.W, space_.L - depth, space_.D, left, sorted, keyed ? &itemsKey : nullptr);
    }
    const auto score = static_cast<std::int32_t>(count_ - left.count);

    if (scores.size() >= kMemoCapacity) {
        scores.clear();
    }
    scores.emplace(key, score);
    return score;
}

std::size_t lookAheadMemoSize() {
    return threadState().scores.size();
}

}  // namespace quarvex
