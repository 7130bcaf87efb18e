#include "protocol/FrameBuffers.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kInputStart = 4 * 1024;
constexpr std::size_t kInputMost = kMaxFrameSize + 16 * 1024;
constexpr std::size_t kOutputKept = 64 * 1024;

void Empty(std::string &buffer) {
    if (buffer.capacity() > kOutputKept)
        std::string().swap(buffer);
    else
        buffer.clear();
}
} // namespace

FrameInput::FrameInput() : buffer_(kInputStart) {}

std::uint8_t *FrameInput::Room() {
    if (used_ == buffer_.size() && buffer_.size() < kInputMost)
        buffer_.resize(std::min(buffer_.size() * 2, kInputMost)); // a frame larger than the room so far
    else if (used_ == 0 && buffer_.size() > kInputStart)
        buffer_ = std::vector<std::uint8_t>(kInputStart); // give back the room a large frame took
    return buffer_.data() + used_;
}

void FrameInput::Drop(std::size_t count) {
    if (count == 0)
        return;
    std::memmove(buffer_.data(), buffer_.data() + count, used_ - count);
    used_ -= count;
}

const std::string &FrameOutput::BeginWrite() {
    writing_.swap(waiting_);
    Empty(waiting_);
    writingActive_ = true;
    return writing_;
}

void FrameOutput::Sent(std::size_t count) {
    if (count >= waiting_.size())
        Empty(waiting_);
    else
        waiting_.erase(0, count);
}

void FrameOutput::Written() {
    Empty(writing_);
    writingActive_ = false;
}
