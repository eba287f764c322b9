#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "quarvex/json_io/solve.hpp"
#include "quarvex/json_io/strict_reader.hpp"
#include "quarvex/packing/fill_counts.hpp"
#include "quarvex/packing/load_sharing.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/bindings/bindings.hpp"
#include "quarvex/bindings/conversions.hpp"
#include "quarvex/bindings/interruptible_call.hpp"
#include "quarvex/bindings/request_arguments.hpp"
#include "quarvex/bindings/typed_arguments.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

// The engine's part of each call runs without the interpreter lock, on
// collections of the call's own: what it reads from Python is converted (or
// its immutable C++ objects shared) before the lock goes.
PackResponse packDicts(const RequestDicts& items, const RequestDicts& boxes,
                       std::optional<double> timeLimit, bool strict) {
    const InterruptibleCall call(timeLimit);
    if (strict) refuseStrictFaults(items, boxes, RequestReader::Packer);
    const ItemCollection itemCollection = itemsFromDicts(items);
    const BoxCollection boxCollection = boxesFromDicts(boxes);
    const py::gil_scoped_release release;
    return Packer::pack(itemCollection, boxCollection);
}

// A parse fault quotes the bytes last read, which may end inside a UTF-8
// sequence or not be UTF-8 at all; Python needs valid text for the message,
// so such bytes are written as \xNN escapes.
std::string solveText(std::string_view requestText, std::optional<double> timeLimit, bool explain) {
    const InterruptibleCall call(timeLimit);
    // A copy: the view may be of a bytearray, which another thread could change.
    const std::string text(requestText);
    try {
        const py::gil_scoped_release release;
        return solveRequest(text, nullptr, explain);
    } catch (const nlohmann::json::parse_error& fault) {
        const py::str text = py::bytes(fault.what()).attr("decode")("utf-8", "backslashreplace");
        throw std::runtime_error(text.cast<std::string>());
    }
}

// The elements of a request's "items" or "boxes" as the reader walks them: an
// array's elements, an object's values, or the one value.
std::vector<const nlohmann::json*> requestElements(const nlohmann::json& request,
                                                   const char* field) {
    const auto found = request.find(field);
    std::vector<const nlohmann::json*> elements;
    if (found == request.end() || found->is_null()) return elements;
    if (!found->is_array() && !found->is_object()) return {&*found};
    for (const auto& element : *found) elements.push_back(&element);
    return elements;
}

bool honouredOnlyBySearch(const nlohmann::json& request) {
    const auto options = request.find("options");
    if (options != request.end() && !options->is_null()) return true;
    for (const auto& [field, key] : {std::pair{"items", "MaxLoad"}, std::pair{"boxes", "Cost"}}) {
        for (const nlohmann::json* element : requestElements(request, field)) {
            if (!element->is_object()) continue;
            const auto value = element->find(key);
            if (value != element->end() && !value->is_null()) return true;
        }
    }
    return false;
}

// The service's path for the requests that read cleanly, which are nearly all:
// parsed once and checked as the service checks them, without the interpreter
// lock. Anything else gives nothing, and the service's own checks name the fault.
std::optional<std::string> cleanAnswer(std::string_view text, bool strict, bool explain,
                                       std::size_t maxItems) {
    nlohmann::json request;
    try {
        request = parseJsonText(text);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    if (!request.is_object() || requestElements(request, "items").size() > maxItems ||
        honouredOnlyBySearch(request) ||
        (strict && strictReadingFault(request, RequestReader::Packer))) {
        return std::nullopt;
    }
    try {
        return solveParsedRequest(request, nullptr, explain);
    } catch (const std::exception&) {  // a fault of the lenient reading: the service names it
        return std::nullopt;
    }
}

std::optional<py::bytes> solveIfClean(const py::bytes& body, bool strict, bool explain,
                                      std::size_t maxItems) {
    const InterruptibleCall call;
    // Bytes cannot change, and the argument holds them while the lock is gone.
    const std::string_view text = body;
    std::optional<std::string> answer;
    {
        const py::gil_scoped_release release;
        answer = cleanAnswer(text, strict, explain, maxItems);
    }
    if (!answer) return std::nullopt;
    return py::bytes(*answer);
}

PackResponse packObjects(const std::vector<ItemPtr>& items, const std::vector<BoxPtr>& boxes,
                         std::optional<double> timeLimit) {
    const InterruptibleCall call(timeLimit);
    const ItemCollection itemCollection = itemsFromObjects(items);
    const BoxCollection boxCollection = boxesFromObjects(boxes);
    const py::gil_scoped_release release;
    return Packer::pack(itemCollection, boxCollection);
}

}  // namespace

