#pragma once

#include "quarvex/model/pack_response.hpp"
#include "quarvex/result.hpp"

namespace quarvex {

// Built by the entry points only, with the response's sorted views made
// once, so that later reads write nothing and any thread may make them.
struct Result::State {
    explicit State(PackResponse packed) : response(std::move(packed)) {
        response.packedBoxCollection().sorted();
        response.unplacedItemCollection().sorted();
    }

    PackResponse response;
};

}  // namespace quarvex
