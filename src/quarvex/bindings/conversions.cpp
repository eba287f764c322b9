#include "quarvex/bindings/conversions.hpp"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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

namespace {

// Deeper data (or a cycle) is left to json.dumps and its own faults.
constexpr int kMaxPlainDepth = 200;

std::optional<std::string> utf8Of(PyObject* text) {
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text, &size);
    if (bytes == nullptr) {  // lone surrogates: dumps escapes them and parsing fails
        PyErr_Clear();
        return std::nullopt;
    }
    return std::string(bytes, static_cast<std::size_t>(size));
}

// The JSON value that json.dumps and parsing give for plain data: exact
// dicts with str keys, lists, tuples, str, bool, None, integers within 64
// bits and finite floats (whose repr parses back to the same double). None
// for anything else, which then takes the interpreter's road.
std::optional<nlohmann::json> plainJson(PyObject* object, int depth) {
    if (depth > kMaxPlainDepth) return std::nullopt;
    if (object == Py_None) return nlohmann::json(nullptr);
    if (PyBool_Check(object)) return nlohmann::json(object == Py_True);
    if (PyLong_CheckExact(object)) {
        int overflow = 0;
        const long long value = PyLong_AsLongLongAndOverflow(object, &overflow);
        if (overflow == 0) {
            // Parsing reads digits without a sign as unsigned.
            if (value >= 0) return nlohmann::json(static_cast<std::uint64_t>(value));
            return nlohmann::json(static_cast<std::int64_t>(value));
        }
        if (overflow > 0) {
            const unsigned long long value = PyLong_AsUnsignedLongLong(object);
            if (!PyErr_Occurred()) return nlohmann::json(static_cast<std::uint64_t>(value));
            PyErr_Clear();
        }
        return std::nullopt;  // parsed as a float from its digits
    }
    if (PyFloat_CheckExact(object)) {
        const double value = PyFloat_AS_DOUBLE(object);
        if (!std::isfinite(value)) return std::nullopt;  // NaN and Infinity fail to parse
        return nlohmann::json(value);
    }
    if (PyUnicode_CheckExact(object)) {
        std::optional<std::string> text = utf8Of(object);
        if (!text) return std::nullopt;
        return nlohmann::json(std::move(*text));
    }
    if (PyList_CheckExact(object) || PyTuple_CheckExact(object)) {
        nlohmann::json array = nlohmann::json::array();
        const Py_ssize_t size = PySequence_Fast_GET_SIZE(object);
        PyObject** elements = PySequence_Fast_ITEMS(object);
        for (Py_ssize_t i = 0; i < size; ++i) {
            std::optional<nlohmann::json> element = plainJson(elements[i], depth + 1);
            if (!element) return std::nullopt;
            array.push_back(std::move(*element));
        }
        return array;
    }
    if (PyDict_CheckExact(object)) {
        nlohmann::json members = nlohmann::json::object();
        Py_ssize_t position = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(object, &position, &key, &value)) {
            if (!PyUnicode_CheckExact(key)) return std::nullopt;  // dumps turns such keys into text
            std::optional<std::string> name = utf8Of(key);
            if (!name) return std::nullopt;
            std::optional<nlohmann::json> member = plainJson(value, depth + 1);
            if (!member) return std::nullopt;
            members[std::move(*name)] = std::move(*member);
        }
        return members;
    }
    return std::nullopt;
}

}  // namespace

nlohmann::json pythonToJson(py::handle object) {
    // Plain data is walked directly, which gives the same values far faster;
    // everything else goes through json.dumps, imported on every call as the
    // interpreter has it, so its faults and the parser's are the ones raised.
    if (std::optional<nlohmann::json> plain = plainJson(object.ptr(), 0)) {
        return std::move(*plain);
    }
    const py::object dumps = py::module_::import("json").attr("dumps");
    return nlohmann::json::parse(dumps(object).cast<std::string>());
}

}  // namespace quarvex
