#include "quarvex/model/item.hpp"

#include <stdexcept>
#include <utility>

#include "quarvex/model/physical_limit.hpp"

namespace quarvex {

void Item::setDimensions(double width, double length, double depth) {
    sortedDimensions_ = sortedDimensions(width, length, depth);
    volume_ = (length * width) * depth;
}

ConcreteItem::ConcreteItem(std::string item_code, std::string item_reference, double width,
                           double length, double depth, double weight, Rotation allowed_rotation,
                           std::optional<double> maxLoad)
    : code_(std::move(item_code)),
      reference_(std::move(item_reference)),
      width_(width),
      length_(length),
      depth_(depth),
      weight_(weight),
      rotation_(allowed_rotation) {
    setDimensions(width, length, depth);
    setMaxLoad(maxLoad);
}

ConcreteLinkedItem::ConcreteLinkedItem(ConcreteItem item, std::string box_group)
    : item_(std::move(item)), group_(std::move(box_group)) {
    if (group_.empty()) {
        throw std::invalid_argument("ConcreteLinkedItem requires a non-empty box group");
    }
    setDimensions(item_.width(), item_.length(), item_.depth());
    setMaxLoad(item_.max_load());
}

ItemPtr makeItem(std::string item_code, std::string item_reference, double width, double length,
                 double depth, double weight, Rotation allowed_rotation, std::string box_group,
                 std::optional<double> maxLoad) {
    checkPhysicalLimit(maxLoad, "item '" + item_code + "'", "MaxLoad");
    ConcreteItem item(std::move(item_code), std::move(item_reference), width, length, depth, weight,
                      allowed_rotation, maxLoad);
    if (box_group.empty()) {
        return std::make_shared<ConcreteItem>(std::move(item));
    }
    return std::make_shared<ConcreteLinkedItem>(std::move(item), std::move(box_group));
}

}  // namespace quarvex
