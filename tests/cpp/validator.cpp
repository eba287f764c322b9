#include "validator.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace quarvex::test {

namespace {

using Violations = std::vector<std::string>;

// Positions are sums of extents, so a result may be off by a few rounding
// steps; anything beyond this share of the magnitudes involved is real.
constexpr double kRelativeTolerance = 1e-9;
// Enough overlapping pairs to see the pattern without flooding the log.
constexpr std::size_t kOverlapsReportedPerBox = 10;

double slack(double a, double b) {
    return kRelativeTolerance * std::max(std::abs(a), std::abs(b));
}

template <class... Parts>
std::string text(const Parts&... parts) {
    std::ostringstream out;
    out << std::setprecision(17);
    (out << ... << parts);
    return out.str();
}

std::string describe(const PackedItem& p) {
    return text("item '", p.item ? p.item->item_code() : std::string("<null>"), "' at (", p.x,
                ", ", p.y, ", ", p.z, ") placed ", p.width, " x ", p.length, " x ", p.depth, " '",
                p.orientation, "'");
}

std::string describe(const PackedBox& box, std::size_t index) {
    return text("box ", index, " ('", box.box->reference(), "')");
}

bool codeAllowed(Rotation rotation, const std::string& code) {
    static const std::set<std::string> never{"WLD"};
    static const std::set<std::string> keepFlat{"WLD", "LWD"};
    static const std::set<std::string> bestFit{"WLD", "LWD", "WDL", "LDW", "DWL", "DLW"};
    switch (rotation) {
        case Rotation::NEVER: return never.contains(code);
        case Rotation::KEEP_FLAT: return keepFlat.contains(code);
        default: return bestFit.contains(code);
    }
}

double dimensionNamed(const Item& item, char letter) {
    switch (letter) {
        case 'W': return item.width();
        case 'L': return item.length();
        default: return item.depth();
    }
}

// [start, start + extent) lies within [0, limit).
bool withinAxis(double start, double extent, double limit) {
    const double end = start + extent;
    return start >= -slack(start, limit) && end <= limit + slack(end, limit);
}

// The two intervals share more than rounding noise.
bool overlapAxis(double aStart, double aExtent, double bStart, double bExtent) {
    const double low = std::max(aStart, bStart);
    const double high = std::min(aStart + aExtent, bStart + bExtent);
    return high - low > slack(low, high);
}

bool overlap(const PackedItem& a, const PackedItem& b) {
    return overlapAxis(a.x, a.width, b.x, b.width) && overlapAxis(a.y, a.length, b.y, b.length) &&
           overlapAxis(a.z, a.depth, b.z, b.depth);
}

void checkPlacement(const PackedBox& box, std::size_t boxIndex, const PackedItem& p,
                    Violations& out) {
    if (!p.item) {
        out.push_back(text(describe(box, boxIndex), ": a placed item has no item"));
        return;
    }
    const Box& type = *box.box;
    if (!withinAxis(p.x, p.width, type.width()) || !withinAxis(p.y, p.length, type.length()) ||
        !withinAxis(p.z, p.depth, type.depth())) {
        out.push_back(text(describe(box, boxIndex), ": ", describe(p), " is not inside ",
                           type.width(), " x ", type.length(), " x ", type.depth()));
    }
    const Item& item = *p.item;
    if (!codeAllowed(item.allowed_rotation(), p.orientation)) {
        out.push_back(text(describe(box, boxIndex), ": ", describe(p), " has a code its rotation ",
                           static_cast<int>(item.allowed_rotation()), " does not allow"));
        return;
    }
    const double wanted[3] = {dimensionNamed(item, p.orientation[0]),
                              dimensionNamed(item, p.orientation[1]),
                              dimensionNamed(item, p.orientation[2])};
    if (p.width != wanted[0] || p.length != wanted[1] || p.depth != wanted[2]) {
        out.push_back(text(describe(box, boxIndex), ": ", describe(p), " does not match its code;",
                           " the code names ", wanted[0], " x ", wanted[1], " x ", wanted[2]));
    }
}

// Sweeps the items bottom up, so stacks of thin items cost n log n, not n^2.
void checkOverlaps(const PackedBox& box, std::size_t boxIndex, Violations& out) {
    std::vector<const PackedItem*> order;
    for (const PackedItem& p : box.items) {
        if (std::isfinite(p.z) && std::isfinite(p.depth)) order.push_back(&p);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const PackedItem* a, const PackedItem* b) { return a->z < b->z; });
    std::size_t reported = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const PackedItem& a = *order[i];
        for (std::size_t j = i + 1; j < order.size() && order[j]->z < a.z + a.depth; ++j) {
            if (!overlap(a, *order[j])) continue;
            if (++reported > kOverlapsReportedPerBox) {
                out.push_back(text(describe(box, boxIndex), ": more overlaps not listed"));
                return;
            }
            out.push_back(text(describe(box, boxIndex), ": ", describe(a), " overlaps ",
                               describe(*order[j])));
        }
    }
}

