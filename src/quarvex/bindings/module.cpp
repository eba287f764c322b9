#include <pybind11/pybind11.h>

#include "quarvex/bindings/bindings.hpp"

namespace py = pybind11;

// The look-ahead memo is one process-wide map without a lock, so the module
// refuses sub-interpreters and does not declare free-threading support.
PYBIND11_MODULE(_core, module, py::multiple_interpreters::not_supported()) {
    module.doc() = R"(Ostrellan 3D bin-packing engine.

solve(json) -> json is the simplest entry point; pack_dicts(items, boxes) and pack(items, boxes) return a richer PackResult object.)";
    // Classes take their module name from the scope they are registered in.
    // Registering them under the package's name makes reprs, help(), signature
    // texts and pickling say quarvex.Item, the name callers import.
    const py::object extensionName = module.attr("__name__");
    module.attr("__name__") = "quarvex";
    quarvex::bindModelClasses(module);
    quarvex::bindResultClasses(module);
    quarvex::bindEntryPoints(module);
    quarvex::bindOptimize(module);
    module.attr("__name__") = extensionName;
}
