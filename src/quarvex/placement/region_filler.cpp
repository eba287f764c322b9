#include "quarvex/placement/region_filler.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "quarvex/placement/orientation.hpp"
#include "quarvex/runtime/cancellation.hpp"

namespace quarvex {

namespace {

// A running minimum or maximum that gives exactly what folding the values
// one by one would give, also when partial folds are merged: the fold keeps
// a NaN first value for good and otherwise skips NaN values.
template <bool Smallest>
class Fold {
public:
    void add(double value) {
        sequential_ = empty_ ? value : pick(sequential_, value);
        empty_ = false;
        addClean(value);
    }
    // Continues this fold with the values another fold has seen, in order.
    void append(const Fold& later) {
        if (later.empty_) return;
        if (empty_) {
            *this = later;
            return;
        }
        if (later.hasClean_) {
            sequential_ = pick(sequential_, later.clean_);
            addClean(later.clean_);
        }
    }
    double value() const { return sequential_; }

private:
    static double pick(double current, double candidate) {
        return Smallest ? std::min(current, candidate) : std::max(current, candidate);
    }
    void addClean(double value) {
        if (std::isnan(value)) return;
        clean_ = hasClean_ ? pick(clean_, value) : value;
        hasClean_ = true;
    }

    bool empty_ = true;
    double sequential_ = 0.0;
    bool hasClean_ = false;
    double clean_ = 0.0;
};

// The z extent of what one region fill has placed, sub-fills included.
struct HeightSpan {
    Fold<true> start;
    Fold<false> end;

    void add(const PackedItem& p) {
        start.add(p.z);
        end.add(p.z + p.depth);
    }
    void append(const HeightSpan& later) {
        start.append(later.start);
        end.append(later.end);
    }
    double depth() const { return end.value() - start.value(); }
};

enum class Step { PlaceItem, AfterTop, AfterFront };

// One region fill in progress. Sub-regions are filled depth first through an
// explicit stack of these, so no input can exhaust the native stack.
struct Frame {
    // Starts a fill; the deferred list keeps its capacity from earlier fills.
    void start(const Region& r, double ceiling, std::optional<OrientedItem> first) {
        region = r;
        stackCeiling = ceiling;
        preset = first;
        span = HeightSpan{};
        x = r.x0;
        y = r.y0;
        rowDepth = 0;
        last.reset();
        deferred.clear();
        next = Step::PlaceItem;
    }

