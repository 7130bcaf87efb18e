#include "server/Connection.h"

#include "protocol/Frame.h"
#include "protocol/MessageType.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kProtocolError = 463;
constexpr int kVersionMismatch = 454;
constexpr int kTimeout = 402;
constexpr auto kCloseGrace = std::chrono::seconds(2);
} // namespace

void WriteBatch::Add(std::shared_ptr<Connection> connection) {
    if (waiting_.empty())
        asio::post(io_, [this] { Flush(); });
    waiting_.push_back(std::move(connection));
}

void WriteBatch::Flush() {
    flushing_.swap(waiting_);
    for (const auto &c : flushing_)
        c->Flush();
    flushing_.clear();
}

Connection::Connection(asio::ip::tcp::socket socket, Universe &universe, const ServerOptions &options,
                       WriteBatch &batch, ClosedHandler closed)
    : socket_(std::move(socket)), timer_(socket_.get_executor()), universe_(universe), options_(options), batch_(batch),
      closed_(std::move(closed)), out_(options.maxOutputBytes) {
    asio::error_code ec;
    const auto remote = socket_.remote_endpoint(ec);
    if (!ec) {
        peer_ = remote.address().to_string() + ":" + std::to_string(remote.port());
        asio::ip::address a = remote.address();
        if (a.is_v6() && a.to_v6().is_v4_mapped())
            a = asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6());
        if (a.is_v4()) {
            const auto bytes = a.to_v4().to_bytes(); // network order
            std::memcpy(&address_, bytes.data(), 4);
        }
    }
    socket_.set_option(asio::ip::tcp::no_delay(true), ec);
    // Flush tries a plain write first and waits for room only when the peer's buffer is full.
    socket_.non_blocking(true, ec);
}

Connection::~Connection() = default;

void Connection::Log(const std::string &line) const {
    if (options_.log)
        options_.log(peer_ + ": " + line);
}

void Connection::Start() {
    started_ = lastHeard_ = std::chrono::steady_clock::now();
    ArmTimer();
    Read();
}

void Connection::Read() {
    if (finished_)
        return;
    auto self = shared_from_this();
    std::uint8_t *room = in_.Room(); // first: it may grow the buffer
    socket_.async_read_some(asio::buffer(room, in_.RoomSize()),
                            [this, self](const asio::error_code &ec, std::size_t n) {
                                if (finished_)
                                    return;
                                if (ec) {
                                    Finish();
                                    return;
                                }
                                lastHeard_ = std::chrono::steady_clock::now();
                                Consume(n);
                                if (!closing_)
                                    Read();
                            });
}

void Connection::Consume(std::size_t n) {
    const bool valid = in_.Received(
        n, [this] { return !closing_ && !finished_; },
        [this](const std::uint8_t *frame, std::size_t size) { HandleFrame(frame, size); });
    if (!valid) {
        Log("protocol error, closing");
        Close(kProtocolError);
    }
}

void Connection::HandleFrame(const std::uint8_t *frame, std::size_t size) {
    FrameReader r(frame, size);
    const auto type = static_cast<MessageType>(r.Header().type);
    if (!hello_) {
        if (type != MessageType::Hello) {
            Close(kProtocolError);
            return;
        }
        std::string reply;
        if (r.Header().code != kProtocolVersion) {
            FrameWriter(reply, static_cast<std::uint16_t>(MessageType::HelloReply), r.Header().id, kVersionMismatch)
                .Finish();
            Send(reply);
            Log("protocol version " + std::to_string(r.Header().code) + " refused");
            Close(kVersionMismatch);
            return;
        }
        std::int32_t build = 0, heartbeat = 0;
        r.FindInt(kFieldNumber, build);
        r.FindInt(kFieldHeartbeat, heartbeat);
        hello_ = true;
        // Only a client that asked gets Pongs: an older one would take the unknown frame for a protocol error.
        heartbeat_ = heartbeat == 1;
        FrameWriter w(reply, static_cast<std::uint16_t>(MessageType::HelloReply), r.Header().id, 0);
        w.Int(kFieldIdleTimeoutMs,
              static_cast<std::int32_t>(std::min<long long>(options_.idleTimeout.count(), INT32_MAX)));
        w.String(kFieldServerName, "gabbler-universe");
        if (heartbeat_)
            w.Int(kFieldHeartbeat, 1);
        w.Finish();
        Send(reply);
        universe_.Attach(this, build);
        return;
    }
    if (type == MessageType::Ping) {
        if (heartbeat_) {
            std::string pong;
            FrameWriter(pong, static_cast<std::uint16_t>(MessageType::Pong), r.Header().id, 0).Finish();
            Send(pong);
        }
        return;
    }
    if (type == MessageType::Close) {
        Close(0);
        return;
    }
    if (!IsRequestType(r.Header().type)) {
        Close(kProtocolError);
        return;
    }
    universe_.Handle(this, r);
}

