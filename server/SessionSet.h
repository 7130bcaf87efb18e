#pragma once

// A set of session numbers (never 0) in one flat table: an observer knows everyone within hearing, so in a crowded
// world each holds thousands, and a node-based set would spend several times the memory on pointers.

#include <cstddef>
#include <cstdint>
#include <vector>

class SessionSet {
public:
    bool Contains(int session) const;
    bool Insert(int session); // false when it was there already
    bool Erase(int session);  // false when it was not there
    void Clear();
    std::size_t Size() const { return size_; }

private:
    std::size_t Slot(int session) const;
    void Grow();

    std::vector<int> slots_; // 0 marks a free slot; the size is 0 or a power of two
    std::size_t size_ = 0;
};
