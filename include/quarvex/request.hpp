#pragma once

// A packing request: items, the box types to put them in, and the settings
// of optimize that the request itself may carry. Built in code or read from
// JSON text; each field is named after its key in the text.
//
// Sizes share one length unit and weights one weight unit, both the caller's
// choice: quarvex never converts them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarvex {

// How far an item may be turned to fit.
enum class AllowedRotation {
    BestFit,   // any of its six orientations
    KeepFlat,  // turned about the vertical only: its depth stays its height
    Never,     // as given
};

// What optimize makes smallest once it has placed the most items.
enum class Objective {
    Boxes,  // the number of boxes, then their total volume
    Cost,   // the total Cost of the boxes, then as Boxes; every usable box type needs a Cost
};

struct Request {
    // One item to pack.
    struct Item {
        std::string code{};  // ItemCode: names the item in results
        std::string
            reference{};  // ItemReference: carried into results (from JSON: the code when absent)
        double width = 0.0;  // Width, Length, Depth: finite and at least 0; Depth is its height
        double length = 0.0;
        double depth = 0.0;
        double weight = 0.0;                                  // Weight: finite and at least 0
        AllowedRotation rotation = AllowedRotation::BestFit;  // AllowedRotation
        std::string box_group{};  // BoxGroup: shares a box only with its own group; empty for none
        std::optional<double>
            max_load{};  // MaxLoad: most weight on its top (optimize only); empty for no limit
    };

    // One box type, opened as often as needed unless max_quantity says otherwise.
    struct Box {
        std::string reference{};  // Reference: names the box type in results
        double width = 0.0;       // Width, Length, Depth: inner sizes, finite and at least 0
        double length = 0.0;
        double depth = 0.0;
        double max_weight =
            -1.0;  // MaxWeight: most gross weight, the box's own included; negative for no limit
        double empty_weight = 0.0;  // BoxWeight: the empty box's weight
        bool active = true;         // Active: an inactive type is never opened
        std::optional<std::int32_t>
            max_quantity{};            // MaximumBoxes: most boxes of the type; empty for any number
        std::optional<double> cost{};  // Cost: the price of one box, at least 0 (optimize only)
    };

    // The request's "options": they override the SearchOptions of optimize.
    struct Options {
        std::optional<double> min_support{};
        std::optional<Objective> objective{};
    };

    std::vector<Item> items;
    std::vector<Box> boxes;
    Options options;

    // Reads {"items": ..., "boxes": ..., "options": {...}}. "items" and
    // "boxes" may each be an array, an object (its values in key order), a
    // single element, or absent. Unknown keys of an item or box are ignored.
    // Throws RequestError for the first fault, in reading order.
    static Request from_json(std::string_view text);
};

}  // namespace quarvex
