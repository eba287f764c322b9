#include "quarvex/search/search_box.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "quarvex/packing/fit_rules.hpp"

namespace quarvex::search {

namespace {

// Higher is better. FarCorner is Goncalves and Resende's "distance to the
// front-top-right corner", which leaves the free space in one piece;
// LowBackLeft packs in layers, which some loads fill better.
double meritOf(const Block& spot, const BoxType& type, Merit merit) {
    if (merit == Merit::LowBackLeft) {
        const double scale = std::max({type.width, type.length, 1.0});
        return -((spot.z * scale + spot.y) * scale + spot.x);
    }
    const double dx = type.width - (spot.x + spot.w);
    const double dy = type.length - (spot.y + spot.l);
    const double dz = type.depth - (spot.z + spot.d);
    return dx * dx + dy * dy + dz * dz;
}

double overlap(double aStart, double aSize, double bStart, double bSize) {
    return std::min(aStart + aSize, bStart + bSize) - std::max(aStart, bStart);
}

bool within(double value, double start, double size) {
    return start <= value && value < start + size;
}

constexpr int kX = 0;
constexpr int kY = 1;
constexpr int kZ = 2;

double startOf(const Block& b, int axis) {
    return axis == kX ? b.x : axis == kY ? b.y : b.z;
}
double extentOf(const Block& b, int axis) {
    return axis == kX ? b.w : axis == kY ? b.l : b.d;
}
double coordinateOf(const Point& p, int axis) {
    return axis == kX ? p.x : axis == kY ? p.y : p.z;
}

}  // namespace

SearchBox::SearchBox(const Problem& problem, int type) : problem_(&problem), type_(type) {
    points_.push_back({0.0, 0.0, 0.0});
}

double SearchBox::fill() const {
    const double volume = problem_->types[type_].volume;
    return volume > 0.0 ? contentVolume_ / volume : 1.0;
}

bool SearchBox::admits(const SearchItem& item) const {
    const BoxType& type = problem_->types[type_];
    if (item.group >= 0 && group_ >= 0 && item.group != group_) return false;
    if (!withinContentLimit(contentWeight_ + item.weight, type.capacity)) return false;
    // The slack covers rounding in the sums; the geometry decides exactly.
    return contentVolume_ + item.volume <= type.volume * (1.0 + 1e-9);
}

bool SearchBox::place(int itemIndex, Merit merit) {
    const SearchItem& item = problem_->items[itemIndex];
    if (!admits(item)) return false;
    const BoxType& type = problem_->types[type_];
    bool found = false;
    Placement best{};
    double bestMerit = 0.0;
    for (std::size_t o = 0; o < item.orientations.size(); ++o) {
        const Orientation& shape = item.orientations[o];
        for (const Point& point : points_) {
            const Block spot{point.x, point.y, point.z, shape.w, shape.l, shape.d};
            if (spot.x + spot.w > type.width || spot.y + spot.l > type.length ||
                spot.z + spot.d > type.depth) {
                continue;
            }
            const double value = meritOf(spot, type, merit);
            if (found && value <= bestMerit) continue;
            if (!isFree(spot) || !isSupported(spot)) continue;
            if (problem_->hasLoadLimits && !carries(supportsOf(spot), item.weight, false)) {
                continue;
            }
            found = true;
            bestMerit = value;
            best = {itemIndex, static_cast<int>(o), spot};
        }
    }
    if (!found) return false;
    commit(best);
    return true;
}

bool SearchBox::placeAt(int itemIndex, int orientation, const Block& spot) {
    const SearchItem& item = problem_->items[itemIndex];
    const BoxType& type = problem_->types[type_];
    if (!admits(item) || spot.x < 0.0 || spot.y < 0.0 || spot.z < 0.0 ||
        spot.x + spot.w > type.width || spot.y + spot.l > type.length ||
        spot.z + spot.d > type.depth || !isFree(spot) || !isSupported(spot)) {
        return false;
    }
    if (problem_->hasLoadLimits && !carries(supportsOf(spot), item.weight, false)) return false;
    commit({itemIndex, orientation, spot});
    return true;
}

void SearchBox::commit(const Placement& placement) {
    const SearchItem& item = problem_->items[placement.item];
    if (problem_->hasLoadLimits) {
        supports_.push_back(supportsOf(placement.block));
        carries(supports_.back(), item.weight, true);
        loads_.push_back(0.0);
    }
    placements_.push_back(placement);
    contentVolume_ += item.volume;
    contentWeight_ += item.weight;
    if (item.group >= 0) group_ = item.group;
    addExtremePoints(placement.block);
}

bool SearchBox::isFree(const Block& c) const {
    return std::none_of(placements_.begin(), placements_.end(), [&](const Placement& p) {
        const Block& b = p.block;
        return c.x < b.x + b.w && b.x < c.x + c.w && c.y < b.y + b.l && b.y < c.y + c.l &&
               c.z < b.z + b.d && b.z < c.z + c.d;
    });
}

bool SearchBox::isSupported(const Block& c) const {
    const double area = c.w * c.l;
    if (problem_->minSupport <= 0.0 || c.z <= 0.0 || area <= 0.0) return true;
    // Tops computed along different sums may differ in the last bits.
    const double tolerance = 1e-9 * std::max(1.0, problem_->types[type_].depth);
    double supported = 0.0;
    for (const Placement& p : placements_) {
        const Block& b = p.block;
        if (std::abs(b.z + b.d - c.z) > tolerance) continue;
        const double dx = overlap(c.x, c.w, b.x, b.w);
        const double dy = overlap(c.y, c.l, b.y, b.l);
        if (dx > 0.0 && dy > 0.0) supported += dx * dy;
    }
    return supported >= problem_->minSupport * area * (1.0 - 1e-12);
}

std::vector<SearchBox::Support> SearchBox::supportsOf(const Block& c) const {
    std::vector<Support> supports;
    if (c.z <= 0.0) return supports;
    const double tolerance = 1e-9 * std::max(1.0, problem_->types[type_].depth);
    double contact = 0.0;
    for (std::size_t k = 0; k < placements_.size(); ++k) {
        const double area = restingArea(c, placements_[k].block, tolerance);
        if (area > 0.0) {
            supports.push_back({static_cast<int>(k), area});
            contact += area;
        }
    }
    for (Support& s : supports) s.share /= contact;
    return supports;
}

bool SearchBox::carries(const std::vector<Support>& supports, double weight, bool commit) {
    // Each item rests only on items placed before it, so walking the
    // placements backwards passes every addition down before it is read.
    std::vector<double> added(placements_.size(), 0.0);
    for (const Support& s : supports) {
        // Nothing at all may stand on an item with no load allowance.
        if (problem_->items[placements_[s.placement].item].maxLoad <= 0.0) return false;
        added[s.placement] += weight * s.share;
    }
    for (std::size_t k = placements_.size(); k-- > 0;) {
        if (added[k] <= 0.0) continue;
        const double load = loads_[k] + added[k];
        // The slack covers rounding in the shares.
        if (!commit && !(load <= problem_->items[placements_[k].item].maxLoad * (1.0 + 1e-9))) {
            return false;
        }
        if (commit) loads_[k] = load;
        for (const Support& s : supports_[k]) added[s.placement] += added[k] * s.share;
    }
    return true;
}

double SearchBox::project(const Point& point, int axis) const {
    double reached = 0.0;
    for (const Placement& p : placements_) {
        const Block& b = p.block;
        const double end = startOf(b, axis) + extentOf(b, axis);
        if (end > coordinateOf(point, axis) || end <= reached) continue;
        bool facing = true;  // the item lies across the point's path
        for (int other = 0; other < 3; ++other) {
            facing = facing && (other == axis || within(coordinateOf(point, other),
                                                        startOf(b, other), extentOf(b, other)));
        }
        if (facing) reached = end;
    }
    return reached;
}

void SearchBox::addExtremePoints(const Block& b) {
    // Points the new item now covers can take no further item.
    std::erase_if(points_, [&](const Point& p) {
        return within(p.x, b.x, b.w) && within(p.y, b.y, b.l) && within(p.z, b.z, b.d);
    });
    const double right = b.x + b.w;
    const double back = b.y + b.l;
    const double top = b.z + b.d;
    const Point candidates[] = {
        {right, project({right, b.y, b.z}, kY), b.z},
        {right, b.y, project({right, b.y, b.z}, kZ)},
        {project({b.x, back, b.z}, kX), back, b.z},
        {b.x, back, project({b.x, back, b.z}, kZ)},
        {project({b.x, b.y, top}, kX), b.y, top},
        {b.x, project({b.x, b.y, top}, kY), top},
        // Projected back, the top points may end above nothing; under a
        // support rule the item's own top corner is a place something can stand.
        {b.x, b.y, top},
    };
    const BoxType& type = problem_->types[type_];
    // A fixed array, not a vector: this runs for every item placed.
    for (const Point& c : std::span(candidates, problem_->minSupport > 0.0 ? 7 : 6)) {
        if (c.x >= type.width || c.y >= type.length || c.z >= type.depth) continue;
        const bool known = std::any_of(points_.begin(), points_.end(), [&](const Point& p) {
            return p.x == c.x && p.y == c.y && p.z == c.z;
        });
        if (!known) points_.push_back(c);
    }
}

}  // namespace quarvex::search
