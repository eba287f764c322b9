#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

#include "quarvex/api/engine_request.hpp"
#include "quarvex/api/result_state.hpp"
#include "quarvex/error.hpp"
#include "quarvex/json_io/solve.hpp"
#include "quarvex/pack.hpp"
#include "quarvex/packing/packer.hpp"
#include "quarvex/runtime/cancellation.hpp"
#include "quarvex/search/optimizer.hpp"

namespace quarvex {

namespace {

Result resultOf(PackResponse response) {
    return Result(std::make_shared<const Result::State>(std::move(response)));
}

// A stop only for the time limit: C++ callers have no interpreter to ask.
Cancellation cancellationFor(std::optional<double> timeLimit) {
    if (!timeLimit) return Cancellation();
    if (!(std::isfinite(*timeLimit) && *timeLimit >= 0.0)) {
        throw std::invalid_argument(
            "time_limit must be a finite number of seconds of at least 0, got " +
            std::to_string(*timeLimit));
    }
    return Cancellation(deadlineAfter(*timeLimit));
}

const char* objectiveName(Objective objective) {
    return objective == Objective::Cost ? "cost" : "boxes";
}

// The caller's settings with the request's own over them. A setting the
// request brought is the request's fault when it is refused.
OptimizeOptions optionsFor(const Request& request, const SearchOptions& settings) {
    const std::optional<double>& minSupport = request.options.min_support;
    const auto effort =
        settings.effort
            ? std::optional<std::int64_t>(static_cast<std::int64_t>(std::min<std::uint64_t>(
                  *settings.effort, std::numeric_limits<std::int64_t>::max())))
            : std::nullopt;
    if (minSupport && !(*minSupport >= 0.0 && *minSupport <= 1.0)) {
        throw RequestError(
            "min_support must be a fraction in [0, 1], got " + std::to_string(*minSupport),
            "/options/min_support");
    }
    return checkedOptimizeOptions(
        settings.time_limit, effort, settings.seed, minSupport.value_or(settings.min_support),
        objectiveName(request.options.objective.value_or(settings.objective)));
}

}  // namespace

Result pack(const Request& request, std::optional<double> time_limit) {
    Cancellation cancellation = cancellationFor(time_limit);
    const CancellationScope scope(cancellation);
    const PackRequest engine = engineRequest(request, false);
    try {
        return resultOf(Packer::pack(engine.items, engine.boxes));
    } catch (const DeadlineExceeded& timeout) {
        throw TimeoutError(timeout.what());
    }
}

Result optimize(const Request& request, const SearchOptions& options) {
    const OptimizeOptions engineOptions = optionsFor(request, options);
    const PackRequest engine = engineRequest(request, true);
    return resultOf(quarvex::optimize(engine.items, engine.boxes, engineOptions));
}

std::string solve(std::string_view request_json) {
    ReadPosition at;
    try {
        return solveRequest(request_json, &at);
    } catch (...) {
        rethrowAsRequestError(at);
    }
}

}  // namespace quarvex
