#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <string>

namespace quarvex {

// Class.__new__(Class), or a pickle that makes an object and never sets its
// state, gives a Python object with no C++ value inside. pybind11 would hand
// such an object's methods uninitialised memory, so the bound classes take
// their object as a shared_ptr, which is empty then, and refuse it here.
template <class T>
const T& initialised(const std::shared_ptr<T>& self) {
    if (!self) {
        const pybind11::str name = pybind11::type::handle_of<T>().attr("__name__");
        throw pybind11::type_error("this quarvex." + name.cast<std::string>() +
                                   " was never initialised (made by __new__ alone)");
    }
    return *self;
}

// The same for an object passed in a list, which arrives as an empty pointer.
template <class T>
const std::shared_ptr<T>& initialisedPointer(const std::shared_ptr<T>& object) {
    initialised(object);
    return object;
}

template <class>
struct ClassOf;
template <class Class, class Member>
struct ClassOf<Member Class::*> {
    using type = Class;
};

// A member function or data member of a bound class, read through initialised().
template <auto member>
auto read() {
    using Class = typename ClassOf<decltype(member)>::type;
    return
        [](const std::shared_ptr<Class>& self) { return std::invoke(member, initialised(self)); };
}

// A function of a bound object, called through initialised().
template <class T, class Body>
auto on(Body body) {
    return [body](const std::shared_ptr<T>& self) { return body(initialised(self)); };
}

}  // namespace quarvex
