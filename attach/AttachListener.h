#pragma once

// Accepts windows' SDK connections for a headless bot, on a thread of its own. It does what needs no bot: the
// version handshake, pings, limits and time-outs. Every request frame goes to an inbox that the bot's thread empties
// (Take), and the bot's answers come back through Send and Close, which any thread may call.
//
//     AttachListener listener(options);
//     if (!listener.Start(error)) ...
//     ... on the bot's thread: for (AttachInput &in : listener.Take()) ...; listener.Send(window, frames);
//     listener.Stop();

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace asio::ssl {
class context;
}

struct AttachListenerOptions {
    std::string host = "127.0.0.1";
    int port = 0;                                  // 0 picks a free one
    std::size_t maxWindows = 16;                   // further connections are closed at once
    std::size_t maxOutputBytes = 8 * 1024 * 1024;  // a window this far behind is dropped, not the bot
    std::size_t maxInboxBytes = 1024 * 1024;       // per window, not yet taken by the bot: a flood ends it
    std::chrono::milliseconds idleTimeout{120000}; // a window silent this long is closed
    std::chrono::milliseconds helloTimeout{10000}; // the handshake must come within this
    std::function<void(const std::string &)> log;  // called on the listener's thread
    std::shared_ptr<asio::ssl::context> tls;       // set: windows speak TLS (crypto/TlsContext.h's server side)
};

struct AttachInput {
    enum class Kind { Opened, Frame, Closed } kind = Kind::Frame;
    std::uint64_t window = 0; // never 0, never reused in one listener's life
    std::string frame;        // Frame: one complete, valid request frame
    std::string peer;         // Opened: the window's address, for logs
};

// What the bot's side needs of the windows' connections; the listener is one, the fuzz harness another.
class AttachWindows {
public:
    virtual ~AttachWindows() = default;
    // Everything that arrived since the last call, in order.
    virtual std::vector<AttachInput> Take() = 0;
    // Appends frames to a window's output; nothing when it is gone.
    virtual void Send(std::uint64_t window, std::string frames) = 0;
    // Sends a Close frame with the reason and closes the window's connection.
    virtual void Close(std::uint64_t window, int reason) = 0;
};

class AttachListener : public AttachWindows {
public:
    explicit AttachListener(AttachListenerOptions options);
    ~AttachListener() override; // stops
    AttachListener(const AttachListener &) = delete;
    AttachListener &operator=(const AttachListener &) = delete;

    bool Start(std::string &error);
    void Stop();
    int Port() const; // the port bound, 0 when not running

    std::vector<AttachInput> Take() override;
    void Send(std::uint64_t window, std::string frames) override;
    void Close(std::uint64_t window, int reason) override;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};
