#include "quarvex/model/packed_box.hpp"

namespace quarvex {

namespace {

// Largest end over the items, starting from 0.0; only a strictly greater
// candidate replaces it, so NaN ends are ignored.
template <class End>
double largestEnd(const std::vector<PackedItem>& items, End end) {
    double largest = 0.0;
    for (const PackedItem& p : items) {
        const double candidate = end(p);
        if (candidate > largest) {
            largest = candidate;
        }
    }
    return largest;
}

}  // namespace

double PackedBox::item_weight() const {
    double sum = 0.0;
    for (const PackedItem& p : items) {
        sum += p.weight();
    }
    return sum;
}

double PackedBox::weight() const {
    return box->empty_weight() + item_weight();
}

double PackedBox::remaining_weight() const {
    if (!box->has_weight_limit()) {
        return -1.0;
    }
    const double rest = box->max_weight() - weight();
    return rest > 0.0 ? rest : 0.0;
}

double PackedBox::used_volume() const {
    double sum = 0.0;
    for (const PackedItem& p : items) {
        sum += p.volume();
    }
    return sum;
}

double PackedBox::volume_utilisation() const {
    const double inner = inner_volume();
    if (!(inner > 0.0)) {
        return 0.0;
    }
    return used_volume() / inner * 100.0;
}

double PackedBox::used_width() const {
    return largestEnd(items, [](const PackedItem& p) { return p.x + p.width; });
}

double PackedBox::used_length() const {
    return largestEnd(items, [](const PackedItem& p) { return p.y + p.length; });
}

double PackedBox::used_depth() const {
    return largestEnd(items, [](const PackedItem& p) { return p.z + p.depth; });
}

}  // namespace quarvex
