#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace quarvex {

// A box type: inner sizes, empty and maximum gross weight, active flag.
// Immutable and shared by every packed box of the type.
class Box {
public:
    virtual ~Box() = default;
    virtual const std::string& reference() const = 0;
    virtual double width() const = 0;
    virtual double length() const = 0;
    virtual double depth() const = 0;
    virtual double empty_weight() const = 0;
    // Maximum gross weight; negative means no weight limit.
    virtual double max_weight() const = 0;
    virtual bool active() const = 0;

    bool has_weight_limit() const { return max_weight() >= 0.0; }
    // (length x width) x depth, in that order of multiplication.
    double inner_volume() const { return (length() * width()) * depth(); }
    // The weight the contents may add: -1.0 for no limit, never below 0.0 otherwise.
    double max_content_weight() const;

    // The price of opening one box of the type; empty when not given. Only
    // the search reads it.
    const std::optional<double>& cost() const { return cost_; }

    virtual nlohmann::json to_json() const = 0;

protected:
    void setCost(std::optional<double> cost) { cost_ = cost; }

private:
    std::optional<double> cost_;
};

// A box type that may be opened at most max_quantity times in one run.
class LimitedSupplyBox : public Box {
public:
    virtual std::int32_t max_quantity() const = 0;
};

using BoxPtr = std::shared_ptr<Box>;

class ConcreteBox final : public Box {
public:
    ConcreteBox(std::string reference, double width, double length, double depth, double max_weight,
                double empty_weight, bool active, std::optional<double> cost = std::nullopt);

    const std::string& reference() const override { return reference_; }
    double width() const override { return width_; }
    double length() const override { return length_; }
    double depth() const override { return depth_; }
    double empty_weight() const override { return empty_weight_; }
    double max_weight() const override { return max_weight_; }
    bool active() const override { return active_; }
    nlohmann::json to_json() const override;

private:
    std::string reference_;
    double width_;
    double length_;
    double depth_;
    double max_weight_;
    double empty_weight_;
    bool active_;
};

class ConcreteLimitedSupplyBox final : public LimitedSupplyBox {
public:
    ConcreteLimitedSupplyBox(ConcreteBox box, std::int32_t max_quantity);

    const std::string& reference() const override { return box_.reference(); }
    double width() const override { return box_.width(); }
    double length() const override { return box_.length(); }
    double depth() const override { return box_.depth(); }
    double empty_weight() const override { return box_.empty_weight(); }
    double max_weight() const override { return box_.max_weight(); }
    bool active() const override { return box_.active(); }
    std::int32_t max_quantity() const override { return max_quantity_; }
    nlohmann::json to_json() const override;

private:
    ConcreteBox box_;
    std::int32_t max_quantity_;
};

// A weightless, always active box standing for a free block of space; the
// look-ahead packs trial items into these.
class WorkingVolume final : public Box {
public:
    WorkingVolume(double width, double length, double depth);

    // "Working Volume WxLxD" with each size as "%f" writes it.
    const std::string& reference() const override;
    double width() const override { return width_; }
    double length() const override { return length_; }
    double depth() const override { return depth_; }
    double empty_weight() const override { return 0.0; }
    double max_weight() const override { return -1.0; }
    bool active() const override { return true; }
    nlohmann::json to_json() const override;

private:
    double width_;
    double length_;
    double depth_;
    // Written on first use: the look-ahead makes two volumes per question and
    // never asks their names.
    mutable std::string reference_;
};

// The limited-supply view of a box type, or nullptr for an unlimited one.
inline const LimitedSupplyBox* limitedSupplyOf(const Box& box) {
    return dynamic_cast<const LimitedSupplyBox*>(&box);
}

// Builds a plain box type, wrapped as limited supply when a quantity is given.
// Throws std::invalid_argument for a cost that is negative or NaN.
BoxPtr makeBox(std::string reference, double width, double length, double depth, double max_weight,
               double empty_weight, bool active, std::optional<std::int32_t> max_quantity,
               std::optional<double> cost = std::nullopt);

}  // namespace quarvex
