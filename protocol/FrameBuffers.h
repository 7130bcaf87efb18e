#pragma once

// The two buffers of a framed connection, without its socket: what has arrived, cut into frames, and what waits to
// be written, with a bound on the backlog. The universe server's connections and a headless bot's window
// connections both keep theirs in these.

#include "protocol/Frame.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Received bytes. The buffer starts small, since most frames are, and grows to the largest frame only for one that
// needs it, so thousands of idle connections cost little.
class FrameInput {
public:
    FrameInput();

    // Where the next read goes. Never empty: a frame still incomplete always fits.
    std::uint8_t *Room();
    std::size_t RoomSize() const { return buffer_.size() - used_; }

    // Counts `n` bytes read into Room, then hands each complete frame to `frame(data, size)` for as long as `more()`
    // says so. False when the bytes can never form a valid frame: the connection is to be closed with 463.
    template <class More, class Take> bool Received(std::size_t n, More more, Take frame) {
        used_ += n;
        std::size_t offset = 0;
        bool valid = true;
        while (more()) {
            std::size_t size = 0;
            const CutResult cut = CutFrame(buffer_.data() + offset, used_ - offset, size);
            if (cut == CutResult::NeedMore)
                break;
            if (cut == CutResult::Broken) {
                valid = false;
                break;
            }
            frame(buffer_.data() + offset, size);
            offset += size;
        }
        Drop(offset);
        return valid;
    }

private:
    void Drop(std::size_t count);

    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
};

// Output waiting to be written, then being written. The limit bounds the two together: a peer reading slower than
// that is let go rather than held in memory.
class FrameOutput {
public:
    explicit FrameOutput(std::size_t limit) : limit_(limit) {}

    void Append(std::string_view frames) { waiting_ += frames; }
    bool OverLimit() const { return waiting_.size() + writing_.size() > limit_; }
    void DropWaiting() { waiting_.clear(); }

    bool HasWaiting() const { return !waiting_.empty(); }
    bool Writing() const { return writingActive_; }
    std::string_view Waiting() const { return waiting_; }
    // The first `count` waiting bytes went out at once.
    void Sent(std::size_t count);
    // Moves what waits into the writing buffer and returns it; it stays put until Written. Both buffers keep the
    // room of ordinary traffic, so a busy connection stops allocating once warm, and give back what a burst took.
    const std::string &BeginWrite();
    void Written();
    // Memory the two buffers hold, used or not.
    std::size_t Held() const { return waiting_.capacity() + writing_.capacity(); }

private:
    std::size_t limit_;
    std::string waiting_;
    std::string writing_;
    bool writingActive_ = false;
};
