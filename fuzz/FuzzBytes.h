#pragma once

// Takes a fuzz input apart: small numbers and pieces from the front, the rest as text. Past the end every read
// gives zero or nothing, so a short input is still a valid one.

#include <cstddef>
#include <cstdint>
#include <string_view>

class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return offset_ >= size_; }
    std::size_t Left() const { return size_ - offset_; }

    std::uint8_t Byte() { return Empty() ? 0 : data_[offset_++]; }

    std::uint16_t Word() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }

    std::uint32_t Int32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        }
        return value;
    }

    // Up to n bytes.
    std::string_view Take(std::size_t n) {
        if (n > Left()) {
            n = Left();
        }
        const std::string_view piece(reinterpret_cast<const char *>(data_ + offset_), n);
        offset_ += n;
        return piece;
    }

    // A piece whose length is the next byte.
    std::string_view Piece() { return Take(Byte()); }

    std::string_view Rest() { return Take(Left()); }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// Cut points for feeding a stream in pieces, repeatable from a seed: sizes from 1 byte up, at most maxPieces of
// them; whatever is left after the last cut goes in one piece.
class PieceSizes {
public:
    explicit PieceSizes(std::uint32_t seed) : state_(seed * 2654435761u + 1u) {}

    std::size_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        // Mostly tiny pieces, so that frame and line boundaries fall everywhere, now and then a large one.
        switch (state_ % 4) {
        case 0:
            return 1;
        case 1:
            return 1 + (state_ >> 8) % 7;
        case 2:
            return 1 + (state_ >> 8) % 64;
        default:
            return 1 + (state_ >> 8) % 4096;
        }
    }

private:
    std::uint32_t state_;
};
