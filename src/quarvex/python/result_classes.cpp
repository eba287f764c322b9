#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/model/pack_response.hpp"
#include "quarvex/model/packed_box.hpp"
#include "quarvex/model/packed_item.hpp"
#include "quarvex/python/bindings.hpp"
#include "quarvex/python/conversions.hpp"
#include "quarvex/python/pickle_state.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

// "%f" of a huge double runs to over 300 characters; size the text first.
std::string fixedSixDecimals(double value) {
    const int size = std::snprintf(nullptr, 0, "%f", value);
    std::string text(static_cast<std::size_t>(size), '\0');
    std::snprintf(text.data(), text.size() + 1, "%f", value);
    return text;
}

void bindPackedItem(py::module_& module) {
    py::classh<PackedItem>(module, "PackedItem",
                           "An Item placed at a specific position inside a box.")
        .def_property_readonly(
            "item", [](const PackedItem& packed) { return packed.item; },
            "The original Item that was placed.")
        .def_readonly("x", &PackedItem::x)
        .def_readonly("y", &PackedItem::y)
        .def_readonly("z", &PackedItem::z)
        .def_readonly("width", &PackedItem::width, "Placed (post-rotation) width.")
        .def_readonly("length", &PackedItem::length, "Placed (post-rotation) length.")
        .def_readonly("depth", &PackedItem::depth, "Placed (post-rotation) depth.")
        .def_property_readonly("weight", &PackedItem::weight)
        .def_property_readonly("volume", &PackedItem::volume)
        .def_readonly("orientation", &PackedItem::orientation,
                      "Axis mapping used, e.g. 'WLD' = original order, 'LWD' = width/length "
                      "swapped, etc.")
        .def_property_readonly("rotated", &PackedItem::rotated,
                               "True if this item was not placed in its original orientation.")
        .def("to_dict",
             [](const PackedItem& packed) { return jsonToPython(placementToJson(packed)); })
        .def(py::pickle([](const PackedItem& packed) { return packedItemState(packed); },
                        [](const py::object& state) { return packedItemFromState(state); }))
        .def("__repr__", [](const PackedItem& packed) {
            return "<quarvex.PackedItem '" + packed.item->item_code() + "' @ (" +
                   fixedSixDecimals(packed.x) + ", " + fixedSixDecimals(packed.y) + ", " +
                   fixedSixDecimals(packed.z) + ")>";
        });
}

void bindPackedBox(py::module_& module) {
    py::classh<PackedBox>(module, "PackedBox", "A box together with everything packed into it.")
        .def_property_readonly("box", [](const PackedBox& packed) { return packed.box; })
        // By value: each access hands out fresh copies, not views into this box.
        .def_property_readonly("items", [](const PackedBox& packed) { return packed.items; })
        .def_property_readonly("weight", &PackedBox::weight, "Empty weight + all item weights.")
        .def_property_readonly("item_weight", &PackedBox::item_weight)
        .def_property_readonly("max_weight", &PackedBox::max_weight)
        .def_property_readonly("remaining_weight", &PackedBox::remaining_weight)
        .def_property_readonly("used_volume", &PackedBox::used_volume)
        .def_property_readonly("inner_volume", &PackedBox::inner_volume)
        .def_property_readonly("unused_volume", &PackedBox::unused_volume)
        .def_property_readonly("volume_utilisation", &PackedBox::volume_utilisation,
                               "Used volume as a percentage (0-100) of inner volume.")
        .def_property_readonly("used_width", &PackedBox::used_width)
        .def_property_readonly("used_length", &PackedBox::used_length)
        .def_property_readonly("used_depth", &PackedBox::used_depth)
        .def_property_readonly("remaining_width", &PackedBox::remaining_width)
        .def_property_readonly("remaining_length", &PackedBox::remaining_length)
        .def_property_readonly("remaining_depth", &PackedBox::remaining_depth)
        .def("to_dict",
             [](const PackedBox& packed) { return jsonToPython(packedBoxToJson(packed)); })
        .def(py::pickle([](const PackedBox& packed) { return packedBoxState(packed); },
                        [](const py::object& state) { return packedBoxFromState(state); }))
        .def("__len__", [](const PackedBox& packed) { return packed.items.size(); })
        .def("__repr__", [](const PackedBox& packed) {
            return "<quarvex.PackedBox '" + packed.box->reference() +
                   "' items=" + std::to_string(packed.items.size()) + ">";
        });
}

void bindPackResult(py::module_& module) {
    py::classh<PackResponse>(module, "PackResult", "The outcome of a packing run.")
        .def_property_readonly("success", &PackResponse::success,
                               "True if every item was placed in some box.")
        .def_property_readonly("boxes", &PackResponse::boxes)
        .def_property_readonly("unplaced_items", &PackResponse::unplaced_items)
        .def_property_readonly("overall_volume_utilisation",
                               &PackResponse::overall_volume_utilisation)
        .def_property_readonly("total_placed", &PackResponse::total_placed)
        .def_property_readonly("total_unplaced", &PackResponse::total_unplaced)
        .def(
            "to_dict",
            [](const PackResponse& response) { return jsonToPython(responseToJson(response)); },
            "The full result -- every box, every placed item, and every unplaced item -- as a "
            "plain Python dict.")
        .def(
            "to_json",
            [](const PackResponse& response, std::int32_t indent) {
                return responseToJsonText(response, indent);
            },
            py::arg("indent") = 2, "The full result as a JSON string.")
        .def(py::pickle([](const PackResponse& response) { return packResultState(response); },
                        [](const py::object& state) { return packResultFromState(state); }))
        .def("__repr__", [](const PackResponse& response) {
            return std::string("<quarvex.PackResult success=") +
                   (response.success() ? "True" : "False") +
                   " boxes=" + std::to_string(response.packedBoxes().size()) +
                   " unplaced=" + std::to_string(response.unplacedItems().size()) + ">";
        });
}

}  // namespace

void bindResultClasses(py::module_& module) {
    bindPackedItem(module);
    bindPackedBox(module);
    bindPackResult(module);
}

}  // namespace quarvex
