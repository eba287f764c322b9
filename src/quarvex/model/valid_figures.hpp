#pragma once

#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"

namespace quarvex {

// Requests from outside pass through these before anything is packed: a size
// must be finite and not negative, a weight likewise, except that a box type's
// maximum weight may be any finite number (negative: no limit). Zero sizes are
// accepted. A fault throws FieldFault (a std::invalid_argument) naming the item (its code) or
// box type (its reference) and the field by its request key. The engine itself
// takes any number, so its own tests can reach the odd ones.
ItemPtr checkedFigures(ItemPtr item);
BoxPtr checkedFigures(BoxPtr box);

}  // namespace quarvex
