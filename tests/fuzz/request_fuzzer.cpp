// libFuzzer target: any bytes as a request text, read, packed and written as
// solve does (pack_dicts reads its dicts with the same item and box readers).
// A request fault is an exception and fine; a crash, a sanitizer report, a
// hang, or a packing that is not sound is a finding; so is a request that
// strict reading accepts and the reader refuses.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <set>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "quarvex/json_io/request_reader.hpp"
#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/json_io/strict_reader.hpp"
#include "quarvex/packing/packer.hpp"

namespace {

using namespace quarvex;

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "unsound packing: %s\n", what);
        std::abort();
    }
}

// Rounding may carry an edge past a wall by a hair; nothing more.
bool within(double start, double size, double room, double tolerance) {
    return start >= -tolerance && start + size <= room + tolerance;
}

bool apart(const PackedItem& a, const PackedItem& b, double tolerance) {
    const auto overlap = [](double aStart, double aSize, double bStart, double bSize) {
        return std::min(aStart + aSize, bStart + bSize) - std::max(aStart, bStart);
    };
    return std::min({overlap(a.x, a.width, b.x, b.width), overlap(a.y, a.length, b.y, b.length),
                     overlap(a.z, a.depth, b.z, b.depth)}) <= tolerance;
}

void checkSound(const PackRequest& request, const PackResponse& response) {
    std::size_t placed = 0;
    for (const PackedBox& packed : response.packedBoxCollection().entries()) {
        const Box& box = *packed.box;
        const double tolerance = 1e-9 * std::max({1.0, box.width(), box.length(), box.depth()});
        std::set<std::string> groups;
        for (const PackedItem& p : packed.items) {
            require(within(p.x, p.width, box.width(), tolerance) &&
                        within(p.y, p.length, box.length(), tolerance) &&
                        within(p.z, p.depth, box.depth(), tolerance),
                    "an item sticks out of its box");
            if (const std::string* group = boxGroupOf(*p.item)) groups.insert(*group);
        }
        for (std::size_t i = 0; i < packed.items.size(); ++i) {
            for (std::size_t j = i + 1; j < packed.items.size(); ++j) {
                require(apart(packed.items[i], packed.items[j], tolerance), "two items overlap");
            }
        }
        require(groups.size() <= 1, "a box mixes box groups");
        if (box.has_weight_limit()) {
            require(packed.item_weight() <= box.max_content_weight() + tolerance,
                    "a box is over its weight limit");
        }
        placed += packed.items.size();
    }
    require(placed + response.unplacedItemCollection().size() == request.items.size(),
            "items were lost or doubled");
    require(response.success() == response.unplacedItemCollection().empty(),
            "success does not match the unplaced items");
}

// Strict reading only narrows what the reader takes.
void checkStrictlyClean(std::string_view text) {
    const auto request = nlohmann::json::parse(text.begin(), text.end(), nullptr, false, false);
    if (request.is_discarded() || text.find('\0') != std::string_view::npos ||
        strictReadingFault(request, RequestReader::Packer)) {
        return;
    }
    try {
        readRequest(request);
    } catch (const std::exception& fault) {
        std::fprintf(stderr, "strict reading accepted what the reader refuses: %s\n", fault.what());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkStrictlyClean(text);
    try {
        const PackRequest request = parseRequestText(text);
        const PackResponse response = Packer::pack(request.items, request.boxes);
        checkSound(request, response);
        require(nlohmann::json::accept(responseToJsonText(response, -1, true)),
                "the response is not JSON");
    } catch (const std::exception&) {
        // A fault of the request: solve raises it.
    }
    return 0;
}
