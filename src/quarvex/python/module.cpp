#include <pybind11/pybind11.h>

#include "quarvex/python/bindings.hpp"

namespace py = pybind11;

// The look-ahead memo is one process-wide map without a lock, so the module
// refuses sub-interpreters and does not declare free-threading support.
PYBIND11_MODULE(quarvex, module, py::multiple_interpreters::not_supported()) {
    module.doc() = R"(Ostrellan 3D bin-packing engine.

solve(json) -> json is the simplest entry point; pack_dicts(items, boxes) and pack(items, boxes) return a richer PackResult object.)";
    quarvex::bindModelClasses(module);
    quarvex::bindResultClasses(module);
    quarvex::bindEntryPoints(module);
}
