#include "quarvex/json_io/solve.hpp"

#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/packing/packer.hpp"

namespace quarvex {

std::string solveRequest(std::string_view requestText, ReadPosition* at, bool explain) {
    const PackRequest request = readRequest(parseJsonText(requestText), at);
    return responseToJsonText(Packer::pack(request.items, request.boxes), -1, explain);
}

}  // namespace quarvex
