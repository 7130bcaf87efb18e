#pragma once

// The bots of one run, whatever server they talk to: each is brought in (connected, logged in, in its room), says
// the lines it is given and reports every line it hears. The universe and the IRC fleet differ only in the bytes.

#include "bench/ScaleLinks.h"

#include <functional>
#include <string>
#include <string_view>

class ScaleFleet : public ScaleLinks {
public:
    enum class Bot { Waiting, Entering, Ready, Failed };
    // A line heard by bot `listener`, at `nowNs`.
    using Heard = std::function<void(int listener, std::string_view text, long long nowNs)>;
    // Bot `i` got in (Ready) or did not (Failed).
    using Settled = std::function<void(int i)>;

    ScaleFleet(asio::io_context &io, int count, asio::ip::tcp::endpoint server, Heard heard, Settled settled)
        : ScaleLinks(io, count), server_(server), heard_(std::move(heard)), settled_(std::move(settled)),
          bots_(static_cast<std::size_t>(count), Bot::Waiting) {}

    // Starts bringing bot `i` in; `room` is its world or channel, 0-based.
    void Enter(int i, int room) {
        bots_[static_cast<std::size_t>(i)] = Bot::Entering;
        rooms_.resize(bots_.size());
        rooms_[static_cast<std::size_t>(i)] = room;
        Connect(i, server_);
    }
    // Queues one line from bot `i`; false when the bot is not in.
    virtual bool Say(int i, std::string_view text) = 0;

    Bot StatusOf(int i) const { return bots_[static_cast<std::size_t>(i)]; }
    // Lines the server refused (the universe answers every say; IRC only complains).
    long long Refused() const { return refused_; }
    // Connections that ended after their bot was in.
    int Dropped() const { return dropped_; }
    const std::string &FirstFailure() const { return firstFailure_; }

protected:
    int RoomOf(int i) const { return rooms_[static_cast<std::size_t>(i)]; }
    void Ready(int i) {
        if (bots_[static_cast<std::size_t>(i)] != Bot::Entering)
            return;
        bots_[static_cast<std::size_t>(i)] = Bot::Ready;
        settled_(i);
    }
    void Failed(int i, const std::string &why) {
        Bot &b = bots_[static_cast<std::size_t>(i)];
        if (firstFailure_.empty())
            firstFailure_ = "bot " + std::to_string(i) + ": " + why;
        Drop(i);
        if (b == Bot::Ready)
            ++dropped_;
        const bool wasEntering = b == Bot::Entering;
        b = Bot::Failed;
        if (wasEntering)
            settled_(i);
    }
    void Lost(int i, const std::string &why) override { Failed(i, why); }
    void Hear(int listener, std::string_view text, long long nowNs) { heard_(listener, text, nowNs); }
    long long refused_ = 0;

private:
    asio::ip::tcp::endpoint server_;
    Heard heard_;
    Settled settled_;
    std::vector<Bot> bots_;
    std::vector<int> rooms_;
    int dropped_ = 0;
    std::string firstFailure_;
};
