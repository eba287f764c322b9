#include "quarvex/search/drop_box.hpp"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "quarvex/model/stable_sort.hpp"
#include "quarvex/packing/fit_rules.hpp"

namespace quarvex::search {

namespace {

using Vec = std::array<double, 3>;

// The weight of a penalty, as a share of the mean overlap volume of the pairs
// that overlap at the first local minimum. On the MPV classes shares from 5
// to 20 found a packing in one box fewer about twice as often as 0.5.
constexpr double kPenaltyShare = 10.0;
// How many other boxes an overlapping item tries each time it moves.
constexpr int kOtherBoxes = 3;

struct Piece {
    int item;
    int box;
    int orientation;
    Vec at;
    Vec size;
};

// A piece that meets the moving one on two axes, seen along the third.
struct Across {
    double from, to;  // its extent along the axis
    double area;      // the cross-section the two share
    double penalty;   // of the pair, weighted
};

struct Move {
    int box;
    int orientation;
    Vec at;
    double cost;
};

Vec sizeOf(const Orientation& o) {
    return {o.w, o.l, o.d};
}

class OverlapSearch {
public:
    OverlapSearch(const Problem& problem, const Solution& solution, std::size_t dropped,
                  std::uint64_t units, Budget& budget, Random& random)
        : problem_(problem), units_(units), budget_(budget), random_(random) {
        double largest = 1.0;
        for (std::size_t b = 0; b < solution.boxes.size(); ++b) {
            if (b == dropped) continue;
            const BoxType& type = problem.types[solution.boxes[b].type()];
            boxes_.push_back({solution.boxes[b].type(), {type.width, type.length, type.depth}});
            largest = std::max({largest, type.width, type.length, type.depth});
            members_.emplace_back();
            weights_.push_back(0.0);
            for (const Placement& p : solution.boxes[b].placements()) {
                const Block& at = p.block;
                add({p.item,
                     static_cast<int>(boxes_.size()) - 1,
                     p.orientation,
                     {at.x, at.y, at.z},
                     {at.w, at.l, at.d}});
            }
        }
        // Coordinates computed along different sums may differ in the last bits.
        tolerance_ = 1e-9 * largest;
        for (const Placement& p : solution.boxes[dropped].placements()) dropped_.push_back(p.item);
        stableSort(dropped_,
                   [&](int a, int b) { return problem.items[a].volume > problem.items[b].volume; });
    }

    // The boxes without overlap, or nothing when the units ran out first.
    std::optional<std::vector<SearchBox>> run() {
        if (!placeDropped()) return std::nullopt;
        std::deque<int> queue;
        std::vector<char> queued(pieces_.size(), 0);
        const auto activate = [&](int p) {
            if (!queued[p]) queue.push_back(p);
            queued[p] = 1;
        };
        std::vector<int> order(pieces_.size());
        for (std::size_t p = 0; p < order.size(); ++p) order[p] = static_cast<int>(p);
        for (std::size_t k = order.size(); k > 1; --k) {
            std::swap(order[k - 1], order[random_.below(k)]);
        }
        for (const int p : order) activate(p);
        while (true) {
            while (!queue.empty()) {
                const int p = queue.front();
                queue.pop_front();
                queued[p] = 0;
                const Piece& piece = pieces_[p];
                const double current = costAt(p, piece.box, piece.at, piece.size);
                if (current <= 0.0) continue;
                std::optional<Move> move = bestMove(p, current);
                if (!move) return std::nullopt;
                if (!(move->cost < current - improvement_)) continue;
                for (const int q : overlapping(p)) activate(q);
                apply(p, *move);
                for (const int q : overlapping(p)) activate(q);
                activate(p);
            }
            if (!penalize(activate)) return boxesOf();
        }
    }

private:
    struct Box {
        int type;
        Vec size;
    };

    void add(const Piece& piece) {
        members_[piece.box].push_back(static_cast<int>(pieces_.size()));
        weights_[piece.box] += problem_.items[piece.item].weight;
        pieces_.push_back(piece);
    }

    // A unit per piece the spots are checked against, so that units take
    // about as long as the placement's.
    bool spend(std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) {
            if (units_ == 0 || !budget_.spend()) return false;
            --units_;
        }
        return true;
    }

    // Each item of the dropped box goes where it overlaps least.
    bool placeDropped() {
        double volume = 0.0;
        for (const Piece& piece : pieces_) volume += problem_.items[piece.item].volume;
        for (const int item : dropped_) volume += problem_.items[item].volume;
        improvement_ = 1e-9 * volume / static_cast<double>(pieces_.size() + dropped_.size() + 1);
        for (const int item : dropped_) {
            const int p = static_cast<int>(pieces_.size());
            pieces_.push_back(
                {item, -1, 0, {0.0, 0.0, 0.0}, sizeOf(problem_.items[item].orientations[0])});
            std::optional<Move> best;
            for (std::size_t b = 0; b < boxes_.size(); ++b) {
                if (!consider(p, static_cast<int>(b), best)) return false;
            }
            pieces_.pop_back();
            if (!best) return false;  // too heavy for any box left
            add({item, best->box, best->orientation, best->at,
                 sizeOf(problem_.items[item].orientations[best->orientation])});
        }
        return true;
    }

