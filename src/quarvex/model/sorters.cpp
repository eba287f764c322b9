#include "quarvex/model/sorters.hpp"

#include <limits>

namespace quarvex {

namespace {

// Larger first. A NaN on either side counts as "different" and, since no
// comparison with NaN holds, puts b first in both argument orders.
bool differ(double a, double b) {
    return !(a == b);
}

std::int32_t compareText(const std::string& a, const std::string& b) {
    const int c = a.compare(b);  // unsigned-byte order for std::string
    return c == 0 ? 0 : (c < 0 ? -1 : 1);
}

}  // namespace

std::int32_t DefaultItemSorter::compare(const Item& a, const Item& b) const {
    const std::string* ga = boxGroupOf(a);
    const std::string* gb = boxGroupOf(b);
    if ((ga == nullptr) != (gb == nullptr)) {
        return ga ? 1 : -1;
    }
    if (ga && *ga != *gb) {
        return compareText(*ga, *gb);
    }
    const double va = a.volume();
    const double vb = b.volume();
    if (differ(va, vb)) {
        return va > vb ? -1 : 1;
    }
    const double wa = a.weight();
    const double wb = b.weight();
    if (differ(wa, wb)) {
        return wa > wb ? -1 : 1;
    }
    return compareText(a.item_code(), b.item_code());
}

std::int32_t DefaultBoxSorter::compare(const Box& a, const Box& b) const {
    const double va = a.inner_volume();
    const double vb = b.inner_volume();
    if (differ(va, vb)) {
        return vb > va ? -1 : 1;
    }
    const double ea = a.empty_weight();
    const double eb = b.empty_weight();
    if (differ(ea, eb)) {
        return eb > ea ? -1 : 1;
    }
    auto capacity = [](const Box& box) {
        const double c = box.max_content_weight();
        return c < 0.0 ? std::numeric_limits<double>::max() : c;
    };
    const double ca = capacity(a);
    const double cb = capacity(b);
    if (ca == cb) {
        return 0;
    }
    return ca > cb ? -1 : 1;
}

std::int32_t DefaultPackedBoxSorter::compare(const PackedBox& a, const PackedBox& b) const {
    if (a.items.size() != b.items.size()) {
        return a.items.size() > b.items.size() ? -1 : 1;
    }
    const double ua = a.volume_utilisation();
    const double ub = b.volume_utilisation();
    if (differ(ua, ub)) {
        return ua > ub ? -1 : 1;
    }
    const double va = a.used_volume();
    const double vb = b.used_volume();
    if (va == vb) {
        return 0;
    }
    return va > vb ? -1 : 1;
}

}  // namespace quarvex
