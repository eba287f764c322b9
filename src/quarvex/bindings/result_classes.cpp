#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/model/pack_response.hpp"
#include "quarvex/model/packed_box.hpp"
#include "quarvex/model/packed_item.hpp"
#include "quarvex/packing/unplaced_reasons.hpp"
#include "quarvex/bindings/bindings.hpp"
#include "quarvex/bindings/conversions.hpp"
#include "quarvex/bindings/initialised.hpp"
#include "quarvex/bindings/pickle_state.hpp"

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
        .def_property_readonly("item", read<&PackedItem::item>(),
                               "The original Item that was placed.")
        .def_property_readonly("x", read<&PackedItem::x>())
        .def_property_readonly("y", read<&PackedItem::y>())
        .def_property_readonly("z", read<&PackedItem::z>())
        .def_property_readonly("width", read<&PackedItem::width>(), "Placed (post-rotation) width.")
        .def_property_readonly("length", read<&PackedItem::length>(),
                               "Placed (post-rotation) length.")
        .def_property_readonly("depth", read<&PackedItem::depth>(), "Placed (post-rotation) depth.")
        .def_property_readonly("weight", read<&PackedItem::weight>())
        .def_property_readonly("volume", read<&PackedItem::volume>())
        .def_property_readonly("orientation", read<&PackedItem::orientation>(),
                               "Axis mapping used, e.g. 'WLD' = original order, 'LWD' = "
                               "width/length swapped, etc.")
        .def_property_readonly("rotated", read<&PackedItem::rotated>(),
                               "True if this item was not placed in its original orientation.")
        .def("to_dict", on<PackedItem>([](const PackedItem& packed) {
                 return jsonToPython(placementToJson(packed));
             }))
        .def(py::pickle(
            on<PackedItem>([](const PackedItem& packed) { return packedItemState(packed); }),
            [](const py::object& state) { return packedItemFromState(state); }))
        .def("__reduce__", &reduceByState)
        .def("__repr__", on<PackedItem>([](const PackedItem& packed) {
                 return "<quarvex.PackedItem '" + packed.item->item_code() + "' @ (" +
                        fixedSixDecimals(packed.x) + ", " + fixedSixDecimals(packed.y) + ", " +
                        fixedSixDecimals(packed.z) + ")>";
             }));
}

void bindPackedBox(py::module_& module) {
    py::classh<PackedBox>(module, "PackedBox", "A box together with everything packed into it.")
        .def_property_readonly("box", read<&PackedBox::box>())
        // By value: each access hands out fresh copies, not views into this box.
        .def_property_readonly("items", read<&PackedBox::items>())
        .def_property_readonly("weight", read<&PackedBox::weight>(),
                               "Empty weight + all item weights.")
        .def_property_readonly("item_weight", read<&PackedBox::item_weight>())
        .def_property_readonly("max_weight", read<&PackedBox::max_weight>())
        .def_property_readonly("remaining_weight", read<&PackedBox::remaining_weight>())
        .def_property_readonly("used_volume", read<&PackedBox::used_volume>())
        .def_property_readonly("inner_volume", read<&PackedBox::inner_volume>())
        .def_property_readonly("unused_volume", read<&PackedBox::unused_volume>())
        .def_property_readonly("volume_utilisation", read<&PackedBox::volume_utilisation>(),
                               "Used volume as a percentage (0-100) of inner volume.")
        .def_property_readonly("used_width", read<&PackedBox::used_width>())
        .def_property_readonly("used_length", read<&PackedBox::used_length>())
        .def_property_readonly("used_depth", read<&PackedBox::used_depth>())
        .def_property_readonly("remaining_width", read<&PackedBox::remaining_width>())
        .def_property_readonly("remaining_length", read<&PackedBox::remaining_length>())
        .def_property_readonly("remaining_depth", read<&PackedBox::remaining_depth>())
        .def("to_dict", on<PackedBox>([](const PackedBox& packed) {
                 return jsonToPython(packedBoxToJson(packed));
             }))
        .def(py::pickle(
            on<PackedBox>([](const PackedBox& packed) { return packedBoxState(packed); }),
            [](const py::object& state) { return packedBoxFromState(state); }))
        .def("__reduce__", &reduceByState)
        .def("__len__", on<PackedBox>([](const PackedBox& packed) { return packed.items.size(); }))
        .def("__repr__", on<PackedBox>([](const PackedBox& packed) {
                 return "<quarvex.PackedBox '" + packed.box->reference() +
                        "' items=" + std::to_string(packed.items.size()) + ">";
             }));
}