void Connection::Send(const std::string &frames) {
    if (closing_ || finished_ || frames.empty())
        return;
    out_.Append(frames);
    if (out_.OverLimit()) {
        // A reader this far behind would make us hold its whole backlog; let it go instead. Closing is posted so
        // that the universe, which may be in the middle of a broadcast, never sees a connection vanish under it.
        Log("output backlog above the limit, disconnecting");
        closing_ = true;
        out_.DropWaiting();
        asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Abort(); });
        return;
    }
    // A write in flight picks up the rest when it completes.
    if (!batched_ && !out_.Writing()) {
        batched_ = true;
        batch_.Add(shared_from_this());
    }
}

void Connection::Flush() {
    batched_ = false;
    Write();
}

void Connection::Write() {
    if (out_.Writing() || !out_.HasWaiting() || finished_)
        return;
    asio::error_code ec;
    const std::size_t sent = socket_.write_some(asio::buffer(out_.Waiting()), ec);
    if (ec && ec != asio::error::would_block && ec != asio::error::try_again) {
        // Finishing detaches from the universe, which may be the caller; let it happen on the next turn.
        out_.DropWaiting();
        closing_ = true;
        asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Finish(); });
        return;
    }
    out_.Sent(sent);
    if (!out_.HasWaiting())
        return;
    // The peer's buffer is full: the rest goes out as it drains.
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(out_.BeginWrite()), [this, self](const asio::error_code &ec, std::size_t) {
        out_.Written();
        if (finished_)
            return;
        if (ec) {
            Finish();
            return;
        }
        Write();
        if (!out_.Writing() && closing_)
            Finish();
    });
}

void Connection::Close(int reason) {
    if (closing_ || finished_)
        return;
    std::string frame;
    FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Close), 0, reason).Finish();
    out_.Append(frame);
    closing_ = true;
    if (!out_.Writing()) {
        Write();
        if (!out_.Writing()) {
            asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Finish(); });
            return;
        }
    }
    // A peer that does not read its farewell does not keep the connection open.
    timer_.expires_after(kCloseGrace);
    timer_.async_wait([this, self = shared_from_this()](const asio::error_code &ec) {
        if (!ec)
            Finish();
    });
}

void Connection::ArmTimer() {
    if (finished_ || closing_)
        return;
    const auto period = std::clamp<std::chrono::steady_clock::duration>(
        options_.idleTimeout / 4, std::chrono::milliseconds(10), std::chrono::seconds(5));
    timer_.expires_after(std::min<std::chrono::steady_clock::duration>(period, options_.helloTimeout));
    timer_.async_wait([this, self = shared_from_this()](const asio::error_code &ec) {
        if (ec || finished_ || closing_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (!hello_ && now - started_ > options_.helloTimeout) {
            Log("no handshake, closing");
            Abort();
            return;
        }
        if (now - lastHeard_ > options_.idleTimeout) {
            Log("idle, closing");
            Close(kTimeout);
            return;
        }
        ArmTimer();
    });
}

void Connection::Abort() {
    closing_ = true;
    Finish();
}

void Connection::Finish() {
    if (finished_)
        return;
    finished_ = true;
    closing_ = true;
    asio::error_code ec;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
    socket_.close(ec);
    timer_.cancel();
    if (hello_)
        universe_.Detach(this);
    if (closed_)
        closed_(this);
}
