#include "quarvex/bindings/pickle_state.hpp"

#include <pybind11/stl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quarvex/model/collections.hpp"
#include "quarvex/model/rotation.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/model/valid_figures.hpp"

namespace py = pybind11;

namespace quarvex {

namespace {

std::string typeName(const py::handle& value) {
    return Py_TYPE(value.ptr())->tp_name;
}

template <class Sequence>
Sequence checkedSequence(const py::handle& value, const char* kind, const std::string& what) {
    if (!py::isinstance<Sequence>(value)) {
        throw py::type_error(what + " must be a " + kind + ", not " + typeName(value));
    }
    return py::reinterpret_borrow<Sequence>(value);
}

py::tuple stateTuple(const py::handle& state, std::size_t size, const std::string& what) {
    py::tuple tuple = checkedSequence<py::tuple>(state, "tuple", what);
    if (tuple.size() != size) {
        throw py::value_error(what + " must hold " + std::to_string(size) + " values, not " +
                              std::to_string(tuple.size()));
    }
    return tuple;
}

// One value of a state, converted as pybind would convert an argument, except
// that text must be str (bytes would be taken as they are).
template <class T>
T field(const py::tuple& state, std::size_t position, const std::string& what) {
    const py::handle value = state[position];
    try {
        if constexpr (std::is_same_v<T, std::string>) {
            if (!py::isinstance<py::str>(value)) throw py::cast_error();
        }
        return value.cast<T>();
    } catch (const py::cast_error&) {
        throw py::type_error(what + ": value " + std::to_string(position) +
                             " has the wrong type (" + typeName(value) + ")");
    }
}

// Whether a placement's extents are its item's sizes in the order its
// orientation names them ("DWL": depth along x, width along y, length along z).
bool extentsFitOrientation(const PackedItem& placed) {
    const std::string& code = placed.orientation;
    if (code.size() != 3 || code.find('W') == std::string::npos ||
        code.find('L') == std::string::npos || code.find('D') == std::string::npos) {
        return false;
    }
    const Item& item = *placed.item;
    const auto size = [&item](char axis) {
        return axis == 'W' ? item.width() : axis == 'L' ? item.length() : item.depth();
    };
    return placed.width == size(code[0]) && placed.length == size(code[1]) &&
           placed.depth == size(code[2]);
}

// Numbers the distinct items and box types in the order they are first met.
class StateWriter {
public:
    std::size_t itemIndex(const ItemPtr& item) {
        const auto [entry, added] = itemIndices_.try_emplace(item.get(), items_.size());
        if (added) items_.append(itemState(*item));
        return entry->second;
    }

    std::size_t boxIndex(const BoxPtr& box) {
        const auto [entry, added] = boxIndices_.try_emplace(box.get(), boxes_.size());
        if (added) boxes_.append(boxState(*box));
        return entry->second;
    }

    py::list placements(const std::vector<PackedItem>& items) {
        py::list states;
        for (const PackedItem& p : items) {
            states.append(py::make_tuple(itemIndex(p.item), p.width, p.length, p.depth,
                                         p.orientation, p.x, p.y, p.z));
        }
        return states;
    }

    const py::list& items() const { return items_; }
    const py::list& boxes() const { return boxes_; }

private:
    std::unordered_map<const Item*, std::size_t> itemIndices_;
    std::unordered_map<const Box*, std::size_t> boxIndices_;
    py::list items_;
    py::list boxes_;
};

class StateReader {
public:
    StateReader(const py::handle& items, const py::handle& boxes) {
        for (const py::handle& state : checkedSequence<py::list>(items, "list", "item table")) {
            items_.push_back(itemFromState(state));
        }
        for (const py::handle& state : checkedSequence<py::list>(boxes, "list", "box table")) {
            boxes_.push_back(boxFromState(state));
        }
    }

    const ItemPtr& item(const py::tuple& state, std::size_t position,
                        const std::string& what) const {
        return entry(items_, field<std::int64_t>(state, position, what), "item", what);
    }

    const BoxPtr& box(const py::tuple& state, std::size_t position, const std::string& what) const {
        return entry(boxes_, field<std::int64_t>(state, position, what), "box", what);
    }

    std::vector<PackedItem> placements(const py::handle& states) const {
        std::vector<PackedItem> items;
        for (const py::handle& state : checkedSequence<py::list>(states, "list", "placements")) {
            const std::string what = "placement";
            const py::tuple values = stateTuple(state, 8, what);
            PackedItem placed{item(values, 0, what),
                              field<double>(values, 1, what),
                              field<double>(values, 2, what),
                              field<double>(values, 3, what),
                              field<std::string>(values, 4, what),
                              field<double>(values, 5, what),
                              field<double>(values, 6, what),
                              field<double>(values, 7, what)};
            if (!extentsFitOrientation(placed)) {
                throw py::value_error(what + ": extents do not match item '" +
                                      placed.item->item_code() + "' in orientation '" +
                                      placed.orientation + "'");
            }
            items.push_back(std::move(placed));
        }
        return items;
    }

private:
    template <class Ptr>
    static const Ptr& entry(const std::vector<Ptr>& table, std::int64_t index, const char* kind,
                            const std::string& what) {
        if (index < 0 || static_cast<std::uint64_t>(index) >= table.size()) {
            throw py::value_error(what + ": " + kind + " index " + std::to_string(index) +
                                  " is out of range (" + std::to_string(table.size()) +
                                  " in the table)");
        }
        return table[static_cast<std::size_t>(index)];
    }

