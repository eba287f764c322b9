#include "quarvex/model/box.hpp"

#include <cstdio>
#include <utility>

#include "quarvex/model/physical_limit.hpp"

namespace quarvex {

double Box::max_content_weight() const {
    if (!has_weight_limit()) {
        return -1.0;
    }
    const double room = max_weight() - empty_weight();
    return room > 0.0 ? room : 0.0;  // also 0.0 for NaN
}

ConcreteBox::ConcreteBox(std::string reference, double width, double length, double depth,
                         double max_weight, double empty_weight, bool active,
                         std::optional<double> cost)
    : reference_(std::move(reference)),
      width_(width),
      length_(length),
      depth_(depth),
      max_weight_(max_weight),
      empty_weight_(empty_weight),
      active_(active) {
    setCost(cost);
}

ConcreteLimitedSupplyBox::ConcreteLimitedSupplyBox(ConcreteBox box, std::int32_t max_quantity)
    : box_(std::move(box)), max_quantity_(max_quantity) {
    setCost(box_.cost());
}

namespace {

std::string workingVolumeReference(double width, double length, double depth) {
    // "%f" of a huge double can take over 300 characters; size the text first.
    const char* format = "Working Volume %fx%fx%f";
    const int size = std::snprintf(nullptr, 0, format, width, length, depth);
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, format, width, length, depth);
    return text;
}

}  // namespace

WorkingVolume::WorkingVolume(double width, double length, double depth)
    : width_(width), length_(length), depth_(depth) {}

const std::string& WorkingVolume::reference() const {
    if (reference_.empty()) {  // never empty once written
        reference_ = workingVolumeReference(width_, length_, depth_);
    }
    return reference_;
}

BoxPtr makeBox(std::string reference, double width, double length, double depth, double max_weight,
               double empty_weight, bool active, std::optional<std::int32_t> max_quantity,
               std::optional<double> cost) {
    checkPhysicalLimit(cost, "box '" + reference + "'", "Cost");
    ConcreteBox box(std::move(reference), width, length, depth, max_weight, empty_weight, active,
                    cost);
    if (!max_quantity) {
        return std::make_shared<ConcreteBox>(std::move(box));
    }
    return std::make_shared<ConcreteLimitedSupplyBox>(std::move(box), *max_quantity);
}

}  // namespace quarvex
