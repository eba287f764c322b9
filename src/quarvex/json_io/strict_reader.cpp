#include "quarvex/json_io/strict_reader.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace quarvex {

namespace {

using nlohmann::json;

enum class Kind { Text, Amount, Limit, Flag, Count, Rotation, Fraction, Objective };

struct Field {
    std::string_view key;
    Kind kind;
    bool required = false;
    bool searchOnly = false;
};

// "Volume" and "InnerVolume" are written in results and ignored on reading,
// so an item or box written by quarvex reads back.
constexpr std::array kItemFields{
    Field{"ItemCode", Kind::Text, true},         Field{"ItemReference", Kind::Text},
    Field{"Width", Kind::Amount, true},          Field{"Length", Kind::Amount, true},
    Field{"Depth", Kind::Amount, true},          Field{"Weight", Kind::Amount},
    Field{"AllowedRotation", Kind::Rotation},    Field{"BoxGroup", Kind::Text},
    Field{"MaxLoad", Kind::Amount, false, true}, Field{"Volume", Kind::Amount},
};
constexpr std::array kBoxFields{
    Field{"Reference", Kind::Text, true},
    Field{"Width", Kind::Amount, true},
    Field{"Length", Kind::Amount, true},
    Field{"Depth", Kind::Amount, true},
    Field{"MaxWeight", Kind::Limit, true},
    Field{"BoxWeight", Kind::Amount},
    Field{"Active", Kind::Flag},
    Field{"MaximumBoxes", Kind::Count},
    Field{"Cost", Kind::Amount, false, true},
    Field{"InnerVolume", Kind::Amount},
};
constexpr std::array kOptionFields{
    Field{"min_support", Kind::Fraction},
    Field{"objective", Kind::Objective},
};

const char* expected(Kind kind) {
    switch (kind) {
        case Kind::Text:
            return "a string";
        case Kind::Amount:
            return "a finite number of 0 or more";
        case Kind::Limit:
            return "a finite number (negative for no limit)";
        case Kind::Flag:
            return "true or false";
        case Kind::Count:
            return "a whole number (0 or less: never opened)";
        case Kind::Rotation:
            return "\"Never\", \"KeepFlat\" or \"BestFit\"";
        case Kind::Fraction:
            return "a number from 0 to 1";
        case Kind::Objective:
            return "\"boxes\" or \"cost\"";
    }
    return "";
}

bool finiteNumber(const json& value) {
    return value.is_number() && std::isfinite(value.get<double>());
}

bool isRotationName(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name == "never" || name == "keepflat" || name == "keep_flat" || name == "bestfit" ||
           name == "best_fit";
}

bool fits(Kind kind, const json& value) {
    switch (kind) {
        case Kind::Text:
            return value.is_string();
        case Kind::Amount:
            return finiteNumber(value) && value.get<double>() >= 0.0;
        case Kind::Limit:
            return finiteNumber(value);
        case Kind::Flag:
            return value.is_boolean();
        case Kind::Count: {
            if (!finiteNumber(value)) return false;
            const double count = value.get<double>();
            return count >= std::numeric_limits<std::int32_t>::min() &&
                   count <= std::numeric_limits<std::int32_t>::max() && count == std::trunc(count);
        }
        case Kind::Rotation:
            return value.is_string() && isRotationName(value.get<std::string>());
        case Kind::Fraction:
            return finiteNumber(value) && value.get<double>() >= 0.0 && value.get<double>() <= 1.0;
        case Kind::Objective:
            return value.is_string() && (value == "boxes" || value == "cost");
    }
    return false;
}

// The pointer to a member of the value at `parent`; a JSON pointer spells ~
// and / in a key as ~0 and ~1.
std::string childPointer(const std::string& parent, std::string_view key) {
    std::string pointer = parent;
    pointer += '/';
    for (const char c : key) {
        if (c == '~')
            pointer += "~0";
        else if (c == '/')
            pointer += "~1";
        else
            pointer += c;
    }
    return pointer;
}

// The value as written, cut short: a message quotes it, not a whole document.
std::string quoted(const json& value) {
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

std::string keyList(std::span<const Field> fields) {
    std::string list;
    for (const Field& field : fields) {
        list += (list.empty() ? "" : ", ") + std::string(field.key);
    }
    return list;
}

// One object of the request: an item, a box or the options.
std::optional<ReadingFault> objectFault(const json& object, std::span<const Field> fields,
                                        const std::string& owner, const std::string& pointer,
                                        RequestReader reader) {
    for (auto member = object.begin(); member != object.end(); ++member) {
        const std::string& key = member.key();
        const json& value = member.value();
        const auto known = std::find_if(fields.begin(), fields.end(),
                                        [&](const Field& field) { return field.key == key; });
        const std::string at = childPointer(pointer, key);
        if (known == fields.end()) {
            return ReadingFault{
                at, owner + " has an unknown key \"" + key + "\"; it takes " + keyList(fields)};
        }
        if (known->searchOnly && reader == RequestReader::Packer && !value.is_null()) {
            return ReadingFault{at, owner + ": " + key +
                                        " is honoured only by the search (optimize), not by "
                                        "the default packer"};
        }
    }
    for (const Field& field : fields) {
        const std::string at = childPointer(pointer, field.key);
        const auto found = object.find(field.key);
        if (found == object.end()) {
            if (!field.required) continue;
            return ReadingFault{at, owner + " has no " + std::string(field.key) + "; it must be " +
                                        expected(field.kind)};
        }
        if (found->is_null() && !field.required) continue;
        if (!fits(field.kind, *found)) {
            return ReadingFault{at, owner + ": " + std::string(field.key) + " must be " +
                                        expected(field.kind) + ", not " + quoted(*found)};
        }
    }
    return std::nullopt;
}

std::optional<ReadingFault> listFault(const json& request, const char* listKey,
                                      std::span<const Field> fields, const char* kind,
                                      RequestReader reader) {
    const auto list = request.find(listKey);
    if (list == request.end()) return std::nullopt;
    const std::string pointer = childPointer("", listKey);
    if (!list->is_array()) {
        return ReadingFault{pointer, std::string("\"") + listKey + "\" must be an array of " +
                                         kind + " objects, not " + list->type_name()};
    }
    const std::string_view nameKey = fields.front().key;
    for (std::size_t position = 0; position < list->size(); ++position) {
        const json& element = (*list)[position];
        const std::string at = childPointer(pointer, std::to_string(position));
        if (!element.is_object()) {
            return ReadingFault{at, std::string(kind) + " " + std::to_string(position) +
                                        " must be an object, not " + element.type_name()};
        }
        const auto name = element.find(nameKey);
        const std::string owner = name != element.end() && name->is_string()
                                      ? std::string(kind) + " '" + name->get<std::string>() + "'"
                                      : std::string(kind) + " " + std::to_string(position);
        if (auto fault = objectFault(element, fields, owner, at, reader)) return fault;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ReadingFault> strictReadingFault(const json& request, RequestReader reader) {
    if (!request.is_object()) {
        return ReadingFault{
            "", std::string("the request must be an object, not ") + request.type_name()};
    }
    // "note" is the caller's own remark, which JSON has no comments for.
    for (const auto& [key, value] : request.items()) {
        if (key != "items" && key != "boxes" && key != "options" && key != "note") {
            return ReadingFault{childPointer("", key),
                                "the request has an unknown key \"" + key +
                                    "\"; it takes items, boxes, options, note"};
        }
    }
    if (auto fault = listFault(request, "items", kItemFields, "item", reader)) return fault;
    if (auto fault = listFault(request, "boxes", kBoxFields, "box", reader)) return fault;
    const auto options = request.find("options");
    if (options == request.end() || options->is_null()) return std::nullopt;
    if (reader == RequestReader::Packer) {
        return ReadingFault{"/options",
                            "\"options\" are honoured only by the search (optimize), "
                            "not by the default packer"};
    }
    if (!options->is_object()) {
        return ReadingFault{
            "/options", std::string("\"options\" must be an object, not ") + options->type_name()};
    }
    return objectFault(*options, kOptionFields, "\"options\"", "/options", reader);
}

}  // namespace quarvex
