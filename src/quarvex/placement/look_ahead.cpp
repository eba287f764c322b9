#include "quarvex/placement/look_ahead.hpp"

#include <algorithm>
#include <array>
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

struct LookAheadState {
    Memo scores;
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
// equal keys always run equal trials.
void buildKey(std::string& key, const PlacementSpace& space, const OrientedItem& candidate,
              double depth, const std::array<const Item*, kLookAheadItems>& items,
              std::size_t count) {
    key.clear();
    for (double value : {space.W, space.L, space.D, candidate.w, candidate.l, depth}) {
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

void placeInto(double width, double length, double depth, ItemCollection& items) {
    // The trial's one layer starts on the whole block and asks each item
    // whether some ordering of it may fit there first, so a block none of
    // them passes stays empty.
    const std::vector<ItemPtr>& sorted = items.sorted();
    if (std::none_of(sorted.begin(), sorted.end(),
                     [&](const ItemPtr& item) { return mayFit(*item, width, length, depth); })) {
        return;
    }
    BoxFiller filler(std::make_shared<WorkingVolume>(width, length, depth));
    filler.lookAheadDisabled = true;
    ++fillCounts().lookAhead;
    const PackedBox packed = filler.pack(items);
    items.removePacked(packed.items);
}

}  // namespace

std::int32_t lookAheadScore(const PlacementSpace& space, const OrientedItem& candidate) {
    if (space.lookAheadDisabled) {
        return 0;
    }
    const double depth = std::max(candidate.l, space.rowDepth);
    const std::size_t count = std::min(kLookAheadItems, space.remaining.size());

    static const DefaultItemSorter sorter;
    std::array<const Item*, kLookAheadItems> items{};
    for (std::size_t i = 0; i < count; ++i) {
        items[i] = space.remaining[i].get();
    }
    auto before = [](const Item* a, const Item* b) { return sorter.compare(*a, *b) < 0; };
    insertionSort(items, 0, count, before);

    LookAheadState& state = threadState();
    buildKey(state.key, space, candidate, depth, items, count);
    Memo& scores = state.scores;
    if (auto found = scores.find(state.key); found != scores.end()) {
        return found->second;
    }
    // A miss takes the key over, since a signal handler run by a poll in the
    // trial below may pack on this thread and build a key of its own.
    std::string missed = std::move(state.key);

    ItemCollection trialItems(std::make_shared<DefaultItemSorter>());
    for (std::size_t i = 0; i < count; ++i) {
        trialItems.insert(space.remaining[i]);
    }
    placeInto(space.W - candidate.w, depth, space.D, trialItems);  // beside the candidate
    placeInto(space.W, space.L - depth, space.D, trialItems);      // beyond its row
    const auto score = static_cast<std::int32_t>(count - trialItems.size());

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
