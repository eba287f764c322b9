#include <utility>

#include "quarvex/api/result_state.hpp"
#include "quarvex/json_io/result_writer.hpp"

namespace quarvex {

Result::Result(std::shared_ptr<const State> state) : state_(std::move(state)) {}

bool Result::success() const {
    return state_->response.success();
}

std::vector<Result::Box> Result::boxes() const {
    std::vector<Box> boxes;
    for (const PackedBox& packed : state_->response.packedBoxCollection().sorted()) {
        Box& box = boxes.emplace_back(
            Box{packed.box->reference(), packed.weight(), packed.volume_utilisation(), {}});
        for (const PackedItem& p : packed.items) {
            box.items.push_back({p.item->item_code(), p.item->item_reference(), p.x, p.y, p.z,
                                 p.width, p.length, p.depth, p.orientation});
        }
    }
    return boxes;
}

std::vector<std::string> Result::unplaced_item_codes() const {
    std::vector<std::string> codes;
    for (const ItemPtr& item : state_->response.unplacedItemCollection().sorted()) {
        codes.push_back(item->item_code());
    }
    return codes;
}

double Result::volume_utilisation() const {
    return state_->response.overall_volume_utilisation();
}

std::string Result::to_json(int indent) const {
    return responseToJsonText(state_->response, indent);
}

}  // namespace quarvex