void checkWeight(const PackedBox& box, std::size_t boxIndex, Violations& out) {
    const Box& type = *box.box;
    if (!type.has_weight_limit()) return;
    double content = 0.0;
    double magnitude = 0.0;
    for (const PackedItem& p : box.items) {
        if (!p.item) continue;
        content += p.item->weight();
        magnitude += std::abs(p.item->weight());
    }
    // A box heavier than its own limit may still take weightless items.
    const double capacity = std::max(0.0, type.max_weight() - type.empty_weight());
    if (!(content <= capacity + slack(capacity, magnitude))) {
        out.push_back(text(describe(box, boxIndex), ": items weigh ", content, " with empty weight ",
                           type.empty_weight(), " against a maximum of ", type.max_weight()));
    }
}

void checkGroups(const PackedBox& box, std::size_t boxIndex, Violations& out) {
    std::set<std::string> groups;
    for (const PackedItem& p : box.items) {
        if (!p.item) continue;
        if (const std::string* group = boxGroupOf(*p.item)) groups.insert(*group);
    }
    if (groups.size() > 1) {
        std::string list;
        for (const std::string& group : groups) list += " '" + group + "'";
        out.push_back(text(describe(box, boxIndex), ": holds box groups", list));
    }
}

void checkBoxTypes(const BoxCollection& boxes, const std::vector<PackedBox>& packed,
                   Violations& out) {
    std::unordered_set<const Box*> known;
    for (const BoxPtr& box : boxes.entries()) known.insert(box.get());
    std::map<std::string, std::int64_t> opened;
    for (std::size_t i = 0; i < packed.size(); ++i) {
        if (!packed[i].box) {
            out.push_back(text("box ", i, " has no box type"));
            continue;
        }
        if (!known.contains(packed[i].box.get())) {
            out.push_back(text(describe(packed[i], i), ": not one of the given box types"));
        }
        if (!packed[i].box->active()) {
            out.push_back(text(describe(packed[i], i), ": its box type is inactive"));
        }
        ++opened[packed[i].box->reference()];
    }
    for (const BoxPtr& box : boxes.entries()) {
        const LimitedSupplyBox* limited = limitedSupplyOf(*box);
        if (!limited) continue;
        const std::int64_t count = opened[box->reference()];
        if (count > 0 && count > limited->max_quantity()) {
            out.push_back(text("box type '", box->reference(), "' opened ", count,
                               " times, allowed ", limited->max_quantity()));
        }
    }
}

// Counts per item object, so an object given twice must come back twice.
void checkAccounting(const ItemCollection& items, const std::vector<PackedBox>& packed,
                     const PackResponse& response, Violations& out) {
    std::unordered_map<const Item*, std::int64_t> balance;
    for (const ItemPtr& item : items.entries()) ++balance[item.get()];
    for (const PackedBox& box : packed) {
        for (const PackedItem& p : box.items) --balance[p.item.get()];
    }
    for (const ItemPtr& item : response.unplacedItems().entries()) --balance[item.get()];
    for (const auto& [item, missing] : balance) {
        if (missing == 0) continue;
        const std::string code = item ? item->item_code() : std::string("<null>");
        out.push_back(missing > 0
                          ? text("item '", code, "' is neither placed nor unplaced (", missing,
                                 " times)")
                          : text("item '", code, "' appears ", -missing, " times too often"));
    }
    const bool nothingUnplaced = response.unplacedItems().empty();
    if (response.success() != nothingUnplaced) {
        out.push_back(text("success is ", response.success() ? "true" : "false", " with ",
                           response.unplacedItems().size(), " unplaced items"));
    }
}

}  // namespace

std::vector<std::string> packingViolations(const ItemCollection& items, const BoxCollection& boxes,
                                           const PackResponse& response) {
    Violations out;
    const std::vector<PackedBox> packed = response.boxes();
    checkBoxTypes(boxes, packed, out);
    for (std::size_t i = 0; i < packed.size(); ++i) {
        const PackedBox& box = packed[i];
        if (!box.box) continue;
        for (const PackedItem& p : box.items) checkPlacement(box, i, p, out);
        checkOverlaps(box, i, out);
        checkWeight(box, i, out);
        checkGroups(box, i, out);
    }
    checkAccounting(items, packed, response, out);
    return out;
}

}  // namespace quarvex::test
