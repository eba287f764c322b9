#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "quarvex/model/sorters.hpp"
#include "quarvex/model/stable_sort.hpp"

namespace quarvex {

// Entries in insertion order plus a sorted view that is rebuilt lazily, at
// most once per change of the entries. Const use is safe from any number of
// threads at once: the view is built under a lock, once.
template <class Entry, class Sorter>
class SortedCollection {
public:
    explicit SortedCollection(std::shared_ptr<Sorter> sorter) : sorter_(std::move(sorter)) {}

    SortedCollection(const SortedCollection& other)
        : sorter_(other.sorter_), entries_(other.entries_) {
        if (other.sortedValid_.load(std::memory_order_acquire)) {
            sorted_ = other.sorted_;
            sortedValid_.store(true, std::memory_order_relaxed);
        }
    }
    SortedCollection(SortedCollection&& other) noexcept
        : sorter_(std::move(other.sorter_)),
          entries_(std::move(other.entries_)),
          sorted_(std::move(other.sorted_)),
          sortedValid_(other.sortedValid_.exchange(false, std::memory_order_relaxed)) {}
    SortedCollection& operator=(const SortedCollection& other) {
        if (this != &other) *this = SortedCollection(other);
        return *this;
    }
    SortedCollection& operator=(SortedCollection&& other) noexcept {
        sorter_ = std::move(other.sorter_);
        entries_ = std::move(other.entries_);
        sorted_ = std::move(other.sorted_);
        sortedValid_.store(other.sortedValid_.exchange(false, std::memory_order_relaxed),
                           std::memory_order_relaxed);
        return *this;
    }
    ~SortedCollection() = default;

    void insert(Entry entry) {
        entries_.push_back(std::move(entry));
        sortedValid_.store(false, std::memory_order_relaxed);
    }

    const std::vector<Entry>& sorted() const {
        if (!sortedValid_.load(std::memory_order_acquire)) {
            const std::lock_guard lock(sorting_);
            if (!sortedValid_.load(std::memory_order_relaxed)) {
                sorted_ = entries_;
                stableSort(sorted_, [this](const Entry& a, const Entry& b) {
                    return sorter_->compare(deref(a), deref(b)) < 0;
                });
                sortedValid_.store(true, std::memory_order_release);
            }
        }
        return sorted_;
    }

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    const std::vector<Entry>& entries() const { return entries_; }
    const std::shared_ptr<Sorter>& sorter() const { return sorter_; }

protected:
    std::shared_ptr<Sorter> sorter_;
    std::vector<Entry> entries_;
    mutable std::vector<Entry> sorted_;
    mutable std::atomic<bool> sortedValid_ = false;
    mutable std::mutex sorting_;

private:
    template <class T>
    static const T& deref(const std::shared_ptr<T>& p) {
        return *p;
    }
    template <class T>
    static const T& deref(const T& value) {
        return value;
    }
};

class ItemCollection : public SortedCollection<ItemPtr, ItemSorter> {
public:
    using SortedCollection::SortedCollection;

    // Erases, for each packed item in order, the first entry that is the same
    // item object; a packed item without a match is skipped.
    void removePacked(const std::vector<PackedItem>& packed);
    bool containsLinkedItem() const;
};

class BoxCollection : public SortedCollection<BoxPtr, BoxSorter> {
public:
    using SortedCollection::SortedCollection;
};

class PackedBoxCollection : public SortedCollection<PackedBox, PackedBoxSorter> {
public:
    using SortedCollection::SortedCollection;

    // Mean over the entries of each box's item weight; 0.0 with no entries.
    double meanItemWeight() const;
};

}  // namespace quarvex
