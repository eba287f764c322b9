#pragma once

// The outcome of pack or optimize.

#include <memory>
#include <string>
#include <vector>

namespace quarvex {

// A finished packing. Cheap to copy (copies share one immutable state) and
// safe to read from several threads at once.
class Result {
public:
    // One item where it was put: its corner nearest the box's origin and its
    // extents along x, y and z (z is up) as turned.
    struct Placement {
        std::string item_code{};
        std::string item_reference{};
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
        double width = 0.0;
        double length = 0.0;
        double depth = 0.0;
        std::string orientation{};  // the item's sizes along x, y, z, e.g. "LWD"
    };

    // One opened box and what it holds, in placement order.
    struct Box {
        std::string reference{};
        double weight = 0.0;              // gross: the empty box and its items
        double volume_utilisation = 0.0;  // percent of the inner volume
        std::vector<Placement> items{};
    };

    struct State;  // the engine's result; only quarvex makes one
    explicit Result(std::shared_ptr<const State> state);

    // Whether every item was placed.
    bool success() const;
    // The opened boxes, those holding the most items first.
    std::vector<Box> boxes() const;
    std::vector<std::string> unplaced_item_codes() const;
    // Placed volume over the inner volume of the opened boxes, in percent.
    double volume_utilisation() const;
    // The result as the JSON text solve writes: compact for a negative
    // indent, otherwise one member per line indented so many spaces.
    std::string to_json(int indent = -1) const;

private:
    std::shared_ptr<const State> state_;
};

}  // namespace quarvex
