#pragma once

// Items of one plane by square cells as wide as a radius: everything within the radius of a point lies in the 3x3
// cells around the point's cell, so a look-up visits those instead of everyone. Exact distance checks stay with
// the caller. An item records its own cell and its place in it (members `gridCell` and `gridSlot`), so moving and
// removing cost no search.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class GridCell {
public:
    GridCell() = default;
    GridCell(std::int64_t x, std::int64_t z) : x_(x), z_(z) {}
    bool operator==(const GridCell &) const = default;
    std::int64_t X() const { return x_; }
    std::int64_t Z() const { return z_; }
    // Coordinates are 32-bit, so each cell index fits 32 bits.
    std::uint64_t Key() const {
        return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x_)) << 32) | static_cast<std::uint32_t>(z_);
    }

private:
    std::int64_t x_ = 0, z_ = 0;
};

template <class T> class SpatialGrid {
public:
    explicit SpatialGrid(std::int64_t radius) : size_(std::max<std::int64_t>(radius, 1)) {}

    GridCell CellOf(std::int64_t x, std::int64_t z) const { return {FloorDiv(x), FloorDiv(z)}; }

    void Insert(T &item, GridCell cell) {
        std::vector<T *> &items = cells_[cell.Key()];
        item.gridCell = cell;
        item.gridSlot = items.size();
        items.push_back(&item);
    }

    void Remove(T &item) {
        const auto it = cells_.find(item.gridCell.Key());
        if (it == cells_.end())
            return;
        std::vector<T *> &items = it->second;
        // The last one takes the leaver's place.
        T *last = items.back();
        items[item.gridSlot] = last;
        last->gridSlot = item.gridSlot;
        items.pop_back();
        if (items.empty())
            cells_.erase(it);
    }

    void Move(T &item, GridCell cell) {
        if (cell == item.gridCell)
            return;
        Remove(item);
        Insert(item, cell);
    }

    // Calls f(T&) for every item in the 3x3 cells around `around` and, when `also` is another cell, those around
    // it too; each item once.
    template <class F> void ForEachNear(GridCell around, GridCell also, F f) const {
        std::array<std::uint64_t, 18> keys;
        std::size_t count = 0;
        const auto add = [&](GridCell c) {
            for (std::int64_t dx = -1; dx <= 1; ++dx)
                for (std::int64_t dz = -1; dz <= 1; ++dz) {
                    const std::int64_t x = c.X() + dx, z = c.Z() + dz;
                    if (x < INT32_MIN || x > INT32_MAX || z < INT32_MIN || z > INT32_MAX)
                        continue;
                    const std::uint64_t key = GridCell(x, z).Key();
                    if (std::find(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(count), key) ==
                        keys.begin() + static_cast<std::ptrdiff_t>(count))
                        keys[count++] = key;
                }
        };
        add(around);
        if (!(also == around))
            add(also);
        for (std::size_t i = 0; i < count; ++i) {
            const auto it = cells_.find(keys[i]);
            if (it == cells_.end())
                continue;
            for (T *item : it->second)
                f(*item);
        }
    }
    template <class F> void ForEachNear(GridCell around, F f) const { ForEachNear(around, around, f); }

private:
    std::int64_t FloorDiv(std::int64_t v) const {
        const std::int64_t q = v / size_;
        return (v % size_ != 0 && v < 0) ? q - 1 : q;
    }

    std::int64_t size_;
    std::unordered_map<std::uint64_t, std::vector<T *>> cells_;
};
