#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/rotation.hpp"
#include "quarvex/python/bindings.hpp"
#include "quarvex/python/conversions.hpp"
#include "quarvex/python/pickle_state.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

void bindRotation(py::module_& module) {
    py::enum_<Rotation>(module, "Rotation", "How free an item is to be reoriented while packing.")
        .value("NEVER", Rotation::NEVER, "Must be packed exactly as given (Width/Length/Depth).")
        .value("KEEP_FLAT", Rotation::KEEP_FLAT, "May swap Width/Length but stay 'this way up'.")
        .value("BEST_FIT", Rotation::BEST_FIT, "May be placed in any of the 6 axis orderings.");
}

void bindItem(py::module_& module) {
    py::classh<Item>(module, "Item", "A single item to be packed.")
        .def(py::init([](std::string item_code, std::string item_reference, double width,
                         double length, double depth, double weight, std::string box_group,
                         Rotation allowed_rotation, std::optional<double> max_load) {
                 return makeItem(std::move(item_code), std::move(item_reference), width, length,
                                 depth, weight, allowed_rotation, std::move(box_group), max_load);
             }),
             py::arg("item_code"), py::arg("item_reference"), py::arg("width"), py::arg("length"),
             py::arg("depth"), py::arg("weight"), py::arg("box_group") = "",
             py::arg("allowed_rotation") = Rotation::BEST_FIT, py::arg("max_load") = py::none())
        .def_property_readonly("item_code", &Item::item_code)
        .def_property_readonly("item_reference", &Item::item_reference)
        .def_property_readonly("width", &Item::width)
        .def_property_readonly("length", &Item::length)
        .def_property_readonly("depth", &Item::depth)
        .def_property_readonly("weight", &Item::weight)
        .def_property_readonly("box_group",
                               [](const Item& item) -> std::optional<std::string> {
                                   const std::string* group = boxGroupOf(item);
                                   return group ? std::optional(*group) : std::nullopt;
                               })
        .def_property_readonly("has_box_group",
                               [](const Item& item) { return boxGroupOf(item) != nullptr; })
        .def_property_readonly("allowed_rotation", &Item::allowed_rotation)
        .def_property_readonly("volume", &Item::volume)
        .def_property_readonly("max_load", &Item::max_load,
                               "Most weight it may carry on top (None: no limit); optimize "
                               "honours it, pack ignores it.")
        .def(
            "to_dict", [](const Item& item) { return jsonToPython(item.to_json()); },
            "Every feature of this item as a plain Python dict.")
        .def(py::pickle([](const Item& item) { return itemState(item); },
                        [](const py::object& state) { return itemFromState(state); }))
        .def("__repr__",
             [](const Item& item) { return "<quarvex.Item '" + item.item_code() + "'>"; });
}

void bindBox(py::module_& module) {
    py::classh<Box>(module, "Box", "A box type available to pack items into.")
        .def(py::init([](std::string reference, double width, double length, double depth,
                         double max_weight, double empty_weight, bool active,
                         std::optional<std::int32_t> max_quantity, std::optional<double> cost) {
                 return makeBox(std::move(reference), width, length, depth, max_weight,
                                empty_weight, active, max_quantity, cost);
             }),
             py::arg("reference"), py::arg("width"), py::arg("length"), py::arg("depth"),
             py::arg("max_weight"), py::arg("empty_weight") = 0.0, py::arg("active") = true,
             py::arg("max_quantity") = py::none(), py::arg("cost") = py::none())
        .def_property_readonly("reference", &Box::reference)
        .def_property_readonly("width", &Box::width)
        .def_property_readonly("length", &Box::length)
        .def_property_readonly("depth", &Box::depth)
        .def_property_readonly("max_weight", &Box::max_weight)
        .def_property_readonly("has_weight_limit", &Box::has_weight_limit)
        .def_property_readonly("empty_weight", &Box::empty_weight)
        .def_property_readonly("active", &Box::active)
        .def_property_readonly("max_quantity",
                               [](const Box& box) -> std::optional<std::int32_t> {
                                   const LimitedSupplyBox* limited = limitedSupplyOf(box);
                                   return limited ? std::optional(limited->max_quantity())
                                                  : std::nullopt;
                               })
        .def_property_readonly("has_limited_quantity",
                               [](const Box& box) { return limitedSupplyOf(box) != nullptr; })
        .def_property_readonly("inner_volume", &Box::inner_volume)
        .def_property_readonly("cost", &Box::cost,
                               "Price of one box of the type (None: not given); optimize's "
                               "objective \"cost\" uses it, pack ignores it.")
        .def(
            "to_dict", [](const Box& box) { return jsonToPython(box.to_json()); },
            "Every feature of this box type as a plain Python dict.")
        .def(py::pickle([](const Box& box) { return boxState(box); },
                        [](const py::object& state) { return boxFromState(state); }))
        .def("__repr__",
             [](const Box& box) { return "<quarvex.Box '" + box.reference() + "'>"; });
}

}  // namespace

void bindModelClasses(py::module_& module) {
    bindRotation(module);
    bindItem(module);
    bindBox(module);
}

}  // namespace quarvex
