#include "quarvex/python/conversions.hpp"

#include <cstdint>
#include <string>

namespace py = pybind11;

namespace quarvex {

namespace {

// The interpreter's own C-recursion guard: a value nested deeper than the
// interpreter allows raises RecursionError instead of exhausting the stack.
class RecursionGuard {
public:
    RecursionGuard() {
        if (Py_EnterRecursiveCall(" while converting a JSON value to Python") != 0) {
            throw py::error_already_set();
        }
    }
    ~RecursionGuard() { Py_LeaveRecursiveCall(); }
    RecursionGuard(const RecursionGuard&) = delete;
    RecursionGuard& operator=(const RecursionGuard&) = delete;
};

}  // namespace

py::object jsonToPython(const nlohmann::json& value) {
    using Kind = nlohmann::json::value_t;
    const RecursionGuard guard;
    switch (value.type()) {
        case Kind::boolean:
            return py::bool_(value.get<bool>());
        case Kind::number_integer:
        case Kind::number_unsigned:
            return py::int_(value.get<std::int64_t>());
        case Kind::number_float:
            return py::float_(value.get<double>());
        case Kind::string:
            return py::str(value.get_ref<const std::string&>());
        case Kind::array: {
            py::list list;
            for (const auto& element : value) {
                list.append(jsonToPython(element));
            }
            return list;
        }
        case Kind::object: {
            py::dict dict;
            for (const auto& [key, member] : value.items()) {
                dict[py::str(key)] = jsonToPython(member);
            }
            return dict;
        }
        case Kind::null:
        case Kind::binary:
        case Kind::discarded:
            break;
    }
    return py::none();
}

nlohmann::json pythonToJson(py::handle object) {
    // Imported on every call: the conversion is the interpreter's, as it is now.
    const py::object dumps = py::module_::import("json").attr("dumps");
    return nlohmann::json::parse(dumps(object).cast<std::string>());
}

}  // namespace quarvex
