#pragma once

#include <pybind11/pybind11.h>

#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/pack_response.hpp"
#include "quarvex/model/packed_box.hpp"
#include "quarvex/model/packed_item.hpp"

namespace quarvex {

// Pickle states. An item or box type travels as its constructor arguments;
// placements refer to items and box types by index into tables of the distinct
// objects, so what was one engine object before pickling is one object after.
// A state that is not one of these raises TypeError or ValueError, and so
// does one that no packing gives: figures a constructor refuses, text that is
// not str, extents that are not the item's, success with items unplaced.
pybind11::tuple itemState(const Item& item);
ItemPtr itemFromState(const pybind11::handle& state);

pybind11::tuple boxState(const Box& box);
BoxPtr boxFromState(const pybind11::handle& state);

pybind11::tuple packedItemState(const PackedItem& packed);
PackedItem packedItemFromState(const pybind11::handle& state);

pybind11::tuple packedBoxState(const PackedBox& packed);
PackedBox packedBoxFromState(const pybind11::handle& state);

pybind11::tuple packResultState(const PackResponse& response);
PackResponse packResultFromState(const pybind11::handle& state);

// __reduce__ of every class with a state: the object's class made by __new__,
// then __setstate__. Python reduces so by itself from protocol 2 on (the same
// pickle); below that it tries to copy through pybind11's base type and aborts.
pybind11::tuple reduceByState(const pybind11::object& self);

}  // namespace quarvex
