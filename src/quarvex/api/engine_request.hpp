#pragma once

// Between the public request and the engine's model, and the one place where
// the engine's faults become RequestError.

#include "quarvex/json_io/request_reader.hpp"
#include "quarvex/request.hpp"

namespace quarvex {

// The engine's items and boxes for a request, each checked as a request read
// from text is. The default packer's reading leaves out max_load and cost, so
// that its results match solve's for the same request. Throws RequestError.
PackRequest engineRequest(const Request& request, bool withSearchKeys);

// Rethrows the exception being handled as a RequestError placed at `at`,
// when it is a fault of the request; anything else as it is.
[[noreturn]] void rethrowAsRequestError(const ReadPosition& at);

}  // namespace quarvex
