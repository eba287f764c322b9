#pragma once

#include <vector>

#include "quarvex/search/search_box.hpp"

namespace quarvex::search {

// A complete packing in the search's terms: the boxes in opening order and
// the items left out.
struct Solution {
    std::vector<SearchBox> boxes;
    std::vector<int> unplaced;
};

}  // namespace quarvex::search
