#include "quarvex/placement/look_ahead.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "quarvex/model/box.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/packing/layer_builder.hpp"
#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

// Answers by exact key, held in one array in the order they came, with an
// open-addressed index of their positions and their hashes' high halves (a
// probe reads an entry only when that half matches): storing one costs no
// allocation once the arrays have grown, and starting over keeps their
// storage. Bounded to a few tens of megabytes; starting over changes no
// result (a key determines its answer, so a recomputed one is the same).
template <class Key, class Value>
class AnswerTable {
public:
    std::optional<Value> find(const Key& key) const {
        if (slots_.empty()) {
            return std::nullopt;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = key.hash & mask;; i = (i + 1) & mask) {
            const Slot slot = slots_[i];
            if (slot.at == kEmpty) {
                return std::nullopt;
            }
            if (slot.tag == tagOf(key.hash) && entries_[slot.at].key == key) {
                return entries_[slot.at].value;
            }
        }
    }

    void store(const Key& key, Value value) {
        if (entries_.size() >= kCapacity) {
            entries_.clear();
            std::fill(slots_.begin(), slots_.end(), Slot{});
        }
        // At most half full, so a search meets an empty slot soon.
        if (2 * (entries_.size() + 1) > slots_.size()) {
            slots_.assign(std::max<std::size_t>(1024, 2 * slots_.size()), Slot{});
            for (std::size_t at = 0; at < entries_.size(); ++at) {
                index(entries_[at].key.hash, at);
            }
        }
        // Reserved whole at once: untouched pages take no memory, and the
        // entries are never copied into a larger array.
        if (entries_.capacity() == 0) {
            entries_.reserve(kCapacity);
        }
        entries_.emplace_back(key, value);
        index(key.hash, entries_.size() - 1);
    }

    std::size_t size() const { return entries_.size(); }

private:
    static constexpr std::size_t kCapacity = 50'000;
    static constexpr std::uint32_t kEmpty = ~std::uint32_t{0};
    struct Entry {
        Entry(const Key& key, Value value) : key(key), value(value) {}
        Key key;
        Value value;
    };
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t at = kEmpty;
    };

    // The index places entries by the hash's low bits; the high ones tell
    // most keys that meet in a slot apart.
    static std::uint32_t tagOf(std::size_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

    void index(std::size_t hash, std::size_t at) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].at != kEmpty) {
            i = (i + 1) & mask;
        }
        slots_[i] = {tagOf(hash), static_cast<std::uint32_t>(at)};
    }

    std::vector<Entry> entries_;
    std::vector<Slot> slots_;  // a power of two in size
};

