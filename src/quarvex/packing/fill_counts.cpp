#include "quarvex/packing/fill_counts.hpp"

namespace quarvex {

FillCounts& fillCounts() {
    thread_local FillCounts counts;
    return counts;
}

}  // namespace quarvex
