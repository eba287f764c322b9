#include "quarvex/json_io/solve.hpp"

#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/packing/packer.hpp"

namespace quarvex {

std::string solveRequest(std::string_view requestText, ReadPosition* at, bool explain) {
    return solveParsedRequest(parseJsonText(requestText), at, explain);
}

std::string solveParsedRequest(const nlohmann::json& request, ReadPosition* at, bool explain) {
    const PackRequest read = readRequest(request, at);
    return responseToJsonText(Packer::pack(read.items, read.boxes), -1, explain);
}

}  // namespace quarvex
