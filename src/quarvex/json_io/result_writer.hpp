#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "quarvex/model/pack_response.hpp"
#include "quarvex/model/packed_box.hpp"
#include "quarvex/model/packed_item.hpp"
#include "quarvex/model/rotation.hpp"

namespace quarvex {

// "Never", "KeepFlat" or "BestFit" (any other value).
std::string rotationName(Rotation rotation);

// One placed item, without "box_index" and "box_reference".
nlohmann::json placementToJson(const PackedItem& packed);

// One packed box with every figure, without "box_index".
nlohmann::json packedBoxToJson(const PackedBox& packed);

nlohmann::json responseToJson(const PackResponse& response);
// The same with "unplaced_reasons": one reason name per unplaced item, in the
// order of "unplaced_items".
nlohmann::json explainedResponseToJson(const PackResponse& response);

// Compact text for any negative indent; otherwise one member per line.
std::string responseToJsonText(const PackResponse& response, std::int32_t indent,
                               bool explain = false);

}  // namespace quarvex