struct LookAheadState {
    AnswerTable<ScoreKey, std::int32_t> scores;
    // A trial's outcome in one block, bit i set when it placed the i-th of
    // its items in sorted order. Different questions often pack the same
    // items into the same block (candidates sharing a row depth, the same
    // space asked again with another item in front), and a trial is a whole
    // nested packing.
    AnswerTable<TrialKey, std::uint8_t> placed;
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

// Where a trial key has an item that fits no ordering into its block; a
// rotation rule's word is never this.
constexpr std::uint64_t kNoFitMark = ~std::uint64_t{0};

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

// A trial's key: its items in the order it sorts them into, by what a
// trial reads of them (a block has no weight limit, so weights only order
// the items, and the order is in the key), then the block (`space` is its
// sizes sorted). An item with a NaN side is told from others by identity,
// which no key holds, so such items have no key.
//
// An item that fits no ordering into the block, beyond rounding, is never
// placed, and all the trial reads of it is that it is queued: each space it
// is asked about lies within the block, and it differs in shape from every
// item that fits. So it is keyed by a mark alone, and trials that differ
// only in such items share an answer. A size below zero can open spaces
// larger than the block, so then every item is keyed whole.
bool trialKey(TrialKey& key, const ItemOrder& sorted, std::size_t count, double width,
              double length, double depth, const std::array<double, 3>& space) {
    bool markable = space[0] >= 0.0 && std::isfinite(space[0] + space[1] + space[2]);
    for (std::size_t i = 0; i < count; ++i) {
        const Item& item = **sorted[i];
        if (hasNaNSize(item)) {
            return false;
        }
        markable = markable && sortedDimensions(item)[0] >= 0.0;
    }
    const double slack = space[2] * 1e-9;
    const std::array<double, 3> room{space[0] + slack, space[1] + slack, space[2] + slack};
    for (std::size_t i = 0; i < count; ++i) {
        const Item& item = **sorted[i];
        if (markable && !mayFitSorted(item, room)) {
            key.push(kNoFitMark);
            continue;
        }
        key.push(bits(item.allowed_rotation()), bits(item.width()), bits(item.length()),
                 bits(item.depth()));
    }
    key.push(bits(width), bits(length), bits(depth));
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
// is their trial order.
void placeInto(double width, double length, double depth, TrialItems& left,
               const ItemOrder& sorted) {
    // The trial's one layer starts on the whole block and asks each item
    // whether some ordering of it may fit there first, so a block none of
    // them passes stays empty.
    const auto space = sortedDimensions(width, length, depth);
    if (std::none_of(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(left.count),
                     [&](const ItemPtr* item) { return mayFitSorted(**item, space); })) {
        return;
    }

    std::uint8_t placed = 0;
    TrialKey key;
    if (!trialKey(key, sorted, left.count, width, length, depth, space)) {
        placed = runTrial(width, length, depth, left, sorted);
    } else {
        // The trial may pack on this thread again (a signal handler run by a
        // poll), so nothing of the memo is held across it.
        if (const std::optional<std::uint8_t> known = threadState().placed.find(key)) {
            placed = *known;
        } else {
            placed = runTrial(width, length, depth, left, sorted);
            threadState().placed.store(key, placed);
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
    scoreKey_.push(bits(space.W), bits(space.L), bits(space.D));
    for (std::size_t i = 0; i < count_; ++i) {
        const Item& item = **sorted_[i];
        scoreKey_.push(bits(item.allowed_rotation()), bits(item.weight()), bits(item.depth()),
                       bits(item.length()), bits(item.width()));
    }
    scorePrefixEnd_ = scoreKey_.mark();
}

std::int32_t LookAhead::score(const OrientedItem& candidate) const {
    if (space_.lookAheadDisabled) {
        return 0;
    }
    // Of the candidate the key holds only what shapes the two blocks, its
    // width and the row depth, so candidates that differ in length alone
    // share a score.
    const double depth = std::max(candidate.l, space_.rowDepth);
    ScoreKey& key = scoreKey_;
    key.rewind(scorePrefixEnd_);
    key.push(bits(candidate.w), bits(depth));
    if (const std::optional<std::int32_t> known = threadState().scores.find(key)) {
        return *known;
    }

    TrialItems left;
    for (; left.count < count_; ++left.count) {
        left.items[left.count] = &space_.remaining[left.count];
    }
    // Beside the candidate: every item is there, in the order sorted once.
    placeInto(space_.W - candidate.w, depth, space_.D, left, sorted_);
    // Beyond its row: the same order while nothing has left.
    if (left.count == count_) {
        placeInto(space_.W, space_.L - depth, space_.D, left, sorted_);
    } else {
        ItemOrder sorted{};
        for (std::size_t i = 0; i < left.count; ++i) {
            sorted[i] = left.items[i];
        }
        sortAsTrial(sorted, left.count);
        placeInto(space_.W, space_.L - depth, space_.D, left, sorted);
    }
    const auto score = static_cast<std::int32_t>(count_ - left.count);

    threadState().scores.store(key, score);
    return score;
}

std::size_t lookAheadMemoSize() {
    return threadState().scores.size();
}

}  // namespace quarvex
