#pragma once

// An independent check of a packing result against the rules every result
// must keep, whatever the packing strategy.

#include <string>
#include <vector>

#include "quarvex/model/collections.hpp"
#include "quarvex/model/pack_response.hpp"

namespace quarvex::test {

// Every broken rule as one readable line; empty when the result is sound.
// Box references are taken to name box types uniquely, as in all tests.
std::vector<std::string> packingViolations(const ItemCollection& items, const BoxCollection& boxes,
                                           const PackResponse& response);

}  // namespace quarvex::test
