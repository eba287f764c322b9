#include "quarvex/placement/look_ahead.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "quarvex/model/box.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/box_filler.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

constexpr std::size_t kLookAheadItems = 7;
// Bounds the memo to a few tens of megabytes. Clearing it changes no result:
// a key determines its trial completely, so a recomputed score is the same.
constexpr std::size_t kMemoCapacity = 50'000;

using Memo = std::unordered_map<std::string, std::int32_t>;
// Bit i set: the trial placed the i-th of its items in sorted order.
using PlacedMemo = std::unordered_map<std::string, std::uint8_t>;

struct LookAheadState {
    Memo scores;
    // A trial's outcome in one block. Different questions often pack the
    // same items into the same block (candidates sharing a row depth, the
    // same space asked again with another item in front), and a trial is
    // a whole nested packing.
    PlacedMemo placed;
    std::string key;  // reused for lookups
};

// One per thread: calls on other threads never wait for it, and a thread's
// later calls reuse what its earlier ones scored. Never inlined: inlined, the
// compiler recomputes the address at each use of the key, and from a shared
// library each time is a call.
[[gnu::noinline]] LookAheadState& threadState() {
    thread_local LookAheadState state;
    return state;
}

// Exact encoding: distinct values never share a key.
template <class T>
void appendBytes(std::string& key, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    key.append(bytes, sizeof(T));
}

// The key lists the items in the order the trial run sorts them into, so
// equal keys always run equal trials. Of the candidate it holds only what
// shapes the two blocks, its width and the row depth, so candidates that
// differ in length alone share a score.
void buildKey(std::string& key, const PlacementSpace& space, const OrientedItem& candidate,
              double depth, const std::array<const Item*, kLookAheadItems>& items,
              std::size_t count) {
    key.clear();
    for (double value : {space.W, space.L, space.D, candidate.w, depth}) {
        appendBytes(key, value);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Item& item = *items[i];
        appendBytes(key, static_cast<std::int32_t>(item.allowed_rotation()));
        for (double value : {item.weight(), item.depth(), item.length(), item.width()}) {
            appendBytes(key, value);
        }
    }
}

// The order a trial's item collection sorts its items into (a stable
// insertion sort for so few).
void sortAsTrial(std::array<const Item*, kLookAheadItems>& items, std::size_t count) {
    static const DefaultItemSorter sorter;
    auto before = [](const Item* a, const Item* b) { return sorter.compare(*a, *b) < 0; };
    insertionSort(items, 0, count, before);
}

// The look-ahead items no trial has placed yet, in queue order.
struct TrialItems {
    std::array<const ItemPtr*, kLookAheadItems> items{};
    std::size_t count = 0;
};

// A trial's key: the block and its items in the order the trial sorts them
// into, by what a trial reads of them (a block has no weight limit, so
// weights only order the items, and the order is in the key). An item with
// a NaN side is told from others by identity, which no key holds, so such
// trials have no key.
bool buildTrialKey(std::string& key, double width, double length, double depth,
                   const std::array<const Item*, kLookAheadItems>& sorted, std::size_t count) {
    key.clear();
    for (double value : {width, length, depth}) {
        appendBytes(key, value);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const Item& item = *sorted[i];
        const auto& sizes = sortedDimensions(item);
        if (std::isnan(sizes[0]) || std::isnan(sizes[1]) || std::isnan(sizes[2])) {
            return false;
        }
        appendBytes(key, static_cast<std::int32_t>(item.allowed_rotation()));
        for (double value : {item.width(), item.length(), item.depth()}) {
            appendBytes(key, value);
        }
    }
    return true;
}

// Which of the sorted items a nested packing of the block places.
std::uint8_t runTrial(double width, double length, double depth, const TrialItems& left,
                      const std::array<const Item*, kLookAheadItems>& sorted) {
    ItemCollection items(std::make_shared<DefaultItemSorter>());
    for (std::size_t i = 0; i < left.count; ++i) {
        items.insert(*left.items[i]);
    }
    BoxFiller filler(std::make_shared<WorkingVolume>(width, length, depth));
    filler.lookAheadDisabled = true;
    ++fillCounts().lookAhead;
    const PackedBox packed = filler.pack(items);
    std::uint8_t placed = 0;
    for (const PackedItem& p : packed.items) {
        for (std::size_t i = 0; i < left.count; ++i) {
            if (!(placed >> i & 1u) && sorted[i] == p.item.get()) {
                placed |= static_cast<std::uint8_t>(1u << i);
                break;
            }
        }
    }
    return placed;
}

void placeInto(double width, double length, double depth, TrialItems& left, LookAheadState& state) {
    // The order the trial's item collection sorts them into.
    std::array<const Item*, kLookAheadItems> sorted{};
    for (std::size_t i = 0; i < left.count; ++i) {
        sorted[i] = left.items[i]->get();
    }
    sortAsTrial(sorted, left.count);
    // The trial's one layer starts on the whole block and asks each item
    // whether some ordering of it may fit there first, so a block none of
    // them passes stays empty.
    if (std::none_of(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(left.count),
                     [&](const Item* item) { return mayFit(*item, width, length, depth); })) {
        return;
    }

    std::uint8_t placed = 0;
    if (!buildTrialKey(state.key, width, length, depth, sorted, left.count)) {
        placed = runTrial(width, length, depth, left, sorted);
    } else if (auto found = state.placed.find(state.key); found != state.placed.end()) {
        placed = found->second;
    } else {
        // The trial may pack on this thread again (a signal handler run by
        // a poll), so the key leaves the shared buffer first.
        std::string key = std::move(state.key);
        placed = runTrial(width, length, depth, left, sorted);
        if (state.placed.size() >= kMemoCapacity) {
            state.placed.clear();
        }
        state.placed.emplace(std::move(key), placed);
    }

    // Each placed item leaves as its first remaining entry, as a collection
    // removes packed items.
    const std::size_t count = left.count;
    for (std::size_t i = 0; i < count; ++i) {
        if (!(placed >> i & 1u)) continue;
        for (std::size_t k = 0; k < left.count; ++k) {
            if (left.items[k]->get() == sorted[i]) {
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

std::int32_t lookAheadScore(const PlacementSpace& space, const OrientedItem& candidate) {
    if (space.lookAheadDisabled) {
        return 0;
    }
    const double depth = std::max(candidate.l, space.rowDepth);
    const std::size_t count = std::min(kLookAheadItems, space.remaining.size());

    std::array<const Item*, kLookAheadItems> items{};
    for (std::size_t i = 0; i < count; ++i) {
        items[i] = space.remaining[i].get();
    }
    sortAsTrial(items, count);

    LookAheadState& state = threadState();
    buildKey(state.key, space, candidate, depth, items, count);
    Memo& scores = state.scores;
    if (auto found = scores.find(state.key); found != scores.end()) {
        return found->second;
    }
    // A miss takes the key over, since a signal handler run by a poll in the
    // trial below may pack on this thread and build a key of its own.
    std::string missed = std::move(state.key);

    TrialItems left;
    for (; left.count < count; ++left.count) {
        left.items[left.count] = &space.remaining[left.count];
    }
    placeInto(space.W - candidate.w, depth, space.D, left, state);  // beside the candidate
    placeInto(space.W, space.L - depth, space.D, left, state);      // beyond its row
    const auto score = static_cast<std::int32_t>(count - left.count);

    if (scores.size() >= kMemoCapacity) {
        scores.clear();
    }
    scores.emplace(std::move(missed), score);
    return score;
}

std::size_t lookAheadMemoSize() {
    return threadState().scores.size();
}

}  // namespace quarvex
