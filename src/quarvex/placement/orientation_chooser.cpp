#include "quarvex/placement/orientation_chooser.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <functional>
#include <span>
#include <utility>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/placement/orientation.hpp"

namespace quarvex {

namespace {

bool sameSizes(const OrientedItem& a, const OrientedItem& b) {
    return a.w == b.w && a.l == b.l && a.d == b.d;
}

bool fits(const OrientedItem& c, double W, double L, double D) {
    return W >= c.w && L >= c.l && D >= c.d;
}

// Passes the raw candidates, before the fit test, to `offer` until it
// returns false: only the item's first ordering with the preferred sizes
// when it has the preferred orientation's shape and such an ordering, else
// every ordering.
template <class Offer>
void forEachRawCandidate(const Item& item, const OrientedItem* preferred, Offer offer) {
    const std::array<double, 3> sizes{item.width(), item.length(), item.depth()};
    const std::span<const Ordering> orderings = allowedOrderings(item.allowed_rotation());
    if (preferred && sameShape(*preferred, item)) {
        for (const Ordering& ordering : orderings) {
            const OrientedItem candidate = orient(item, sizes, ordering);
            if (sameSizes(candidate, *preferred)) {
                offer(candidate);
                return;
            }
        }
    }
    for (const Ordering& ordering : orderings) {
        if (!offer(orient(item, sizes, ordering))) return;
    }
}

// Whether fittingCandidates would offer anything, without listing it.
bool anyFittingCandidate(const Item& item, const OrientedItem* preferred, double W, double L,
                         double D) {
    if (!mayFit(item, W, L, D)) {
        return false;
    }
    bool any = false;
    forEachRawCandidate(item, preferred, [&](const OrientedItem& c) {
        any = fits(c, W, L, D);
        return !any;
    });
    return any;
}

// Whether the space and every candidate have finite sizes, so that no
// difference or product of them the comparator ranks by is NaN.
bool finiteSizes(const CandidateList& candidates, const PlacementSpace& space) {
    auto finite = [](double a, double b, double c) {
        return std::isfinite(a) && std::isfinite(b) && std::isfinite(c);
    };
    return finite(space.W, space.L, space.D) &&
           std::all_of(candidates.begin(), candidates.end(),
                       [&](const OrientedItem& c) { return finite(c.w, c.l, c.d); });
}

// Ranks two candidates for one free space: negative puts a first.
class OrientationComparator {
public:
    OrientationComparator(const Item& item, const PlacementSpace& space)
        : item_(item), space_(space) {}

    int operator()(const OrientedItem& a, const OrientedItem& b) {
        const double W = space_.W, L = space_.L, D = space_.D;
        if (int fill = fillFirst(W - a.w, W - b.w)) return fill;
        if (int fill = fillFirst(L - a.l, L - b.l)) return fill;
        if (int fill = fillFirst(D - a.d, D - b.d)) return fill;

        const ItemQueue& remaining = space_.remaining;
        const std::size_t n = remaining.size() + 1;
        if (n >= 2 && homogeneous()) {
            const std::int64_t ga = gridCount(W, L, D, a.w, a.l, a.d);
            const std::int64_t gb = gridCount(W, L, D, b.w, b.l, b.d);
            const auto wanted = static_cast<std::int64_t>(n);
            const bool aHoldsAll = ga >= wanted;
            const bool bHoldsAll = gb >= wanted;
            if (aHoldsAll != bHoldsAll) return aHoldsAll ? -1 : 1;
            if (ga != gb) return ga > gb ? -1 : 1;
        }

        if (!remaining.empty()) {
            const bool roomA = roomBeside(a);
            const bool roomB = roomBeside(b);
            if (roomA != roomB) return roomA ? -1 : 1;

            const std::int32_t sa = score(a);
            const std::int32_t sb = score(b);
            if (sa != sb) return sa > sb ? -1 : 1;
        }

        if (a.item->allowed_rotation() == Rotation::BEST_FIT) {
            const auto [s1, s2, s3] = sortedDimensions(*a.item);
            (void)s2;
            if (s3 > 0.0 && s1 / s3 <= 0.3) {
                const bool aFlat = std::abs(a.d - s1) < 1e-9;
                const bool bFlat = std::abs(b.d - s1) < 1e-9;
                if (aFlat != bFlat) return aFlat ? -1 : 1;
            }
        }

        const double ma = std::min(L - a.l, W - a.w);
        const double mb = std::min(L - b.l, W - b.w);
        if (ma != mb) return ma < mb ? -1 : 1;

        const double fa = a.w * a.l;
        const double fb = b.w * b.l;
        if (fa != fb) return fa < fb ? -1 : 1;
        return 0;
    }

private:
    // A candidate that fills the extent exactly (or overfills it) comes first.
    static int fillFirst(double ra, double rb) {
        if (ra <= 0.0 && rb > 0.0) return -1;
        if (ra > 0.0 && rb <= 0.0) return 1;
        return 0;
    }

