#include "quarvex/json_io/solve.hpp"

#include "quarvex/json_io/request_reader.hpp"
#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/packing/packer.hpp"

namespace quarvex {

std::string solve(std::string_view requestText, bool explain) {
    const PackRequest request = parseRequestText(requestText);
    return responseToJsonText(Packer::pack(request.items, request.boxes), -1, explain);
}

}  // namespace quarvex
