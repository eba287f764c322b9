#include "quarvex/model/valid_figures.hpp"

#include <charconv>
#include <cmath>
#include <string>
#include <utility>

#include "quarvex/model/field_fault.hpp"

namespace quarvex {

namespace {

// The shortest text that reads back as the same double ("-10", "nan", "-3e-07").
std::string numberText(double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

void require(bool valid, const std::string& owner, const char* field, const char* rule,
             double value) {
    if (!valid) {
        throw FieldFault(owner + ": " + field + " must be " + rule + ", not " + numberText(value),
                         field);
    }
}

// Negative or infinite sizes send the region filler round for ever and let
// items stick out of their box; NaN weights disable every weight limit.
void requireAmount(const std::string& owner, const char* field, double value) {
    require(std::isfinite(value) && value >= 0.0, owner, field, "a finite number of 0 or more",
            value);
}

}  // namespace

ItemPtr checkedFigures(ItemPtr item) {
    const std::string owner = "item '" + item->item_code() + "'";
    requireAmount(owner, "Width", item->width());
    requireAmount(owner, "Length", item->length());
    requireAmount(owner, "Depth", item->depth());
    requireAmount(owner, "Weight", item->weight());
    return item;
}

BoxPtr checkedFigures(BoxPtr box) {
    const std::string owner = "box '" + box->reference() + "'";
    requireAmount(owner, "Width", box->width());
    requireAmount(owner, "Length", box->length());
    requireAmount(owner, "Depth", box->depth());
    requireAmount(owner, "BoxWeight", box->empty_weight());
    require(std::isfinite(box->max_weight()), owner, "MaxWeight",
            "a finite number (negative for no limit)", box->max_weight());
    return box;
}

}  // namespace quarvex
