#pragma once

// One box being filled by the search. New items go to extreme points: the
// corners that earlier items leave, projected back until they meet an item
// or a wall (Crainic, Perboli and Tadei, 2008). Among the points and
// orientations that fit, the merit function picks where the item goes.

#include <vector>

#include "quarvex/packing/load_sharing.hpp"
#include "quarvex/search/problem.hpp"

namespace quarvex::search {

using Block = Cuboid;

// The rule that picks where an item goes among the spots that fit it.
enum class Merit {
    FarCorner,    // farthest from the box's far top corner: fills corners and the floor first
    LowBackLeft,  // lowest, then nearest the back wall, then the left wall
};

struct Point {
    double x, y, z;
};

struct Placement {
    int item;
    int orientation;  // index into the item's orientations
    Block block;
};

class SearchBox {
public:
    SearchBox(const Problem& problem, int type);

    int type() const { return type_; }
    const std::vector<Placement>& placements() const { return placements_; }
    double contentVolume() const { return contentVolume_; }
    // Share of the inner volume the items take, in [0, 1] for a box with room.
    double fill() const;

    // Places the item at its best spot and returns true, or leaves the box
    // unchanged and returns false when it fits nowhere (or breaks a rule:
    // weight, box group, support, load limits).
    bool place(int item, Merit merit = Merit::FarCorner);
    // Places the item in this orientation at this spot, under the same
    // rules; false (and the box unchanged) where it does not fit there.
    bool placeAt(int item, int orientation, const Block& spot);

private:
    // An item below that the new one rests on, with its share of the weight.
    struct Support {
        int placement;
        double share;
    };

    bool admits(const SearchItem& item) const;
    void commit(const Placement& placement);
    bool isFree(const Block& candidate) const;
    bool isSupported(const Block& candidate) const;
    std::vector<Support> supportsOf(const Block& candidate) const;
    // Adds the weight to what the supports carry, passed on down each stack;
    // false (and nothing changed, unless commit) when some item's limit breaks.
    bool carries(const std::vector<Support>& supports, double weight, bool commit);
    void addExtremePoints(const Block& placed);
    // Where the point comes to rest sliding back along the axis (0 x, 1 y,
    // 2 z): on the far face of an item, or at the wall.
    double project(const Point& point, int axis) const;

    const Problem* problem_;
    int type_;
    std::vector<Placement> placements_;
    std::vector<Point> points_;  // the extreme points not yet covered
    double contentVolume_ = 0.0;
    double contentWeight_ = 0.0;
    int group_ = -1;
    // Kept only when some item has a load limit, since boxes are copied often.
    std::vector<std::vector<Support>> supports_;  // per placement
    std::vector<double> loads_;                   // per placement: the weight on its top
};

}  // namespace quarvex::search
