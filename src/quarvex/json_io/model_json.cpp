// The item and box objects of the result format. They use the request's key
// names, so an item or box type written here reads back as an equal one.

#include <nlohmann/json.hpp>

#include "quarvex/json_io/result_writer.hpp"
#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"

namespace quarvex {

namespace {

// Shared by every box kind; a limited-supply box fills in "MaximumBoxes" afterwards.
nlohmann::json boxToJson(const Box& box) {
    nlohmann::json json = nlohmann::json::object();
    json["Active"] = box.active();
    json["BoxWeight"] = box.empty_weight();
    json["Depth"] = box.depth();
    json["InnerVolume"] = box.inner_volume();
    json["Length"] = box.length();
    // The stored number even without a limit (negative), so that the request
    // reader, which requires a number, reads this object back as the same box.
    json["MaxWeight"] = box.max_weight();
    json["MaximumBoxes"] = nullptr;
    json["Reference"] = box.reference();
    json["Width"] = box.width();
    if (box.cost()) json["Cost"] = *box.cost();
    return json;
}

}  // namespace

nlohmann::json ConcreteItem::to_json() const {
    nlohmann::json json = nlohmann::json::object();
    json["AllowedRotation"] = rotationName(rotation_);
    json["BoxGroup"] = nullptr;
    json["Depth"] = depth_;
    json["ItemCode"] = code_;
    json["ItemReference"] = reference_;
    json["Length"] = length_;
    json["Volume"] = volume();
    json["Weight"] = weight_;
    json["Width"] = width_;
    if (max_load()) json["MaxLoad"] = *max_load();
    return json;
}

nlohmann::json ConcreteLinkedItem::to_json() const {
    nlohmann::json json = item_.to_json();
    json["BoxGroup"] = group_;
    return json;
}

nlohmann::json ConcreteBox::to_json() const {
    return boxToJson(*this);
}

nlohmann::json ConcreteLimitedSupplyBox::to_json() const {
    nlohmann::json json = boxToJson(*this);
    json["MaximumBoxes"] = max_quantity_;
    return json;
}

nlohmann::json WorkingVolume::to_json() const {
    return boxToJson(*this);
}

}  // namespace quarvex
