#include <cstddef>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "quarvex/api/engine_request.hpp"
#include "quarvex/error.hpp"
#include "quarvex/model/field_fault.hpp"
#include "quarvex/model/sorters.hpp"
#include "quarvex/model/valid_figures.hpp"

namespace quarvex {

namespace {

using nlohmann::json;

Rotation engineRotation(AllowedRotation rotation) {
    switch (rotation) {
        case AllowedRotation::Never:
            return Rotation::NEVER;
        case AllowedRotation::KeepFlat:
            return Rotation::KEEP_FLAT;
        default:
            return Rotation::BEST_FIT;
    }
}

AllowedRotation publicRotation(Rotation rotation) {
    switch (rotation) {
        case Rotation::NEVER:
            return AllowedRotation::Never;
        case Rotation::KEEP_FLAT:
            return AllowedRotation::KeepFlat;
        default:
            return AllowedRotation::BestFit;
    }
}

Request::Item publicItem(const quarvex::Item& item) {
    const std::string* group = boxGroupOf(item);
    return {item.item_code(),
            item.item_reference(),
            item.width(),
            item.length(),
            item.depth(),
            item.weight(),
            publicRotation(item.allowed_rotation()),
            group ? *group : std::string(),
            item.max_load()};
}

Request::Box publicBox(const quarvex::Box& box) {
    const LimitedSupplyBox* limited = limitedSupplyOf(box);
    return {box.reference(),
            box.width(),
            box.length(),
            box.depth(),
            box.max_weight(),
            box.empty_weight(),
            box.active(),
            limited ? std::optional<std::int32_t>(limited->max_quantity()) : std::nullopt,
            box.cost()};
}

// The name Python gives the type of the same value, so that a fault reads as
// the Python package words it.
std::string pythonTypeName(const json& value) {
    switch (value.type()) {
        case json::value_t::null:
            return "NoneType";
        case json::value_t::boolean:
            return "bool";
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
            return "int";
        case json::value_t::number_float:
            return "float";
        case json::value_t::string:
            return "str";
        case json::value_t::array:
            return "list";
        default:
            return "dict";
    }
}

std::string pythonRepr(const json& value) {
    if (value.is_null()) return "None";
    if (value.is_boolean()) return value.get<bool>() ? "True" : "False";
    return value.dump();
}

// The settings of optimize a request may carry, with the Python package's rules.
Request::Options readOptions(const json& value) {
    Request::Options options;
    if (value.is_null()) return options;
    if (!value.is_object()) {
        throw RequestError("\"options\" must be an object, not " + pythonTypeName(value),
                           "/options");
    }
    for (const auto& [key, setting] : value.items()) {
        const std::string where = "/options/" + pointerToken(key);
        if (key == "min_support") {
            if (!setting.is_number()) {
                throw RequestError(
                    "\"options\": min_support must be a number, not " + pythonTypeName(setting),
                    where);
            }
            options.min_support = setting.get<double>();
        } else if (key == "objective") {
            if (setting == "boxes") {
                options.objective = Objective::Boxes;
            } else if (setting == "cost") {
                options.objective = Objective::Cost;
            } else if (setting.is_string()) {
                throw RequestError("objective must be \"boxes\" or \"cost\", got " + setting.dump(),
                                   where);
            } else {
                throw RequestError("\"options\": objective must be \"boxes\" or \"cost\", not " +
                                       pythonRepr(setting),
                                   where);
            }
        } else {
            throw RequestError(
                "\"options\" has an unknown key '" + key + "'; it takes min_support, objective",
                where);
        }
    }
    return options;
}

template <class Read>
void readEach(const json& request, const char* key, ReadPosition& at, Read read) {
    const auto value = request.is_object() ? request.find(key) : request.end();
    if (value == request.end()) return;
    forEachElement(*value, [&](const json& element, const std::string& where) {
        at.element = std::string("/") + key + where;
        at.key = nullptr;
        read(element);
    });
}

}  // namespace

void rethrowAsRequestError(const ReadPosition& at) {
    try {
        throw;
    } catch (const RequestError&) {
        throw;
    } catch (const FieldFault& fault) {
        throw RequestError(fault.what(), at.element + "/" + fault.field());
    } catch (const json::parse_error& fault) {
        throw RequestError(fault.what(), "");
    } catch (const json::exception& fault) {
        throw RequestError(fault.what(), at.pointer());
    } catch (const std::invalid_argument& fault) {
        throw RequestError(fault.what(), at.pointer());
    }
}

Request Request::from_json(std::string_view text) {
    ReadPosition at;
    try {
        const json document = parseJsonText(text);
        Request request;
        readEach(document, "items", at, [&](const json& element) {
            request.items.push_back(publicItem(*searchItemFromJson(element, at)));
        });
        readEach(document, "boxes", at, [&](const json& element) {
            request.boxes.push_back(publicBox(*searchBoxFromJson(element, at)));
        });
        if (document.is_object() && document.contains("options")) {
            request.options = readOptions(document.at("options"));
        }
        return request;
    } catch (...) {
        rethrowAsRequestError(at);
    }
}

PackRequest engineRequest(const Request& request, bool withSearchKeys) {
    ReadPosition at;
    try {
        ItemCollection items(std::make_shared<DefaultItemSorter>());
        for (std::size_t index = 0; index < request.items.size(); ++index) {
            const Request::Item& item = request.items[index];
            at.element = "/items/" + std::to_string(index);
            items.insert(checkedFigures(makeItem(item.code, item.reference, item.width, item.length,
                                                 item.depth, item.weight,
                                                 engineRotation(item.rotation), item.box_group,
                                                 withSearchKeys ? item.max_load : std::nullopt)));
        }
        BoxCollection boxes(std::make_shared<DefaultBoxSorter>());
        for (std::size_t index = 0; index < request.boxes.size(); ++index) {
            const Request::Box& box = request.boxes[index];
            at.element = "/boxes/" + std::to_string(index);
            boxes.insert(checkedFigures(makeBox(
                box.reference, box.width, box.length, box.depth, box.max_weight, box.empty_weight,
                box.active, box.max_quantity, withSearchKeys ? box.cost : std::nullopt)));
        }
        return PackRequest{std::move(items), std::move(boxes)};
    } catch (...) {
        rethrowAsRequestError(at);
    }
}

}  // namespace quarvex