void bindEntryPoints(py::module_& module) {
    py::register_exception<DeadlineExceeded>(module, "TimeoutError", PyExc_TimeoutError)
        .attr("__doc__") = "A call's time_limit ran out before it finished; a TimeoutError.";
    module.def("solve", &solveText, py::arg("request_json"), py::kw_only(),
               py::arg("time_limit") = py::none(), py::arg("explain") = false,
               R"(The simplest entry point: pass a JSON string shaped like
{"items": [...], "boxes": [...]} and get a JSON string back.
No quarvex types required on either side.)");
    module.def("_solve_if_clean", &solveIfClean, py::arg("body"), py::kw_only(), py::arg("strict"),
               py::arg("explain"), py::arg("max_items"),
               "solve()'s answer as bytes when the request reads cleanly (strictly, if asked) "
               "with at most max_items items and nothing only the search honours; None "
               "otherwise. For the HTTP service.");
    module.def("pack_dicts", &packDicts, py::arg("items"), py::arg("boxes"), py::kw_only(),
               py::arg("time_limit") = py::none(), py::arg("strict") = false,
               R"(Like solve(), but takes/returns native Python objects: pass lists
of plain dicts shaped like items.json / boxes.json and get back a
rich PackResult with attribute access to every feature.)");
    module.def(
        "_fill_counts",
        [] {
            const FillCounts& counts = fillCounts();
            py::dict result;
            result["first"] = counts.first;
            result["balancing"] = counts.balancing;
            result["look_ahead"] = counts.lookAhead;
            return result;
        },
        "Box fills made on this thread so far, by what asked for them (for the benchmarks).");
    module.def(
        "_carried_loads",
        [](const std::vector<std::array<double, 7>>& blocks) {
            std::vector<Cuboid> spaces;
            std::vector<double> weights;
            for (const auto& [x, y, z, w, l, d, weight] : blocks) {
                // Sorting by height needs numbers that compare.
                for (double figure : {x, y, z, w, l, d, weight}) {
                    if (!std::isfinite(figure)) {
                        throw py::value_error(
                            "item " + std::to_string(spaces.size()) +
                            " of the box has a figure that is not a finite number");
                    }
                }
                spaces.push_back({x, y, z, w, l, d});
                weights.push_back(weight);
            }
            return carriedLoads(spaces, weights);
        },
        py::arg("blocks"),
        "The weight on each packed item's top, given (x, y, z, width, length, depth, weight) "
        "per item of one box (for the pictures).");
    module.def("pack", &packObjects, py::arg("items"), py::arg("boxes"), py::kw_only(),
               py::arg("time_limit") = py::none(),
               R"(Like pack_dicts(), but takes lists of quarvex.Item / quarvex.Box
objects instead of plain dicts.)");
    module.def(
        "request_fault",
        [](const py::object& request,
           bool search) -> std::optional<std::pair<std::string, std::string>> {
            const auto fault = strictReadingFault(
                pythonToJson(request), search ? RequestReader::Search : RequestReader::Packer);
            if (!fault) return std::nullopt;
            return std::pair{fault->pointer, fault->message};
        },
        py::arg("request"), py::kw_only(), py::arg("search") = false,
        R"(The first fault that strict reading finds in a request (the parsed JSON
object), as (JSON pointer, message); None when it reads cleanly. search:
read it as optimize() does, which also honours MaxLoad, Cost and "options".

>>> request_fault({"items": [{"ItemCode": "lamp", "Width": 1, "Length": 1, "Depth": 1,
...                           "AllowedRotation": "Upright"}]})
('/items/0/AllowedRotation', 'item \'lamp\': AllowedRotation must be "Never", "KeepFlat" or "BestFit", not "Upright"'))");
}

}  // namespace quarvex
