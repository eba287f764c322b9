#pragma once

#include <pybind11/pybind11.h>

namespace quarvex {

// Arguments taken as any Python object (the request readers say what is
// wrong with one), named in signatures and the type stub for what callers
// pass. pybind11's own typing classes test an argument with PyObject_Type,
// which keeps a reference to its type for every call.
inline int anyObject(PyObject* /*object*/) {
    return 1;
}

template <class Named>
class TypedArgument : public pybind11::object {
    PYBIND11_OBJECT_DEFAULT(TypedArgument, object, anyObject)
};

// None, as a request without the key, holds nothing.
struct RequestDictsName {
    static constexpr auto name = pybind11::detail::const_name(
        "collections.abc.Sequence[collections.abc.Mapping[str, typing.Any]] | None");
};
struct ItemsName {
    static constexpr auto name = pybind11::detail::const_name(
        "collections.abc.Sequence[quarvex.Item] | "
        "collections.abc.Sequence[collections.abc.Mapping[str, "
        "typing.Any]] | None");
};
struct BoxesName {
    static constexpr auto name = pybind11::detail::const_name(
        "collections.abc.Sequence[quarvex.Box] | "
        "collections.abc.Sequence[collections.abc.Mapping[str, "
        "typing.Any]] | None");
};

// Items or boxes as request dicts (pack_dicts); as objects or dicts (optimize).
using RequestDicts = TypedArgument<RequestDictsName>;
using ItemsArgument = TypedArgument<ItemsName>;
using BoxesArgument = TypedArgument<BoxesName>;

}  // namespace quarvex

namespace pybind11::detail {

template <class Named>
struct handle_type_name<quarvex::TypedArgument<Named>> {
    static constexpr auto name = Named::name;
};

}  // namespace pybind11::detail