    // Every candidate is an ordering of the same item, so "all queued items
    // have the candidate's shape" is one question per choice.
    bool homogeneous() {
        if (!homogeneousKnown_) {
            homogeneous_ = space_.remaining.allSameShapeAs(item_);
            homogeneousKnown_ = true;
        }
        return homogeneous_;
    }

    // Whether the next queued item has an orientation in the strip beside the
    // candidate. That depends on the candidate only through its sizes (they
    // make the strip, and an item of its shape is offered those sizes), and
    // the sort asks at each of its comparisons: each candidate asks once.
    bool roomBeside(const OrientedItem& c) {
        for (std::size_t i = 0; i < roomed_; ++i) {
            const OrientedItem& known = rooms_[i].candidate;
            if (sameBits(known.w, c.w) && sameBits(known.l, c.l) && sameBits(known.d, c.d)) {
                return rooms_[i].room;
            }
        }
        const bool room =
            anyFittingCandidate(*space_.remaining.front(), &c, space_.W - c.w, space_.L, space_.D);
        if (roomed_ < rooms_.size()) rooms_[roomed_++] = {c, room};
        return room;
    }

    // The sort asks for a candidate's score at each of its comparisons. A
    // score depends on the candidate only through its w and its row depth
    // (the larger of its l and the row's): those two make the blocks the
    // look-ahead packs, and nothing else of the candidate reaches its trials.
    // So candidates that agree on both, bitwise, share one score per choice.
    std::int32_t score(const OrientedItem& c) {
        const double depth = std::max(c.l, space_.rowDepth);
        for (std::size_t i = 0; i < scored_; ++i) {
            if (sameBits(scores_[i].w, c.w) && sameBits(scores_[i].depth, depth)) {
                return scores_[i].score;
            }
        }
        if (!lookAhead_) lookAhead_.emplace(space_);
        const std::int32_t s = lookAhead_->score(c);
        if (scored_ < scores_.size()) scores_[scored_++] = {c.w, depth, s};
        return s;
    }

    static bool sameBits(double a, double b) {
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    }

    struct Roomed {
        OrientedItem candidate;
        bool room;
    };
    struct Scored {
        double w, depth;
        std::int32_t score;
    };

