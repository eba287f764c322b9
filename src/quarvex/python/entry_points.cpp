#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "quarvex/json_io/request_reader.hpp"
#include "quarvex/json_io/solve.hpp"
#include "quarvex/model/collections.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/python/bindings.hpp"
#include "quarvex/python/conversions.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

// All items are converted and read before the boxes are even converted, so
// the first fault, in that order, ends the call before any packing.
PackResponse packDicts(const py::object& items, const py::object& boxes) {
    ItemCollection itemCollection(std::make_shared<DefaultItemSorter>());
    forEachElement(pythonToJson(items), [&itemCollection](const nlohmann::json& element) {
        itemCollection.insert(itemFromJson(element));
    });
    BoxCollection boxCollection(std::make_shared<DefaultBoxSorter>());
    forEachElement(pythonToJson(boxes), [&boxCollection](const nlohmann::json& element) {
        boxCollection.insert(boxFromJson(element));
    });
    return Packer::pack(itemCollection, boxCollection);
}

// A parse fault quotes the bytes last read, which may end inside a UTF-8
// sequence or not be UTF-8 at all; Python needs valid text for the message,
// so such bytes are written as \xNN escapes.
std::string solveText(std::string_view requestText) {
    try {
        return solve(requestText);
    } catch (const nlohmann::json::parse_error& fault) {
        const py::str text = py::bytes(fault.what()).attr("decode")("utf-8", "backslashreplace");
        throw std::runtime_error(text.cast<std::string>());
    }
}

PackResponse packObjects(const std::vector<ItemPtr>& items, const std::vector<BoxPtr>& boxes) {
    ItemCollection itemCollection(std::make_shared<DefaultItemSorter>());
    for (const ItemPtr& item : items) {
        itemCollection.insert(item);
    }
    BoxCollection boxCollection(std::make_shared<DefaultBoxSorter>());
    for (const BoxPtr& box : boxes) {
        boxCollection.insert(box);
    }
    return Packer::pack(itemCollection, boxCollection);
}

}  // namespace

void bindEntryPoints(py::module_& module) {
    module.def("solve", &solveText, py::arg("request_json"),
               R"(The simplest entry point: pass a JSON string shaped like
{"items": [...], "boxes": [...]} and get a JSON string back.
No quarvex types required on either side.)");
    module.def("pack_dicts", &packDicts, py::arg("items"), py::arg("boxes"),
               R"(Like solve(), but takes/returns native Python objects: pass lists
of plain dicts shaped like items.json / boxes.json and get back a
rich PackResult with attribute access to every feature.)");
    module.def("pack", &packObjects, py::arg("items"), py::arg("boxes"),
               R"(Like pack_dicts(), but takes lists of quarvex.Item / quarvex.Box
objects instead of plain dicts.)");
}

}  // namespace quarvex