    double overlapVolume(const Vec& at, const Vec& size, const Piece& other) const {
        double volume = 1.0;
        for (int a = 0; a < 3; ++a) {
            const double length = std::min(at[a] + size[a], other.at[a] + other.size[a]) -
                                  std::max(at[a], other.at[a]);
            if (length <= tolerance_) return 0.0;
            volume *= length;
        }
        return volume;
    }

    std::uint64_t pairOf(int p, int q) const {
        const auto [low, high] = std::minmax(pieces_[p].item, pieces_[q].item);
        return static_cast<std::uint64_t>(low) * problem_.items.size() + high;
    }

    int penaltyOf(int p, int q) const {
        const auto found = penalties_.find(pairOf(p, q));
        return found == penalties_.end() ? 0 : found->second;
    }

    // The overlap volume of piece p, were it at this spot, with the other
    // pieces in the box, plus the penalties of the pairs that overlap.
    double costAt(int p, int box, const Vec& at, const Vec& size) {
        double cost = 0.0;
        for (const int q : members_[box]) {
            if (q == p) continue;
            const double volume = overlapVolume(at, size, pieces_[q]);
            if (volume > 0.0) cost += volume + (lambda_ > 0.0 ? lambda_ * penaltyOf(p, q) : 0.0);
        }
        return cost;
    }

    // The best spot along one axis. Only the pieces that meet piece p on the
    // other two axes can overlap it there, each by its cross-section times
    // the length they share on this axis: the cost is piecewise linear in
    // the coordinate, between the points where p starts or stops meeting one
    // of them, so its least value is at one of them or at a wall.
    void bestAlong(int p, int box, Vec& at, const Vec& size, int axis, double& cost) {
        across_.clear();
        for (const int q : members_[box]) {
            if (q == p) continue;
            const Piece& other = pieces_[q];
            double area = 1.0;
            for (int a = 0; a < 3 && area > 0.0; ++a) {
                if (a == axis) continue;
                const double length = std::min(at[a] + size[a], other.at[a] + other.size[a]) -
                                      std::max(at[a], other.at[a]);
                area = length > tolerance_ ? area * length : 0.0;
            }
            if (area > 0.0) {
                across_.push_back({other.at[axis], other.at[axis] + other.size[axis], area,
                                   lambda_ > 0.0 ? lambda_ * penaltyOf(p, q) : 0.0});
            }
        }
        const auto costOf = [&](double t) {
            double c = 0.0;
            for (const Across& a : across_) {
                const double length = std::min(t + size[axis], a.to) - std::max(t, a.from);
                if (length > tolerance_) c += a.area * length + a.penalty;
            }
            return c;
        };
        const double room = boxes_[box].size[axis] - size[axis];
        const auto tryAt = [&](double t) {
            t = std::clamp(t, 0.0, room);
            if (t == at[axis]) return;
            const double c = costOf(t);
            if (c < cost) {
                cost = c;
                at[axis] = t;
            }
        };
        tryAt(0.0);
        tryAt(room);
        for (std::size_t k = 0; k < across_.size(); ++k) {
            const Across a = across_[k];
            for (const double t : {a.from - size[axis], a.from, a.to - size[axis], a.to}) tryAt(t);
        }
    }

    // Updates best with piece p in the box, in each orientation: its place
    // kept where the box allows, then moved along each axis in turn.
    bool consider(int p, int box, std::optional<Move>& best) {
        const SearchItem& item = problem_.items[pieces_[p].item];
        if (box != pieces_[p].box &&
            !withinContentLimit(weights_[box] + item.weight,
                                problem_.types[boxes_[box].type].capacity)) {
            return true;
        }
        for (std::size_t o = 0; o < item.orientations.size(); ++o) {
            const Vec size = sizeOf(item.orientations[o]);
            bool fits = true;
            for (int a = 0; a < 3; ++a) fits = fits && size[a] <= boxes_[box].size[a];
            if (!fits) continue;
            Vec at = pieces_[p].at;
            for (int a = 0; a < 3; ++a)
                at[a] = std::clamp(at[a], 0.0, boxes_[box].size[a] - size[a]);
            if (!spend(members_[box].size() + 1)) return false;
            double cost = costAt(p, box, at, size);
            for (int axis = 0; axis < 3; ++axis) bestAlong(p, box, at, size, axis, cost);
            if (!best || cost < best->cost) best = Move{box, static_cast<int>(o), at, cost};
        }
        return true;
    }

    std::optional<Move> bestMove(int p, double current) {
        std::optional<Move> best =
            Move{pieces_[p].box, pieces_[p].orientation, pieces_[p].at, current};
        if (!consider(p, pieces_[p].box, best)) return std::nullopt;
        // Where there are more, a few other boxes drawn afresh each time:
        // trying them all costs more than it finds.
        const int own = pieces_[p].box;
        const int others = static_cast<int>(boxes_.size()) - 1;
        for (int k = 0; k < std::min(others, kOtherBoxes); ++k) {
            int box = others <= kOtherBoxes ? k : static_cast<int>(random_.below(others));
            if (box >= own) ++box;
            if (!consider(p, box, best)) return std::nullopt;
        }
        return best;
    }