    const Item& item_;
    const PlacementSpace& space_;
    bool homogeneous_ = false;
    bool homogeneousKnown_ = false;
    std::optional<LookAhead> lookAhead_;  // made at the first score asked for
    std::array<Roomed, 6> rooms_;         // at most six orientations
    std::size_t roomed_ = 0;
    std::array<Scored, 6> scores_;
    std::size_t scored_ = 0;
};

}  // namespace

OrientationChooser::OrientationChooser(BoxPtr box, bool lookAheadDisabled)
    : box_(std::move(box)), lookAheadDisabled_(lookAheadDisabled) {}

bool OrientationChooser::canStandStably(const Item& item) {
    // The same item always builds the same key; skip the formatting.
    if (auto known = stableByItem_.find(&item); known != stableByItem_.end()) {
        return known->second;
    }
    const bool stable = canStandStablyByKey(item);
    stableByItem_.emplace(&item, stable);
    return stable;
}

std::size_t OrientationChooser::StableKeyHash::operator()(const StableKey& key) const {
    std::size_t hash = static_cast<std::size_t>(key.rotation);
    for (const FixedKey& part : {key.width, key.length, key.depth}) {
        const auto low = static_cast<std::uint64_t>(part.magnitude);
        const auto high = static_cast<std::uint64_t>(part.magnitude >> 64);
        const std::uint64_t tag = static_cast<std::uint64_t>(part.kind) << 1 | part.negative;
        hash = hash * 1000003u ^ std::hash<std::uint64_t>{}(low ^ high * 31 ^ tag);
    }
    return hash;
}

bool OrientationChooser::canStandStablyByKey(const Item& item) {
    const StableKey key{fixedKey(item.width()), fixedKey(item.length()), fixedKey(item.depth()),
                        static_cast<std::int32_t>(item.allowed_rotation())};
    auto found = stableCache_.find(key);
    if (found != stableCache_.end()) {
        return found->second;
    }
    const CandidateList candidates =
        fittingCandidates(item, nullptr, box_->width(), box_->length(), box_->depth());
    const bool stable = std::any_of(candidates.begin(), candidates.end(), isStableOrientation);
    stableCache_.emplace(key, stable);
    return stable;
}

CandidateList fittingCandidates(const Item& item, const OrientedItem* preferred, double W, double L,
                                double D) {
    CandidateList kept;
    if (!mayFit(item, W, L, D)) {
        return kept;
    }
    // Orderings of three different sides never repeat sizes (nor do those
    // of a NaN side, which equals nothing), so they need no search.
    const auto& sides = sortedDimensions(item);
    const bool mayRepeat = sides[0] == sides[1] || sides[1] == sides[2];
    forEachRawCandidate(item, preferred, [&](const OrientedItem& candidate) {
        if (!fits(candidate, W, L, D)) return true;
        const bool duplicate =
            mayRepeat && std::any_of(kept.begin(), kept.end(), [&](const OrientedItem& k) {
                return sameSizes(k, candidate);
            });
        if (!duplicate) kept.push_back(candidate);
        return true;
    });
    return kept;
}

void preferStable(OrientationChooser& chooser, const Item& item, CandidateList& candidates) {
    const double boxDepth = chooser.box().depth();
    // Spanning the full inner height counts as stable: the lid holds it.
    auto stable = [&](const OrientedItem& c) { return isStableOrientation(c) || c.d == boxDepth; };
    // Kept in place and in order: each candidate is read before its slot
    // can be written.
    std::size_t kept = 0;
    for (const OrientedItem& candidate : candidates) {
        if (stable(candidate)) candidates[kept++] = candidate;
    }
    if (kept > 0 || candidates.empty()) {
        candidates.truncate(kept);
        return;
    }
    // Only unstable orderings fit: hold the item back for a space where it
    // can stand stably, if the box has one.
    if (chooser.canStandStably(item)) {
        candidates.truncate(0);
    }
}

std::optional<OrientedItem> chooseOrientation(OrientationChooser& chooser, const Item& item,
                                              const OrientedItem* preferred,
                                              const PlacementSpace& space, bool stabilityCheck) {
    CandidateList candidates = fittingCandidates(item, preferred, space.W, space.L, space.D);
    if (stabilityCheck) {
        preferStable(chooser, item, candidates);
    }
    if (candidates.empty()) {
        return std::nullopt;
    }
    if (candidates.size() == 1) {
        return candidates[0];
    }
    OrientationComparator compare(item, space);
    auto before = [&](const OrientedItem& a, const OrientedItem& b) { return compare(a, b) < 0; };
    if (!finiteSizes(candidates, space)) {
        insertionSort(candidates, 0, candidates.size(), before);
        return candidates[0];
    }
    // The comparator ranks candidates by a tuple of keys, and with finite
    // sizes no key is NaN: it is then a strict weak order, under which the
    // stable sort's first candidate is the first of the least ones. One pass
    // finds it with fewer comparisons, so fewer look-ahead scores are asked.
    std::size_t best = 0;
    for (std::size_t i = 1; i < candidates.size(); ++i) {
        if (before(candidates[i], candidates[best])) best = i;
    }
    return candidates[best];
}

}  // namespace quarvex
