#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "quarvex/json_io/request_reader.hpp"
#include "quarvex/json_io/strict_reader.hpp"
#include "quarvex/model/collections.hpp"

namespace quarvex {

// Items and boxes as the entry points take them. From request dicts (a list,
// a dict of them, None or a single one), converted and read in full before
// the caller reads anything else, so the first fault ends the call.
// The search reads them with its own readers, which also take MaxLoad and Cost.
ItemCollection itemsFromDicts(const pybind11::object& items,
                              ItemPtr (*read)(const nlohmann::json&) = itemFromJson);
BoxCollection boxesFromDicts(const pybind11::object& boxes,
                             BoxPtr (*read)(const nlohmann::json&) = boxFromJson);
// Throws std::invalid_argument naming the first fault that strict reading
// finds in the request dicts, and where it is; None stands for no list.
void refuseStrictFaults(const pybind11::object& items, const pybind11::object& boxes,
                        RequestReader reader);
ItemCollection itemsFromObjects(const std::vector<ItemPtr>& items);
BoxCollection boxesFromObjects(const std::vector<BoxPtr>& boxes);

}  // namespace quarvex
