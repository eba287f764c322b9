#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <nlohmann/json_fwd.hpp>

#include "quarvex/model/rotation.hpp"

namespace quarvex {

// One rectangular block to pack. Immutable and shared; identity matters.
class Item {
public:
    virtual ~Item() = default;
    virtual const std::string& item_code() const = 0;
    virtual const std::string& item_reference() const = 0;
    virtual double width() const = 0;
    virtual double length() const = 0;
    virtual double depth() const = 0;
    virtual double weight() const = 0;
    virtual Rotation allowed_rotation() const = 0;
    // (length x width) x depth, in that order of multiplication; fixed at
    // construction like the sorted sizes, since every item comparison asks it.
    double volume() const { return volume_; }
    virtual nlohmann::json to_json() const = 0;

    // The three sizes in ascending order (left as given around NaN); fixed at
    // construction because shape comparisons sit in the packer's hot loops.
    const std::array<double, 3>& sorted_dimensions() const { return sortedDimensions_; }

    // Whether the dynamic type is a LinkedItem. Set by LinkedItem's own
    // constructor, so it is that type test, answered without a cast in the
    // item order's every comparison.
    bool is_linked() const { return linked_; }

    // The most weight the item may carry on its top face, in the unit of
    // weight(); empty for no limit. Only the search reads it.
    const std::optional<double>& max_load() const { return maxLoad_; }

protected:
    void setDimensions(double width, double length, double depth);
    void markLinked() { linked_ = true; }
    void setMaxLoad(std::optional<double> maxLoad) { maxLoad_ = maxLoad; }

private:
    std::optional<double> maxLoad_;
    std::array<double, 3> sortedDimensions_{};
    double volume_ = 0.0;
    bool linked_ = false;
};

// Three sizes in ascending order (left as given around NaN).
inline std::array<double, 3> sortedDimensions(double a, double b, double c) {
    if (b < a) std::swap(a, b);
    if (c < b) std::swap(b, c);
    if (b < a) std::swap(a, b);
    return {a, b, c};
}

// An item that must share its box only with items of the same box group.
class LinkedItem : public Item {
public:
    LinkedItem() { markLinked(); }
    virtual const std::string& box_group() const = 0;
};

using ItemPtr = std::shared_ptr<Item>;

class ConcreteItem final : public Item {
public:
    ConcreteItem(std::string item_code, std::string item_reference, double width, double length,
                 double depth, double weight, Rotation allowed_rotation,
                 std::optional<double> maxLoad = std::nullopt);

    const std::string& item_code() const override { return code_; }
    const std::string& item_reference() const override { return reference_; }
    double width() const override { return width_; }
    double length() const override { return length_; }
    double depth() const override { return depth_; }
    double weight() const override { return weight_; }
    Rotation allowed_rotation() const override { return rotation_; }
    nlohmann::json to_json() const override;

private:
    std::string code_;
    std::string reference_;
    double width_;
    double length_;
    double depth_;
    double weight_;
    Rotation rotation_;
};

class ConcreteLinkedItem final : public LinkedItem {
public:
    // Throws std::invalid_argument when the box group is empty.
    ConcreteLinkedItem(ConcreteItem item, std::string box_group);

    const std::string& item_code() const override { return item_.item_code(); }
    const std::string& item_reference() const override { return item_.item_reference(); }
    double width() const override { return item_.width(); }
    double length() const override { return item_.length(); }
    double depth() const override { return item_.depth(); }
    double weight() const override { return item_.weight(); }
    Rotation allowed_rotation() const override { return item_.allowed_rotation(); }
    const std::string& box_group() const override { return group_; }
    nlohmann::json to_json() const override;

private:
    ConcreteItem item_;
    std::string group_;
};

// The box group of a linked item, or nullptr for a plain one.
inline const std::string* boxGroupOf(const Item& item) {
    return item.is_linked() ? &static_cast<const LinkedItem&>(item).box_group() : nullptr;
}

// Builds a plain item, wrapped as a linked item when the group is non-empty.
// Throws std::invalid_argument for a load limit that is negative or NaN.
ItemPtr makeItem(std::string item_code, std::string item_reference, double width, double length,
                 double depth, double weight, Rotation allowed_rotation, std::string box_group,
                 std::optional<double> maxLoad = std::nullopt);

}  // namespace quarvex
