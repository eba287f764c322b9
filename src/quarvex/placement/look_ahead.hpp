#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "quarvex/placement/item_queue.hpp"
#include "quarvex/placement/oriented_item.hpp"

namespace quarvex {

// The free space a placement is being chosen for, and what is queued behind
// the item being placed.
struct PlacementSpace {
    double W, L, D;
    const ItemQueue& remaining;
    double rowDepth;  // the caller's running row depth; 0 without a row
    bool lookAheadDisabled;
};

// Exact bits and their hash: a memo key that compares every bit, so a hash
// collision costs a comparison, never a wrong answer.
template <std::size_t Capacity>
struct BitsKey {
    std::array<std::uint64_t, Capacity> words{};
    std::size_t size = 0;
    std::size_t hash = 0;

    // Appends the words in order. Size and hash stay in locals meanwhile: a
    // store into `words`, of their type, would make the compiler reload them.
    template <class... Words>
    void push(Words... more) {
        std::size_t at = size;
        std::size_t mixed = hash;
        for (const std::uint64_t word : {static_cast<std::uint64_t>(more)...}) {
            words[at++] = word;
            mixed = (mixed ^ word) * 0xff51afd7ed558ccdULL;
            mixed ^= mixed >> 32;
        }
        size = at;
        hash = mixed;
    }

    // What the key holds so far, to come back to: a key that several
    // questions share the start of is written once and ended per question.
    struct Mark {
        std::size_t size, hash;
    };
    Mark mark() const { return {size, hash}; }
    void rewind(Mark to) {
        size = to.size;
        hash = to.hash;
    }

    // One block compare: keys that meet here mostly match, word for word.
    friend bool operator==(const BitsKey& a, const BitsKey& b) {
        return a.size == b.size &&
               std::memcmp(a.words.data(), b.words.data(), a.size * sizeof(std::uint64_t)) == 0;
    }
};

constexpr std::size_t kLookAheadItems = 7;
// The space and, per look-ahead item, its rotation rule and four figures; then
// the candidate's width and row depth.
using ScoreKey = BitsKey<3 + 5 * kLookAheadItems + 2>;
// Per item, its rotation rule and three sizes (or one mark); then the block.
using TrialKey = BitsKey<4 * kLookAheadItems + 3>;

// Look-ahead items, pointing into the queue.
using ItemOrder = std::array<const ItemPtr*, kLookAheadItems>;

// How many of the next (at most seven) queued items a trial packing fits into
// the strip beside a candidate and the space beyond its row. One per choice:
// every candidate has the same upcoming items, so they are read, sorted and
// keyed once. Scores are memoised per thread, for the life of the thread.
class LookAhead {
public:
    explicit LookAhead(const PlacementSpace& space);

    std::int32_t score(const OrientedItem& candidate) const;

private:
    const PlacementSpace& space_;
    std::size_t count_ = 0;
    // The look-ahead items in the order a trial's collection sorts them into.
    ItemOrder sorted_{};
    // The space and the sorted items, up to `scorePrefixEnd_`; each score
    // writes its candidate's part after them.
    mutable ScoreKey scoreKey_;
    ScoreKey::Mark scorePrefixEnd_{};
};

// Number of scores memoised on this thread (bounded; for tests and benchmarks).
std::size_t lookAheadMemoSize();

}  // namespace quarvex