    std::vector<ItemPtr> items_;
    std::vector<BoxPtr> boxes_;
};

}  // namespace

py::tuple itemState(const Item& item) {
    const std::string* group = boxGroupOf(item);
    return py::make_tuple(item.item_code(), item.item_reference(), item.width(), item.length(),
                          item.depth(), item.weight(), group ? *group : std::string(),
                          item.allowed_rotation(), item.max_load());
}

ItemPtr itemFromState(const py::handle& state) {
    const std::string what = "quarvex.Item state";
    const py::tuple values = stateTuple(state, 9, what);
    return checkedFigures(
        makeItem(field<std::string>(values, 0, what), field<std::string>(values, 1, what),
                 field<double>(values, 2, what), field<double>(values, 3, what),
                 field<double>(values, 4, what), field<double>(values, 5, what),
                 field<Rotation>(values, 7, what), field<std::string>(values, 6, what),
                 field<std::optional<double>>(values, 8, what)));
}

py::tuple boxState(const Box& box) {
    const LimitedSupplyBox* limited = limitedSupplyOf(box);
    return py::make_tuple(box.reference(), box.width(), box.length(), box.depth(), box.max_weight(),
                          box.empty_weight(), box.active(),
                          limited ? py::object(py::int_(limited->max_quantity())) : py::none(),
                          box.cost());
}

BoxPtr boxFromState(const py::handle& state) {
    const std::string what = "quarvex.Box state";
    const py::tuple values = stateTuple(state, 9, what);
    return checkedFigures(makeBox(field<std::string>(values, 0, what),
                                  field<double>(values, 1, what), field<double>(values, 2, what),
                                  field<double>(values, 3, what), field<double>(values, 4, what),
                                  field<double>(values, 5, what), field<bool>(values, 6, what),
                                  field<std::optional<std::int32_t>>(values, 7, what),
                                  field<std::optional<double>>(values, 8, what)));
}

py::tuple packedItemState(const PackedItem& packed) {
    StateWriter writer;
    py::list placements = writer.placements({packed});
    return py::make_tuple(writer.items(), placements[0]);
}

PackedItem packedItemFromState(const py::handle& state) {
    const py::tuple values = stateTuple(state, 2, "quarvex.PackedItem state");
    const StateReader reader(values[0], py::list());
    py::list placements;
    placements.append(values[1]);
    return reader.placements(placements).front();
}

py::tuple packedBoxState(const PackedBox& packed) {
    StateWriter writer;
    py::list placements = writer.placements(packed.items);
    return py::make_tuple(boxState(*packed.box), writer.items(), placements);
}

PackedBox packedBoxFromState(const py::handle& state) {
    const py::tuple values = stateTuple(state, 3, "quarvex.PackedBox state");
    const StateReader reader(values[1], py::list());
    return PackedBox{boxFromState(values[0]), reader.placements(values[2])};
}

// The collections keep their insertion order in the state; unpickling inserts
// in that order again, so the sorted views come out as they were.
py::tuple packResultState(const PackResponse& response) {
    StateWriter writer;
    py::list packedBoxes;
    for (const PackedBox& packed : response.packedBoxCollection().entries()) {
        const std::size_t box = writer.boxIndex(packed.box);
        packedBoxes.append(py::make_tuple(box, writer.placements(packed.items)));
    }
    py::list unplaced;
    for (const ItemPtr& item : response.unplacedItemCollection().entries()) {
        unplaced.append(writer.itemIndex(item));
    }
    py::list boxTypes;
    for (const BoxPtr& box : response.box_types()) boxTypes.append(writer.boxIndex(box));
    return py::make_tuple(response.success(), writer.items(), writer.boxes(), packedBoxes, unplaced,
                          boxTypes);
}

PackResponse packResultFromState(const py::handle& state) {
    const std::string what = "quarvex.PackResult state";
    const py::tuple values = stateTuple(state, 6, what);
    const StateReader reader(values[1], values[2]);
    PackedBoxCollection packed(std::make_shared<DefaultPackedBoxSorter>());
    for (const py::handle& entry : checkedSequence<py::list>(values[3], "list", "packed boxes")) {
        const py::tuple boxValues = stateTuple(entry, 2, "packed box");
        packed.insert(
            PackedBox{reader.box(boxValues, 0, "packed box"), reader.placements(boxValues[1])});
    }
    ItemCollection unplaced(std::make_shared<DefaultItemSorter>());
    const py::list unplacedIndices = checkedSequence<py::list>(values[4], "list", "unplaced items");
    const py::tuple indices(unplacedIndices);
    for (std::size_t position = 0; position < indices.size(); ++position) {
        unplaced.insert(reader.item(indices, position, "unplaced items"));
    }
    const bool success = field<bool>(values, 0, what);
    if (success != unplaced.empty()) {
        throw py::value_error(what + ": success is " + (success ? "True" : "False") + " with " +
                              std::to_string(unplaced.size()) + " unplaced items");
    }
    std::vector<BoxPtr> boxTypes;
    const py::tuple typeIndices(checkedSequence<py::list>(values[5], "list", "box types"));
    for (std::size_t position = 0; position < typeIndices.size(); ++position) {
        boxTypes.push_back(reader.box(typeIndices, position, "box types"));
    }
    return PackResponse(success, std::move(packed), std::move(unplaced), std::move(boxTypes));
}

py::tuple reduceByState(const py::object& self) {
    return py::make_tuple(py::module_::import("copyreg").attr("__newobj__"),
                          py::make_tuple(py::type::of(self)), self.attr("__getstate__")());
}

}  // namespace quarvex