// Deeper indents overrun the JSON library's indent buffer (from 1025 on), and
// no reader wants more than a few levels of a wide indent anyway.
constexpr std::int32_t kMaxIndent = 64;

std::string responseText(const std::shared_ptr<PackResponse>& self, std::int32_t indent,
                         bool explain) {
    if (indent > kMaxIndent) {
        throw py::value_error("indent must be 0.." + std::to_string(kMaxIndent) +
                              ", or negative for one line");
    }
    return responseToJsonText(initialised(self), indent, explain);
}

void bindPackResult(py::module_& module) {
    py::classh<PackResponse>(module, "PackResult", "The outcome of a packing run.")
        .def_property_readonly("success", read<&PackResponse::success>(),
                               "True if every item was placed in some box.")
        .def_property_readonly("boxes", read<&PackResponse::boxes>())
        .def_property_readonly("unplaced_items", read<&PackResponse::unplaced_items>())
        .def_property_readonly("overall_volume_utilisation",
                               read<&PackResponse::overall_volume_utilisation>())
        .def_property_readonly("total_placed", read<&PackResponse::total_placed>())
        .def_property_readonly("total_unplaced", read<&PackResponse::total_unplaced>())
        .def("to_dict", on<PackResponse>([](const PackResponse& response) {
                 return jsonToPython(responseToJson(response));
             }),
             "The full result -- every box, every placed item, and every unplaced item -- as a "
             "plain Python dict.")
        .def("to_json", &responseText, py::arg("indent") = 2, py::kw_only(),
             py::arg("explain") = false, "The full result as a JSON string.")
        .def("unplaced_reasons", on<PackResponse>([](const PackResponse& response) {
                 std::vector<std::string> names;
                 for (const UnplacedReason reason : unplacedReasons(response)) {
                     names.emplace_back(unplacedReasonName(reason));
                 }
                 return names;
             }),
             R"(Why each unplaced item was not packed, in the order of unplaced_items,
judged against every box type the run was given: "no_active_box_type",
"too_large", "too_heavy", "no_type_large_and_strong", "box_group",
"supply_exhausted" or "no_room_beside_others".

>>> pack_dicts([{"ItemCode": "big", "Width": 9, "Length": 9, "Depth": 9}],
...            [{"Reference": "S", "Width": 1, "Length": 1, "Depth": 1, "MaxWeight": -1}]).unplaced_reasons()
['too_large'])")
        .def(py::pickle(on<PackResponse>(
                            [](const PackResponse& response) { return packResultState(response); }),
                        [](const py::object& state) { return packResultFromState(state); }))
        .def("__reduce__", &reduceByState)
        .def("__repr__", on<PackResponse>([](const PackResponse& response) {
                 return std::string("<quarvex.PackResult success=") +
                        (response.success() ? "True" : "False") +
                        " boxes=" + std::to_string(response.packedBoxCollection().size()) +
                        " unplaced=" + std::to_string(response.unplacedItemCollection().size()) +
                        ">";
             }));
}

}  // namespace

void bindResultClasses(py::module_& module) {
    bindPackedItem(module);
    bindPackedBox(module);
    bindPackResult(module);
}

}  // namespace quarvex
