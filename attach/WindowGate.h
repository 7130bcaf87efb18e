#pragma once

// What the listener does with one whole frame from a window, without a socket: the handshake and pings are
// answered here, requests go on to the bot, anything else closes the connection.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

class WindowGate {
public:
    struct Verdict {
        std::string reply;    // frames to send back at once
        bool opened = false;  // the handshake is done: tell the bot a window is there
        bool forward = false; // a request for the bot
        int close = -1;       // >= 0: close with this reason (after the reply)
    };

    explicit WindowGate(std::chrono::milliseconds idleTimeout) : idleTimeout_(idleTimeout) {}

    Verdict Handle(const std::uint8_t *frame, std::size_t size);
    bool Open() const { return hello_; }

private:
    std::chrono::milliseconds idleTimeout_;
    bool hello_ = false;
    bool heartbeat_ = false; // the window's Hello asked for its pings to be answered
};
