#include "quarvex/bindings/interruptible_call.hpp"

#include <pybind11/gil_safe_call_once.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <functional>
#include <string>

namespace py = pybind11;

namespace quarvex {

namespace {

// Runs the interpreter's signal handlers, as the interpreter itself would
// between two lines of Python; taking the lock is a no-op when it is held.
void checkSignals() {
    const py::gil_scoped_acquire lock;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

// Python runs signal handlers in the main thread only; elsewhere checking
// would only contend for the lock.
bool inMainThread() {
    PYBIND11_CONSTINIT static py::gil_safe_call_once_and_store<unsigned long> mainThread;
    const unsigned long ident = mainThread
                                    .call_once_and_store_result([] {
                                        return py::module_::import("threading")
                                            .attr("main_thread")()
                                            .attr("ident")
                                            .cast<unsigned long>();
                                    })
                                    .get_stored();
    return PyThread_get_thread_ident() == ident;
}

Cancellation cancellationFor(std::optional<double> timeLimit) {
    std::optional<Cancellation::Clock::time_point> deadline;
    if (timeLimit) {
        if (!(std::isfinite(*timeLimit) && *timeLimit >= 0.0)) {
            throw py::value_error(
                "time_limit must be a finite number of seconds of at least 0, got " +
                py::repr(py::float_(*timeLimit)).cast<std::string>());
        }
        deadline = deadlineAfter(*timeLimit);
    }
    return Cancellation(deadline, inMainThread() ? checkSignals : std::function<void()>{});
}

}  // namespace

InterruptibleCall::InterruptibleCall(std::optional<double> timeLimit)
    : cancellation_(cancellationFor(timeLimit)), scope_(cancellation_) {}

}  // namespace quarvex
