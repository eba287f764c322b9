#include "quarvex/json_io/result_writer.hpp"

#include <cstddef>
#include <utility>
#include <vector>

#include "quarvex/packing/unplaced_reasons.hpp"

namespace quarvex {

std::string rotationName(Rotation rotation) {
    switch (rotation) {
        case Rotation::NEVER:
            return "Never";
        case Rotation::KEEP_FLAT:
            return "KeepFlat";
        default:
            return "BestFit";
    }
}

nlohmann::json placementToJson(const PackedItem& packed) {
    const Item& item = *packed.item;
    const std::string* group = boxGroupOf(item);
    nlohmann::json json = nlohmann::json::object();
    json["ItemCode"] = item.item_code();
    json["ItemReference"] = item.item_reference();
    json["box_group"] = group ? nlohmann::json(*group) : nullptr;
    json["depth"] = packed.depth;
    json["length"] = packed.length;
    json["orientation"] = packed.orientation;
    json["original_depth"] = item.depth();
    json["original_length"] = item.length();
    json["original_width"] = item.width();
    json["rotated"] = packed.rotated();
    json["weight"] = item.weight();
    json["width"] = packed.width;
    json["x"] = packed.x;
    json["y"] = packed.y;
    json["z"] = packed.z;
    return json;
}

nlohmann::json packedBoxToJson(const PackedBox& packed) {
    const Box& box = *packed.box;
    // Unlike the PackedBox figures (raw maximum, -1.0), no limit is written as null here.
    const bool limited = box.has_weight_limit();
    nlohmann::json items = nlohmann::json::array();
    for (const PackedItem& p : packed.items) {
        items.push_back(placementToJson(p));
    }
    nlohmann::json json = nlohmann::json::object();
    json["box_reference"] = box.reference();
    json["depth"] = box.depth();
    json["empty_weight"] = box.empty_weight();
    json["inner_volume"] = packed.inner_volume();
    json["item_count"] = packed.items.size();
    json["item_weight"] = packed.item_weight();
    json["items"] = std::move(items);
    json["length"] = box.length();
    json["max_weight"] = limited ? nlohmann::json(box.max_weight()) : nullptr;
    json["remaining_depth"] = packed.remaining_depth();
    json["remaining_length"] = packed.remaining_length();
    json["remaining_weight"] = limited ? nlohmann::json(packed.remaining_weight()) : nullptr;
    json["remaining_width"] = packed.remaining_width();
    json["unused_volume"] = packed.unused_volume();
    json["used_depth"] = packed.used_depth();
    json["used_length"] = packed.used_length();
    json["used_volume"] = packed.used_volume();
    json["used_width"] = packed.used_width();
    json["volume_utilisation"] = packed.volume_utilisation();
    json["weight"] = packed.weight();
    json["width"] = box.width();
    return json;
}

nlohmann::json responseToJson(const PackResponse& response) {
    nlohmann::json json = nlohmann::json::object();
    json["success"] = response.success();

    nlohmann::json boxes = nlohmann::json::array();
    nlohmann::json placements = nlohmann::json::array();
    const std::vector<PackedBox>& packedBoxes = response.packedBoxCollection().sorted();
    for (std::size_t index = 0; index < packedBoxes.size(); ++index) {
        const PackedBox& packed = packedBoxes[index];
        nlohmann::json box = packedBoxToJson(packed);
        box["box_index"] = index;
        boxes.push_back(std::move(box));
        for (const PackedItem& p : packed.items) {
            nlohmann::json placement = placementToJson(p);
            placement["box_index"] = index;
            placement["box_reference"] = packed.box->reference();
            placements.push_back(std::move(placement));
        }
    }
    json["boxes"] = std::move(boxes);
    json["placements"] = std::move(placements);

    nlohmann::json unplaced = nlohmann::json::array();
    nlohmann::json unplacedCodes = nlohmann::json::array();
    for (const ItemPtr& item : response.unplacedItemCollection().sorted()) {
        unplaced.push_back(item->to_json());
        unplacedCodes.push_back(item->item_code());
    }
    json["unplaced_items"] = std::move(unplaced);
    json["unplaced_item_codes"] = std::move(unplacedCodes);

    nlohmann::json summary = nlohmann::json::object();
    summary["box_count"] = packedBoxes.size();
    summary["overall_volume_utilisation"] = response.overall_volume_utilisation();
    summary["total_placed"] = response.total_placed();
    summary["total_unplaced"] = static_cast<std::int64_t>(response.total_unplaced());
    json["summary"] = std::move(summary);
    return json;
}

nlohmann::json explainedResponseToJson(const PackResponse& response) {
    nlohmann::json json = responseToJson(response);
    nlohmann::json reasons = nlohmann::json::array();
    for (const UnplacedReason reason : unplacedReasons(response)) {
        reasons.push_back(unplacedReasonName(reason));
    }
    json["unplaced_reasons"] = std::move(reasons);
    return json;
}

std::string responseToJsonText(const PackResponse& response, std::int32_t indent, bool explain) {
    const nlohmann::json json =
        explain ? explainedResponseToJson(response) : responseToJson(response);
    return json.dump(indent < 0 ? -1 : indent, ' ', false, nlohmann::json::error_handler_t::strict);
}

}  // namespace quarvex
