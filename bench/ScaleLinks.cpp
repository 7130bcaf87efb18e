#include "bench/ScaleLinks.h"

#include <cstring>

namespace {
// Enough for most reads at once; a link grows it for a larger frame and keeps it.
constexpr std::size_t kFirstBuffer = 4096;
} // namespace

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ScaleLinks::ScaleLinks(asio::io_context &io, int count) : lazyTimer_(io), io_(io) {
    links_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        links_.push_back(std::make_unique<Link>(io));
}

ScaleLinks::~ScaleLinks() = default;

int ScaleLinks::OpenCount() const {
    int n = 0;
    for (const auto &l : links_)
        n += l->state == State::Open;
    return n;
}

void ScaleLinks::Connect(int i, const asio::ip::tcp::endpoint &to) {
    Link &l = *links_[static_cast<std::size_t>(i)];
    l.state = State::Connecting;
    l.socket.async_connect(to, [this, i](const asio::error_code &ec) {
        Link &l = *links_[static_cast<std::size_t>(i)];
        if (l.state != State::Connecting)
            return;
        if (ec) {
            Fail(i, "connect: " + ec.message());
            return;
        }
        asio::error_code ignored;
        l.socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        l.state = State::Open;
        l.in.resize(kFirstBuffer);
        Opened(i);
        Read(i);
    });
}

void ScaleLinks::Send(int i, std::string_view bytes) {
    Link &l = *links_[static_cast<std::size_t>(i)];
    if (l.state != State::Open)
        return;
    l.pending.append(bytes);
    Write(i);
}

void ScaleLinks::Drop(int i) {
    Link &l = *links_[static_cast<std::size_t>(i)];
    if (l.state == State::Closed)
        return;
    l.state = State::Closed;
    asio::error_code ignored;
    l.socket.close(ignored);
}

void ScaleLinks::Fail(int i, const std::string &why) {
    Link &l = *links_[static_cast<std::size_t>(i)];
    if (l.state == State::Closed)
        return;
    Drop(i);
    Lost(i, why);
}

void ScaleLinks::Read(int i) {
    Link &l = *links_[static_cast<std::size_t>(i)];
    if (l.used == l.in.size())
        l.in.resize(l.in.size() * 2);
    l.socket.async_read_some(asio::buffer(l.in.data() + l.used, l.in.size() - l.used),
                             [this, i](const asio::error_code &ec, std::size_t n) {
                                 Link &l = *links_[static_cast<std::size_t>(i)];
                                 if (l.state != State::Open)
                                     return;
                                 if (ec) {
                                     Fail(i, ec == asio::error::eof ? "closed by the server" : ec.message());
                                     return;
                                 }
                                 l.used += n;
                                 const std::size_t used = Consume(i, l.in.data(), l.used, NowNs());
                                 if (l.state != State::Open)
                                     return;
                                 if (used > 0) {
                                     std::memmove(l.in.data(), l.in.data() + used, l.used - used);
                                     l.used -= used;
                                 }
                                 if (l.lazy)
                                     Defer(i);
                                 else
                                     Read(i);
                             });
}

void ScaleLinks::Write(int i) {
    Link &l = *links_[static_cast<std::size_t>(i)];
    if (l.writeActive || l.pending.empty())
        return;
    l.writing.swap(l.pending);
    l.pending.clear();
    l.writeActive = true;
    asio::async_write(l.socket, asio::buffer(l.writing), [this, i](const asio::error_code &ec, std::size_t) {
        Link &l = *links_[static_cast<std::size_t>(i)];
        l.writeActive = false;
        l.writing.clear();
        if (l.state != State::Open)
            return;
        if (ec) {
            Fail(i, "write: " + ec.message());
            return;
        }
        Write(i);
    });
}

void ScaleLinks::Defer(int i) {
    deferred_.push_back(i);
    if (deferred_.size() > 1)
        return;
    lazyTimer_.expires_after(period_);
    lazyTimer_.async_wait([this](const asio::error_code &ec) {
        if (ec)
            return;
        std::vector<int> due;
        due.swap(deferred_);
        for (const int d : due)
            if (links_[static_cast<std::size_t>(d)]->state == State::Open)
                Read(d);
    });
}
