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
#include "quarvex/model/valid_figures.hpp"
#include "quarvex/bindings/bindings.hpp"
#include "quarvex/bindings/conversions.hpp"
#include "quarvex/bindings/initialised.hpp"
#include "quarvex/bindings/pickle_state.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

// py::enum_ takes any 32-bit number as a Rotation; only the three members are one.
Rotation rotationFromValue(std::int32_t value) {
    if (value < 0 || value > static_cast<std::int32_t>(Rotation::BEST_FIT)) {
        throw py::value_error(std::to_string(value) +
                              " is not a quarvex.Rotation value (0, 1 or 2)");
    }
    return static_cast<Rotation>(value);
}

// pybind11 makes an enum's memory in __new__ and fills it in __init__, so
// Rotation.__new__(Rotation), or a pickle that only calls __new__, would give
// a Rotation of whatever that memory held, and nothing can tell it from a
// real one afterwards. Its __new__ therefore runs __init__ at once with the
// same arguments (pybind11 ignores the second call that Python then makes).
newfunc pybindNew = nullptr;

PyObject* newInitialisedRotation(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    PyObject* self = pybindNew(type, args, kwargs);
    if (self != nullptr && Py_TYPE(self)->tp_init(self, args, kwargs) != 0) {
        Py_CLEAR(self);
    }
    return self;
}

void bindRotation(py::module_& module) {
    py::enum_<Rotation> rotation(module, "Rotation",
                                 "How free an item is to be reoriented while packing.");
    rotation
        .value("NEVER", Rotation::NEVER, "Must be packed exactly as given (Width/Length/Depth).")
        .value("KEEP_FLAT", Rotation::KEEP_FLAT, "May swap Width/Length but stay 'this way up'.")
        .value("BEST_FIT", Rotation::BEST_FIT, "May be placed in any of the 6 axis orderings.");
    py::delattr(rotation, "__init__");
    rotation.def(py::init(&rotationFromValue), py::arg("value"));
    // Pickled as a call of the class with the value, on every protocol.
    rotation.def("__reduce__", [](const py::object& self) {
        return py::make_tuple(py::type::of(self), py::make_tuple(py::int_(self)));
    });
    auto* type = reinterpret_cast<PyTypeObject*>(rotation.ptr());
    pybindNew = type->tp_new;
    type->tp_new = newInitialisedRotation;
    PyType_Modified(type);
}

// Text arguments are str only: bytes would be taken as they are and then
// fail, or print oddly, wherever the text is read back.
std::string utf8(const py::str& text) {
    return text.cast<std::string>();
}

void bindItem(py::module_& module) {
    py::classh<Item>(module, "Item", "A single item to be packed.")
        .def(py::init([](const py::str& item_code, const py::str& item_reference, double width,
                         double length, double depth, double weight, const py::str& box_group,
                         Rotation allowed_rotation, std::optional<double> max_load) {
                 return checkedFigures(makeItem(utf8(item_code), utf8(item_reference), width,
                                                length, depth, weight, allowed_rotation,
                                                utf8(box_group), max_load));
             }),
             py::arg("item_code"), py::arg("item_reference"), py::arg("width"), py::arg("length"),
             py::arg("depth"), py::arg("weight"), py::arg("box_group") = "",
             py::arg("allowed_rotation") = Rotation::BEST_FIT, py::arg("max_load") = py::none())
        .def_property_readonly("item_code", read<&Item::item_code>())
        .def_property_readonly("item_reference", read<&Item::item_reference>())
        .def_property_readonly("width", read<&Item::width>())
        .def_property_readonly("length", read<&Item::length>())
        .def_property_readonly("depth", read<&Item::depth>())
        .def_property_readonly("weight", read<&Item::weight>())
        .def_property_readonly("box_group",
                               on<Item>([](const Item& item) -> std::optional<std::string> {
                                   const std::string* group = boxGroupOf(item);
                                   return group ? std::optional(*group) : std::nullopt;
                               }))
        .def_property_readonly(
            "has_box_group", on<Item>([](const Item& item) { return boxGroupOf(item) != nullptr; }))
        .def_property_readonly("allowed_rotation", read<&Item::allowed_rotation>())
        .def_property_readonly("volume", read<&Item::volume>())
        .def_property_readonly("max_load", read<&Item::max_load>(),
                               "Most weight it may carry on top (None: no limit); optimize "
                               "honours it, pack ignores it.")
        .def("to_dict", on<Item>([](const Item& item) { return jsonToPython(item.to_json()); }),
             "Every feature of this item as a plain Python dict.")
        .def(py::pickle(on<Item>([](const Item& item) { return itemState(item); }),
                        [](const py::object& state) { return itemFromState(state); }))
        .def("__reduce__", &reduceByState)
        .def("__repr__", on<Item>([](const Item& item) {
                 return "<quarvex.Item '" + item.item_code() + "'>";
             }));
}

void bindBox(py::module_& module) {
    py::classh<Box>(module, "Box", "A box type available to pack items into.")
        .def(py::init([](const py::str& reference, double width, double length, double depth,
                         double max_weight, double empty_weight, bool active,
                         std::optional<std::int32_t> max_quantity, std::optional<double> cost) {
                 return checkedFigures(makeBox(utf8(reference), width, length, depth, max_weight,
                                               empty_weight, active, max_quantity, cost));
             }),
             py::arg("reference"), py::arg("width"), py::arg("length"), py::arg("depth"),
             py::arg("max_weight"), py::arg("empty_weight") = 0.0, py::arg("active") = true,
             py::arg("max_quantity") = py::none(), py::arg("cost") = py::none())
        .def_property_readonly("reference", read<&Box::reference>())
        .def_property_readonly("width", read<&Box::width>())
        .def_property_readonly("length", read<&Box::length>())
        .def_property_readonly("depth", read<&Box::depth>())
        .def_property_readonly("max_weight", read<&Box::max_weight>())
        .def_property_readonly("has_weight_limit", read<&Box::has_weight_limit>())
        .def_property_readonly("empty_weight", read<&Box::empty_weight>())
        .def_property_readonly("active", read<&Box::active>())
        .def_property_readonly(
            "max_quantity", on<Box>([](const Box& box) -> std::optional<std::int32_t> {
                const LimitedSupplyBox* limited = limitedSupplyOf(box);
                return limited ? std::optional(limited->max_quantity()) : std::nullopt;
            }))
        .def_property_readonly("has_limited_quantity", on<Box>([](const Box& box) {
                                   return limitedSupplyOf(box) != nullptr;
                               }))
        .def_property_readonly("inner_volume", read<&Box::inner_volume>())
        .def_property_readonly("cost", read<&Box::cost>(),
                               "Price of one box of the type (None: not given); optimize's "
                               "objective \"cost\" uses it, pack ignores it.")
        .def("to_dict", on<Box>([](const Box& box) { return jsonToPython(box.to_json()); }),
             "Every feature of this box type as a plain Python dict.")
        .def(py::pickle(on<Box>([](const Box& box) { return boxState(box); }),
                        [](const py::object& state) { return boxFromState(state); }))
        .def("__reduce__", &reduceByState)
        .def("__repr__",
             on<Box>([](const Box& box) { return "<quarvex.Box '" + box.reference() + "'>"; }));
}

}  // namespace

void bindModelClasses(py::module_& module) {
    bindRotation(module);
    bindItem(module);
    bindBox(module);
}

}  // namespace quarvex
