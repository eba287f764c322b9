#include "quarvex/bindings/request_arguments.hpp"

#include <memory>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "quarvex/json_io/request_reader.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/bindings/conversions.hpp"
#include "quarvex/bindings/initialised.hpp"

namespace py = pybind11;

namespace quarvex {

ItemCollection itemsFromDicts(const py::object& items, ItemPtr (*read)(const nlohmann::json&)) {
    ItemCollection collection(std::make_shared<DefaultItemSorter>());
    forEachElement(pythonToJson(items),
                   [&](const nlohmann::json& element) { collection.insert(read(element)); });
    return collection;
}

BoxCollection boxesFromDicts(const py::object& boxes, BoxPtr (*read)(const nlohmann::json&)) {
    BoxCollection collection(std::make_shared<DefaultBoxSorter>());
    forEachElement(pythonToJson(boxes),
                   [&](const nlohmann::json& element) { collection.insert(read(element)); });
    return collection;
}

void refuseStrictFaults(const py::object& items, const py::object& boxes, RequestReader reader) {
    nlohmann::json request = nlohmann::json::object();
    if (!items.is_none()) request["items"] = pythonToJson(items);
    if (!boxes.is_none()) request["boxes"] = pythonToJson(boxes);
    if (const auto fault = strictReadingFault(request, reader)) {
        throw std::invalid_argument(fault->message + " (at " + fault->pointer + ")");
    }
}

ItemCollection itemsFromObjects(const std::vector<ItemPtr>& items) {
    ItemCollection collection(std::make_shared<DefaultItemSorter>());
    for (const ItemPtr& item : items) collection.insert(initialisedPointer(item));
    return collection;
}

BoxCollection boxesFromObjects(const std::vector<BoxPtr>& boxes) {
    BoxCollection collection(std::make_shared<DefaultBoxSorter>());
    for (const BoxPtr& box : boxes) collection.insert(initialisedPointer(box));
    return collection;
}

}  // namespace quarvex