    Region region{};
    double stackCeiling = 0;
    std::optional<OrientedItem> preset;
    HeightSpan span;
    double x = 0, y = 0;  // cursor
    double rowDepth = 0;  // largest placed length in the current row
    std::optional<OrientedItem> last;
    std::vector<QueuedItem> deferred;
    Step next = Step::PlaceItem;
    double placedWidth = 0, placedLength = 0, placedDepth = 0;
};

// Working storage of one fill and its sub-fills. Fills run every few
// microseconds, so their storage is kept for the next fill at the same
// nesting level (a look-ahead runs fills inside a fill) instead of being
// allocated anew each time.
struct Scratch {
    std::vector<Frame> frames;  // frames[0..depth) are the fills in progress
    std::vector<PackedItem> placed;
};

struct ScratchPool {
    std::vector<std::unique_ptr<Scratch>> scratches;
    std::size_t level = 0;  // scratches[0..level) are leased
};

// Per thread, like the look-ahead memo, so that calls on several threads
// never share a fill's storage. Never inlined, for the same reason as the
// memo's lookup: the address is computed once per lease, not at each use.
[[gnu::noinline]] ScratchPool& threadScratchPool() {
    thread_local ScratchPool pool;
    return pool;
}

class ScratchLease {
public:
    ScratchLease() : pool_(threadScratchPool()) {
        if (pool_.level == pool_.scratches.size()) {
            pool_.scratches.push_back(std::make_unique<Scratch>());
        }
        scratch_ = pool_.scratches[pool_.level++].get();
    }
    ~ScratchLease() {
        scratch_->placed.clear();  // releases the items now, not at the next fill
        --pool_.level;
    }
    ScratchLease(const ScratchLease&) = delete;
    ScratchLease& operator=(const ScratchLease&) = delete;
    Scratch& operator*() const { return *scratch_; }

private:
    ScratchPool& pool_;
    Scratch* scratch_;
};

// Whether the item at the cursor is dropped for its weight, is the preset or
// may fit the space (sizes sorted); when none of these holds, it is deferred.
bool isDroppedOrMayFit(const Frame& f, const Item& item, const std::array<double, 3>& space,
                       bool unlimited, double weightLeft) {
    return (!unlimited && item.weight() > weightLeft) || (f.preset && f.preset->item == &item) ||
           mayFitSorted(item, space);
}

// In a long queue most items cannot fit the space at the cursor, and each
// of them is deferred with the same-shaped items right behind it. Finding
// that run of items first and deferring it in one step does exactly what
// placing them one by one would do: the run stops before an item that the
// weight check drops, that is the preset or that may fit, and it leaves one
// item queued, since the last item's failure decides the row.
std::size_t unfittingRun(const Frame& f, const std::array<double, 3>& space, const ItemQueue& queue,
                         bool unlimited, double weightLeft) {
    const std::span<const QueuedItem> queued = queue.queued();
    const std::size_t n = queued.size();
    std::size_t run = 0;
    while (run + 1 < n) {
        if (isDroppedOrMayFit(f, **queued[run].item, space, unlimited, weightLeft)) break;
        const std::uint32_t shape = queued[run].shape;
        ++run;
        while (run + 1 < n && queued[run].shape == shape) ++run;
    }
    return run;
}

// Whether every queued item would be deferred at the cursor, known without
// a scan: bounds over the whole item list rule out a fit and a drop, and no
// preset waits.
bool noneCanGo(const Frame& f, const std::array<double, 3>& space, const ItemQueue& queue,
               bool unlimited, double weightLeft) {
    return !f.preset && queue.noneMayFitSorted(space) &&
           (unlimited || queue.noneHeavierThan(weightLeft));
}

// After the row's last try: an empty row ends the fill, otherwise the next
// row starts.
bool closeRow(Frame& f) {
    if (f.x <= f.region.x0) {
        return true;
    }
    f.y += f.rowDepth;
    f.x = f.region.x0;
    f.rowDepth = 0;
    f.last.reset();
    return false;
}

}  // namespace

Layer fillRegion(OrientationChooser& chooser, ItemQueue& queue, double& packedWeight,
                 const Region& region, double stackCeiling, bool stabilityCheck,
                 std::optional<OrientedItem> preset) {
    Layer result;
    if (queue.empty()) {
        return result;
    }
    const double limit = chooser.box().max_content_weight();
    const bool unlimited = limit < 0.0;
    // Every item lands in `placed` in placement order; a fill's result lists
    // its own items each followed by what its sub-fills placed, which is
    // exactly that order.
    const ScratchLease lease;
    std::vector<PackedItem>& placed = (*lease).placed;
    std::vector<Frame>& frames = (*lease).frames;
    std::size_t depth = 0;  // fills in progress: frames[0..depth)
    auto startFill = [&](const Region& r, double ceiling, std::optional<OrientedItem> first) {
        if (depth == frames.size()) frames.emplace_back();
        frames[depth++].start(r, ceiling, first);
    };

    // Looked up once: polled every step, so that no fill runs unchecked for long.
    Cancellation* const cancellation = currentCancellation();
    startFill(region, stackCeiling, preset);
    while (true) {
        if (cancellation) cancellation->poll();
        Frame& f = frames[depth - 1];
        bool startChild = false;  // a sub-fill of `childRegion` comes next
        Region childRegion{};
        double childCeiling = 0.0;
        bool finished = false;
        switch (f.next) {
            case Step::PlaceItem: {
                // The sizes of the space at the cursor, sorted once for every
                // test of this step.
                const auto room =
                    sortedDimensions(f.region.x1 - f.x, f.region.y1 - f.y, f.region.h);
                const double weightLeft = limit - packedWeight;
                const bool none = noneCanGo(f, room, queue, unlimited, weightLeft);
                const std::size_t run =
                    none ? queue.size() - 1 : unfittingRun(f, room, queue, unlimited, weightLeft);
                if (none || (run + 1 == queue.size() &&
                             !isDroppedOrMayFit(f, *queue[run], room, unlimited, weightLeft))) {
                    // Every queued item would be deferred and then all of them
                    // put back in front, which leaves the queue as putting
                    // back the earlier deferred ones alone does.
                    queue.prependAll(f.deferred);
                    finished = closeRow(f);
                    break;
                }
                queue.popFrontInto(run, f.deferred);
                const QueuedItem cur = queue.pop_front();
                const Item& item = **cur.item;
                if (!unlimited && item.weight() > limit - packedWeight) {
                    finished = queue.empty();  // dropped: neither placed nor deferred
                    break;
                }
                std::optional<OrientedItem> choice;
                if (f.preset && f.preset->item == &item) {
                    choice = f.preset;
                    f.preset.reset();
                } else if (mayFitSorted(item, room)) {
                    // An item that cannot fit the room gets no orientation, so it is asked first.
                    const PlacementSpace space{f.region.x1 - f.x, f.region.y1 - f.y,
                                               f.region.h,        queue,
                                               f.rowDepth,        chooser.lookAheadDisabled()};
                    choice = chooseOrientation(chooser, item, f.last ? &*f.last : nullptr, space,
                                               stabilityCheck);
                }
                if (!choice) {
                    if (!queue.empty()) {
                        // Defer it and the same-shaped items right behind it; one
                        // item always stays queued so that its failure opens a row.
                        f.deferred.push_back(cur);
                        while (queue.size() > 1 && queue.frontShape() == cur.shape) {
                            f.deferred.push_back(queue.pop_front());
                        }
                        break;
                    }
                    f.deferred.push_back(cur);
                    queue.prependAll(f.deferred);
                    finished = closeRow(f);
                    break;
                }
                PackedItem p{*cur.item, choice->w, choice->l, choice->d, std::string(choice->code),
                             f.x,       f.y,       f.region.z};
                packedWeight += p.weight();
                f.rowDepth = std::max(f.rowDepth, p.length);
                f.last = choice;
                f.placedWidth = p.width;
                f.placedLength = p.length;
                f.placedDepth = p.depth;
                f.span.add(p);
                placed.push_back(std::move(p));

                const double ceiling = f.stackCeiling > 0 ? f.stackCeiling : f.span.depth();
                const double headroom = ceiling - f.placedDepth;
                f.next = Step::AfterTop;
                if (headroom > 0 && !queue.empty()) {
                    startChild = true;
                    childRegion = {f.x,
                                   f.y,
                                   f.region.z + f.placedDepth,
                                   f.x + f.placedWidth,
                                   f.y + f.placedLength,
                                   headroom};
                    childCeiling = headroom;
                }
                break;
            }
            case Step::AfterTop: {
                f.x += f.placedWidth;
                f.next = Step::AfterFront;
                if (f.rowDepth > f.placedLength && !queue.empty()) {
                    // The strip in front of an item shallower than its row.
                    startChild = true;
                    childRegion = {f.x - f.placedWidth, f.y + f.placedLength,
                                   f.region.z,          f.x,
                                   f.y + f.rowDepth,    f.region.h};
                    childCeiling = f.span.depth();
                }
                break;
            }
            case Step::AfterFront: {
                if (queue.empty() && !f.deferred.empty()) {
                    queue.prependAll(f.deferred);
                }
                f.next = Step::PlaceItem;
                finished = queue.empty();
                break;
            }
        }
        if (startChild) {
            startFill(childRegion, childCeiling, std::nullopt);
            continue;
        }
        if (!finished) {
            continue;
        }
        // This fill is over; hand its extent to the fill that asked for it.
        --depth;
        if (depth == 0) {
            break;
        }
        frames[depth - 1].span.append(frames[depth].span);
    }
    result.items.reserve(placed.size());
    for (PackedItem& p : placed) {
        result.insert(std::move(p));
    }
    return result;
}

}  // namespace quarvex
