#pragma once

// Many TCP connections driven by one asio event loop on one thread: each link reads into a buffer of its own and
// writes what is queued for it, without blocking anyone else. The protocol on top is a subclass's business.

#include <asio.hpp>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

long long NowNs();

class ScaleLinks {
public:
    enum class State { Idle, Connecting, Open, Closed };

    ScaleLinks(asio::io_context &io, int count);
    virtual ~ScaleLinks();
    ScaleLinks(const ScaleLinks &) = delete;
    ScaleLinks &operator=(const ScaleLinks &) = delete;

    int Count() const { return static_cast<int>(links_.size()); }
    State StateOf(int i) const { return links_[static_cast<std::size_t>(i)]->state; }
    int OpenCount() const;
    // A lazy link reads only every `period`: what came meanwhile is taken in one read, so a listener whose timing is
    // not measured costs a fraction of the reads. Its lines are heard late by up to the period.
    void SetLazy(int i, bool lazy) { links_[static_cast<std::size_t>(i)]->lazy = lazy; }
    void SetLazyPeriod(std::chrono::milliseconds period) { period_ = period; }

protected:
    void Connect(int i, const asio::ip::tcp::endpoint &to);
    void Send(int i, std::string_view bytes);
    void Drop(int i);

    // The link is open: send the greeting.
    virtual void Opened(int i) = 0;
    // Bytes arrived (all that are not yet consumed, oldest first); returns how many it used. `nowNs` is when the read
    // finished, the moment every frame in it was heard.
    virtual std::size_t Consume(int i, const char *data, std::size_t size, long long nowNs) = 0;
    // The connection failed or was closed by the peer; `why` says how.
    virtual void Lost(int i, const std::string &why) = 0;

private:
    struct Link {
        explicit Link(asio::io_context &io) : socket(io) {}
        asio::ip::tcp::socket socket;
        std::vector<char> in;
        std::size_t used = 0;
        std::string pending, writing;
        bool writeActive = false;
        bool lazy = false;
        State state = State::Idle;
    };
    void Read(int i);
    void Write(int i);
    void Fail(int i, const std::string &why);
    void Defer(int i);

    asio::steady_timer lazyTimer_;
    std::chrono::milliseconds period_{50};
    std::vector<int> deferred_; // lazy links waiting for the next turn to read

    asio::io_context &io_;
    std::vector<std::unique_ptr<Link>> links_;
};
