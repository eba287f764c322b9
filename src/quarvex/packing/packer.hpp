#pragma once

#include "quarvex/model/collections.hpp"
#include "quarvex/model/pack_response.hpp"

namespace quarvex {

// The top-level packing run: opens box after box, each time the box type
// whose trial packs the most of the remaining items.
class Packer {
public:
    // Both inputs are only read (their sorted views may be built).
    static PackResponse pack(const ItemCollection& items, const BoxCollection& boxes);
};

}  // namespace quarvex
