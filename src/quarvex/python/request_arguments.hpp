#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "quarvex/model/collections.hpp"

namespace quarvex {

// Items and boxes as the entry points take them. From request dicts (a list,
// a dict of them, None or a single one), converted and read in full before
// the caller reads anything else, so the first fault ends the call.
ItemCollection itemsFromDicts(const pybind11::object& items);
BoxCollection boxesFromDicts(const pybind11::object& boxes);
ItemCollection itemsFromObjects(const std::vector<ItemPtr>& items);
BoxCollection boxesFromObjects(const std::vector<BoxPtr>& boxes);

}  // namespace quarvex
