#pragma once

#include <nlohmann/json.hpp>
#include <pybind11/pybind11.h>

namespace quarvex {

// A JSON value as new Python objects; objects become dicts in key order,
// integers are read as signed 64-bit values, binary and discarded give None.
pybind11::object jsonToPython(const nlohmann::json& value);

// Python data as the JSON value the interpreter's json.dumps and parsing give
// (plain data is walked directly). A value dumps cannot serialise raises its
// own TypeError; NaN and the infinities fail to parse (json::parse_error).
nlohmann::json pythonToJson(pybind11::handle object);

}  // namespace quarvex
