#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quarvex/bindings/bindings.hpp"
#include "quarvex/bindings/interruptible_call.hpp"
#include "quarvex/bindings/request_arguments.hpp"
#include "quarvex/bindings/typed_arguments.hpp"
#include "quarvex/search/optimizer.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

// A non-empty list or tuple of T objects is taken as objects; anything else
// is read as request dicts, with their errors.
template <class T>
bool isObjectList(const py::object& value) {
    if (!py::isinstance<py::list>(value) && !py::isinstance<py::tuple>(value)) return false;
    const py::sequence sequence = value;
    if (sequence.size() == 0) return false;
    for (const py::handle element : sequence) {
        if (!py::isinstance<T>(element)) return false;
    }
    return true;
}

PackResponse optimizeBinding(const ItemsArgument& items, const BoxesArgument& boxes,
                             std::optional<double> timeLimit, std::optional<std::int64_t> effort,
                             std::int64_t seed, double minSupport, const std::string& objective,
                             bool strict) {
    const OptimizeOptions options = checkedOptimizeOptions(
        timeLimit, effort, static_cast<std::uint64_t>(seed), minSupport, objective);
    const InterruptibleCall call;  // the search ends at its own time limit, not with an error
    if (strict) {
        refuseStrictFaults(isObjectList<Item>(items) ? py::object(py::none()) : py::object(items),
                           isObjectList<Box>(boxes) ? py::object(py::none()) : py::object(boxes),
                           RequestReader::Search);
    }
    const ItemCollection itemCollection = isObjectList<Item>(items)
                                              ? itemsFromObjects(items.cast<std::vector<ItemPtr>>())
                                              : itemsFromDicts(items, searchItemFromJson);
    const BoxCollection boxCollection = isObjectList<Box>(boxes)
                                            ? boxesFromObjects(boxes.cast<std::vector<BoxPtr>>())
                                            : boxesFromDicts(boxes, searchBoxFromJson);
    const py::gil_scoped_release release;
    const PackResponse result = optimize(itemCollection, boxCollection, options);
    // The result judges its unplaced items against every box type given.
    return PackResponse(result.success(), result.packedBoxCollection(),
                        result.unplacedItemCollection(), boxCollection.entries());
}

}  // namespace

void bindOptimize(py::module_& module) {
    module.def("optimize", &optimizeBinding, py::arg("items"), py::arg("boxes"), py::kw_only(),
               py::arg("time_limit") = 1.0, py::arg("effort") = py::none(), py::arg("seed") = 0,
               py::arg("min_support") = 0.0, py::arg("objective") = "boxes",
               py::arg("strict") = false,
               R"(Searches for a packing that places the most items, in the fewest boxes,
of the least total volume. Takes items and boxes as pack() or
pack_dicts() do and returns a PackResult.

time_limit: wall seconds (None: no limit); effort: work units, the same
result for the same seed on any machine (None: no limit); at least one
must be given. The time limit bounds the whole call: when pack() itself
does not finish within it, the search starts from its own orders.
min_support: the share of each item's base that must rest on the tops
of items below it (0.0: as the default packer). objective: "boxes"
(fewest boxes, then least volume) or "cost" (least total Cost of the
boxes first; every usable box type needs a Cost). Each item's MaxLoad
(max_load) caps the weight resting on its top, directly or through other
items, shared among supporters by contact area; 0 lets nothing stand on
it. With min_support 0.0, no MaxLoad and pack() finished within the time
limit (always, without one), the result is never worse than pack()'s.
strict: refuse request dicts with unknown keys, other rotation names,
values of the wrong type or sizes that are negative or not finite
(ValueError naming the fault and its JSON pointer) instead of reading
them leniently.
Ctrl-C stops the call with KeyboardInterrupt.

>>> result = optimize(items, boxes, time_limit=0.5)
>>> len(result.boxes) <= len(pack(items, boxes).boxes)
True)");
}

}  // namespace quarvex
