#pragma once

#include <pybind11/pybind11.h>

namespace quarvex {

// Each registers its part of the module, in the order the module shows them.
void bindModelClasses(pybind11::module_& module);   // Rotation, Item, Box
void bindResultClasses(pybind11::module_& module);  // PackedItem, PackedBox, PackResult
void bindEntryPoints(pybind11::module_& module);    // solve, pack_dicts, pack
void bindOptimize(pybind11::module_& module);       // optimize

}  // namespace quarvex
