#pragma once

#include <cstdint>

#include "quarvex/model/box.hpp"
#include "quarvex/model/item.hpp"
#include "quarvex/model/packed_box.hpp"

namespace quarvex {

// Three-way orderings: negative puts a first, positive puts b first.

class ItemSorter {
public:
    virtual ~ItemSorter() = default;
    virtual std::int32_t compare(const Item& a, const Item& b) const = 0;
};

class BoxSorter {
public:
    virtual ~BoxSorter() = default;
    virtual std::int32_t compare(const Box& a, const Box& b) const = 0;
};

class PackedBoxSorter {
public:
    virtual ~PackedBoxSorter() = default;
    virtual std::int32_t compare(const PackedBox& a, const PackedBox& b) const = 0;
};

// Plain items first, then linked items by box group; within each, by volume
// descending, weight descending, item code ascending.
class DefaultItemSorter final : public ItemSorter {
public:
    std::int32_t compare(const Item& a, const Item& b) const override;
};

// Smaller inner volume first, then lighter empty box, then larger content
// capacity (an unlimited box before any limited one).
class DefaultBoxSorter final : public BoxSorter {
public:
    std::int32_t compare(const Box& a, const Box& b) const override;
};

// Most items first, then higher utilisation, then larger used volume.
class DefaultPackedBoxSorter final : public PackedBoxSorter {
public:
    std::int32_t compare(const PackedBox& a, const PackedBox& b) const override;
};

}  // namespace quarvex