    std::vector<int> overlapping(int p) {
        std::vector<int> found;
        const Piece& piece = pieces_[p];
        for (const int q : members_[piece.box]) {
            if (q != p && overlapVolume(piece.at, piece.size, pieces_[q]) > 0.0) found.push_back(q);
        }
        return found;
    }

    void apply(int p, const Move& move) {
        Piece& piece = pieces_[p];
        const double weight = problem_.items[piece.item].weight;
        if (move.box != piece.box) {
            std::erase(members_[piece.box], p);
            weights_[piece.box] -= weight;
            members_[move.box].push_back(p);
            weights_[move.box] += weight;
        }
        piece.box = move.box;
        piece.orientation = move.orientation;
        piece.at = move.at;
        piece.size = sizeOf(problem_.items[piece.item].orientations[move.orientation]);
    }

    // At a local minimum: raises the penalty of the overlapping pairs that
    // cost most for their penalty so far and activates their pieces; false
    // when nothing overlaps.
    template <typename Activate>
    bool penalize(Activate activate) {
        std::vector<std::pair<int, int>> pairs;
        std::vector<double> volumes;
        for (const std::vector<int>& members : members_) {
            for (std::size_t i = 0; i < members.size(); ++i) {
                const Piece& a = pieces_[members[i]];
                for (std::size_t j = i + 1; j < members.size(); ++j) {
                    const double volume = overlapVolume(a.at, a.size, pieces_[members[j]]);
                    if (volume <= 0.0) continue;
                    pairs.emplace_back(members[i], members[j]);
                    volumes.push_back(volume);
                }
            }
        }
        if (pairs.empty()) return false;
        if (lambda_ == 0.0) {
            double total = 0.0;
            for (const double v : volumes) total += v;
            lambda_ = kPenaltyShare * total / static_cast<double>(pairs.size());
        }
        double most = 0.0;
        std::vector<double> utility(pairs.size());
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            utility[k] = volumes[k] / (1.0 + penaltyOf(pairs[k].first, pairs[k].second));
            most = std::max(most, utility[k]);
        }
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            if (utility[k] < most) continue;
            ++penalties_[pairOf(pairs[k].first, pairs[k].second)];
            activate(pairs[k].first);
            activate(pairs[k].second);
        }
        return true;
    }

    // The pieces as boxes, each checked by the box itself; nothing when
    // rounding left some overlap the tolerance hid.
    std::optional<std::vector<SearchBox>> boxesOf() const {
        std::vector<SearchBox> boxes;
        for (std::size_t b = 0; b < boxes_.size(); ++b) {
            std::vector<int> members = members_[b];
            stableSort(members, [&](int p, int q) {
                const Vec& a = pieces_[p].at;
                const Vec& c = pieces_[q].at;
                return std::tie(a[2], a[1], a[0]) < std::tie(c[2], c[1], c[0]);
            });
            boxes.emplace_back(problem_, boxes_[b].type);
            for (const int p : members) {
                const Piece& piece = pieces_[p];
                const Block block{piece.at[0],   piece.at[1],   piece.at[2],
                                  piece.size[0], piece.size[1], piece.size[2]};
                if (!boxes.back().placeAt(piece.item, piece.orientation, block))
                    return std::nullopt;
            }
        }
        return boxes;
    }

    const Problem& problem_;
    std::uint64_t units_;
    Budget& budget_;
    Random& random_;
    std::vector<Box> boxes_;
    std::vector<std::vector<int>> members_;  // per box: its pieces
    std::vector<double> weights_;            // per box: the weight of its pieces
    std::vector<Piece> pieces_;
    std::vector<int> dropped_;
    std::unordered_map<std::uint64_t, int> penalties_;
    std::vector<Across> across_;  // kept between sweeps to save allocations
    double lambda_ = 0.0;
    double tolerance_ = 0.0;
    double improvement_ = 0.0;  // the least drop in cost that counts as a move
};

}  // namespace

bool canDropBoxes(const Problem& problem) {
    return problem.minSupport <= 0.0 && !problem.hasLoadLimits &&
           std::none_of(problem.items.begin(), problem.items.end(),
                        [](const SearchItem& item) { return item.group >= 0; });
}

bool dropBox(const Problem& problem, Solution& solution, std::uint64_t units, Budget& budget,
             Random& random) {
    if (solution.boxes.size() < 2) return false;
    std::size_t dropped = 0;
    for (std::size_t b = 1; b < solution.boxes.size(); ++b) {
        if (solution.boxes[b].contentVolume() < solution.boxes[dropped].contentVolume())
            dropped = b;
    }
    std::optional<std::vector<SearchBox>> boxes =
        OverlapSearch(problem, solution, dropped, units, budget, random).run();
    if (!boxes) return false;
    solution.boxes = std::move(*boxes);
    return true;
}

}  // namespace quarvex::search
