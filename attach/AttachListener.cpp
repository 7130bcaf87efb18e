#include "attach/AttachListener.h"

#include "attach/WindowGate.h"
#include "protocol/Frame.h"
#include "protocol/FrameBuffers.h"
#include "protocol/MessageType.h"

#include <algorithm>
#include <asio.hpp>
#include <asio/ssl.hpp>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {
constexpr int kProtocolError = 463;
constexpr int kTimeout = 402;
constexpr auto kCloseGrace = std::chrono::seconds(2);
} // namespace

// One window's connection, on the listener's thread.
class AttachWindow : public std::enable_shared_from_this<AttachWindow> {
public:
    AttachWindow(AttachListener::Impl &owner, std::uint64_t id, asio::ip::tcp::socket socket);
    void Start();
    void Send(const std::string &frames);
    void Close(int reason);
    void Abort();
    std::uint64_t Id() const { return id_; }
    const std::string &Peer() const { return peer_; }

private:
    void Read();
    void Consume(std::size_t received);
    void HandleFrame(const std::uint8_t *frame, std::size_t size);
    void Write();
    void ArmTimer();
    void Finish();

    AttachListener::Impl &owner_;
    std::uint64_t id_;
    asio::ip::tcp::socket socket_;
    std::unique_ptr<asio::ssl::stream<asio::ip::tcp::socket &>> tls_; // over socket_, when TLS is on
    asio::steady_timer timer_;
    FrameInput in_;
    FrameOutput out_;
    WindowGate gate_;
    bool closing_ = false, finished_ = false;
    std::string peer_;
    std::chrono::steady_clock::time_point started_, lastHeard_;
};

class AttachListener::Impl {
public:
    explicit Impl(AttachListenerOptions options) : options_(std::move(options)) {}

    bool Start(std::string &error);
    void Stop();
    int Port() const {
        std::lock_guard lock(mutex_);
        return port_;
    }
    std::vector<AttachInput> Take();
    void Post(std::uint64_t window, std::function<void(AttachWindow &)> action);

    // On the listener's thread.
    bool Push(AttachInput input); // false when the window's share of the inbox is full
    void Gone(AttachWindow &window);
    void Log(const std::string &line) const {
        if (options_.log)
            options_.log(line);
    }
    const AttachListenerOptions &Options() const { return options_; }

private:
    void Accept();

    AttachListenerOptions options_;
    mutable std::mutex mutex_; // the inbox and the port
    std::deque<AttachInput> inbox_;
    std::unordered_map<std::uint64_t, std::size_t> inboxBytes_;
    int port_ = 0;

    std::unique_ptr<asio::io_context> io_;
    std::unique_ptr<asio::ip::tcp::acceptor> acceptor_;
    std::thread thread_;
    std::unordered_map<std::uint64_t, std::shared_ptr<AttachWindow>> windows_;
    std::uint64_t nextId_ = 1;
};

// ---- AttachWindow --------------------------------------------------------------------------------------------------

AttachWindow::AttachWindow(AttachListener::Impl &owner, std::uint64_t id, asio::ip::tcp::socket socket)
    : owner_(owner), id_(id), socket_(std::move(socket)), timer_(socket_.get_executor()),
      out_(owner.Options().maxOutputBytes), gate_(owner.Options().idleTimeout) {
    asio::error_code ec;
    const auto remote = socket_.remote_endpoint(ec);
    if (!ec)
        peer_ = remote.address().to_string() + ":" + std::to_string(remote.port());
    socket_.set_option(asio::ip::tcp::no_delay(true), ec);
    if (owner_.Options().tls)
        tls_ = std::make_unique<asio::ssl::stream<asio::ip::tcp::socket &>>(socket_, *owner_.Options().tls);
}

void AttachWindow::Start() {
    started_ = lastHeard_ = std::chrono::steady_clock::now();
    ArmTimer();
    if (!tls_) {
        Read();
        return;
    }
    // The handshake counts into the time the window has for its first frame.
    tls_->async_handshake(asio::ssl::stream_base::server,
                          [this, self = shared_from_this()](const asio::error_code &ec) {
                              if (finished_)
                                  return;
                              if (ec) {
                                  owner_.Log(peer_ + ": TLS handshake failed: " + ec.message());
                                  Finish();
                                  return;
                              }
                              Read();
                          });
}

void AttachWindow::Read() {
    if (finished_ || closing_)
        return;
    auto done = [this, self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
        if (finished_)
            return;
        if (ec) {
            Finish();
            return;
        }
        lastHeard_ = std::chrono::steady_clock::now();
        Consume(n);
        Read();
    };
    std::uint8_t *room = in_.Room(); // first: it may grow the buffer
    const auto buffer = asio::buffer(room, in_.RoomSize());
    if (tls_)
        tls_->async_read_some(buffer, std::move(done));
    else
        socket_.async_read_some(buffer, std::move(done));
}

void AttachWindow::Consume(std::size_t received) {
    const bool valid = in_.Received(
        received, [this] { return !closing_ && !finished_; },
        [this](const std::uint8_t *frame, std::size_t size) { HandleFrame(frame, size); });
    if (!valid) {
        owner_.Log(peer_ + ": protocol error, closing");
        Close(kProtocolError);
    }
}

void AttachWindow::HandleFrame(const std::uint8_t *frame, std::size_t size) {
    const WindowGate::Verdict v = gate_.Handle(frame, size);
    if (!v.reply.empty())
        Send(v.reply);
    if (v.opened && !owner_.Push({AttachInput::Kind::Opened, id_, {}, peer_})) {
        Close(kProtocolError);
        return;
    }
    if (v.forward &&
        !owner_.Push({AttachInput::Kind::Frame, id_, std::string(reinterpret_cast<const char *>(frame), size), {}})) {
        owner_.Log(peer_ + ": too many requests waiting, closing");
        Close(kProtocolError);
        return;
    }
    if (v.close >= 0)
        Close(v.close);
}

void AttachWindow::Send(const std::string &frames) {
    if (closing_ || finished_ || frames.empty())
        return;
    out_.Append(frames);
    if (out_.OverLimit()) {
        // A window this far behind would make the bot hold its whole backlog; let the window go instead.
        owner_.Log(peer_ + ": output backlog above the limit, disconnecting");
        out_.DropWaiting();
        closing_ = true;
        asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Finish(); });
        return;
    }
    Write();
}

void AttachWindow::Write() {
    if (out_.Writing() || !out_.HasWaiting() || finished_)
        return;
    const auto buffer = asio::buffer(out_.BeginWrite());
    auto done = [this, self = shared_from_this()](const asio::error_code &ec, std::size_t) {
        out_.Written();
        if (finished_)
            return;
        if (ec) {
            Finish();
            return;
        }
        if (out_.HasWaiting())
            Write();
        else if (closing_)
            Finish();
    };
    if (tls_)
        asio::async_write(*tls_, buffer, std::move(done));
    else
        asio::async_write(socket_, buffer, std::move(done));
}

void AttachWindow::Close(int reason) {
    if (closing_ || finished_)
        return;
    std::string frame;
    FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Close), 0, reason).Finish();
    out_.Append(frame);
    closing_ = true;
    Write();
    timer_.expires_after(kCloseGrace);
    timer_.async_wait([this, self = shared_from_this()](const asio::error_code &ec) {
        if (!ec)
            Finish();
    });
}

void AttachWindow::ArmTimer() {
    if (finished_ || closing_)
        return;
    const auto period = std::clamp<std::chrono::steady_clock::duration>(
        owner_.Options().idleTimeout / 4, std::chrono::milliseconds(10), std::chrono::seconds(5));
    timer_.expires_after(std::min<std::chrono::steady_clock::duration>(period, owner_.Options().helloTimeout));
    timer_.async_wait([this, self = shared_from_this()](const asio::error_code &ec) {
        if (ec || finished_ || closing_)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (!gate_.Open() && now - started_ > owner_.Options().helloTimeout) {
            Abort();
            return;
        }
        if (now - lastHeard_ > owner_.Options().idleTimeout) {
            owner_.Log(peer_ + ": idle, closing");
            Close(kTimeout);
            return;
        }
        ArmTimer();
    });
}

void AttachWindow::Abort() {
    closing_ = true;
    Finish();
}

void AttachWindow::Finish() {
    if (finished_)
        return;
    finished_ = true;
    closing_ = true;
    asio::error_code ec;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ec);
    socket_.close(ec);
    timer_.cancel();
    owner_.Gone(*this);
}

// ---- AttachListener::Impl ------------------------------------------------------------------------------------------

bool AttachListener::Impl::Start(std::string &error) {
    if (io_)
        return true;
    io_ = std::make_unique<asio::io_context>(1);
    try {
        asio::ip::tcp::resolver resolver(*io_);
        const auto endpoints =
            resolver.resolve(options_.host, std::to_string(options_.port), asio::ip::resolver_base::passive);
        if (endpoints.empty()) {
            error = "cannot resolve " + options_.host;
            io_.reset();
            return false;
        }
        const asio::ip::tcp::endpoint endpoint = *endpoints.begin();
        acceptor_ = std::make_unique<asio::ip::tcp::acceptor>(*io_);
        acceptor_->open(endpoint.protocol());
        acceptor_->set_option(asio::socket_base::reuse_address(true));
        acceptor_->bind(endpoint);
        acceptor_->listen();
        std::lock_guard lock(mutex_);
        port_ = acceptor_->local_endpoint().port();
    } catch (const std::exception &e) {
        error = "cannot listen on " + options_.host + ":" + std::to_string(options_.port) + ": " + e.what();
        acceptor_.reset();
        io_.reset();
        return false;
    }
    Accept();
    thread_ = std::thread([this] { io_->run(); });
    return true;
}

void AttachListener::Impl::Accept() {
    acceptor_->async_accept([this](const asio::error_code &ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !acceptor_->is_open())
            return;
        if (!ec) {
            if (windows_.size() >= options_.maxWindows) {
                Log("window limit reached, refusing a connection");
                asio::error_code ignored;
                socket.close(ignored);
            } else {
                auto w = std::make_shared<AttachWindow>(*this, nextId_++, std::move(socket));
                windows_[w->Id()] = w;
                w->Start();
            }
        }
        Accept();
    });
}

void AttachListener::Impl::Stop() {
    if (!io_)
        return;
    asio::post(*io_, [this] {
        asio::error_code ec;
        acceptor_->close(ec);
        auto all = windows_;
        for (auto &[id, w] : all)
            w->Abort();
    });
    thread_.join();
    windows_.clear();
    acceptor_.reset();
    io_.reset();
    std::lock_guard lock(mutex_);
    port_ = 0;
    inbox_.clear();
    inboxBytes_.clear();
}

bool AttachListener::Impl::Push(AttachInput input) {
    std::lock_guard lock(mutex_);
    std::size_t &bytes = inboxBytes_[input.window];
    if (input.kind == AttachInput::Kind::Frame) {
        if (bytes + input.frame.size() > options_.maxInboxBytes)
            return false;
        bytes += input.frame.size();
    }
    inbox_.push_back(std::move(input));
    return true;
}

void AttachListener::Impl::Gone(AttachWindow &window) {
    const std::uint64_t id = window.Id();
    {
        std::lock_guard lock(mutex_);
        // Only a window that finished its handshake was announced to the bot.
        if (inboxBytes_.count(id))
            inbox_.push_back({AttachInput::Kind::Closed, id, {}, window.Peer()});
    }
    // Posted: the window may be in the middle of one of its own handlers.
    asio::post(*io_, [this, id] { windows_.erase(id); });
}

std::vector<AttachInput> AttachListener::Impl::Take() {
    std::lock_guard lock(mutex_);
    std::vector<AttachInput> out(std::make_move_iterator(inbox_.begin()), std::make_move_iterator(inbox_.end()));
    inbox_.clear();
    for (const AttachInput &in : out) {
        if (in.kind == AttachInput::Kind::Closed)
            inboxBytes_.erase(in.window);
        else if (const auto it = inboxBytes_.find(in.window); it != inboxBytes_.end())
            it->second = 0;
    }
    return out;
}

void AttachListener::Impl::Post(std::uint64_t window, std::function<void(AttachWindow &)> action) {
    if (!io_)
        return;
    asio::post(*io_, [this, window, action = std::move(action)] {
        if (const auto it = windows_.find(window); it != windows_.end())
            action(*it->second);
    });
}

// ---- AttachListener ------------------------------------------------------------------------------------------------

AttachListener::AttachListener(AttachListenerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}
AttachListener::~AttachListener() { Stop(); }
bool AttachListener::Start(std::string &error) { return impl_->Start(error); }
void AttachListener::Stop() { impl_->Stop(); }
int AttachListener::Port() const { return impl_->Port(); }
std::vector<AttachInput> AttachListener::Take() { return impl_->Take(); }

void AttachListener::Send(std::uint64_t window, std::string frames) {
    impl_->Post(window, [frames = std::move(frames)](AttachWindow &w) { w.Send(frames); });
}

void AttachListener::Close(std::uint64_t window, int reason) {
    impl_->Post(window, [reason](AttachWindow &w) { w.Close(reason); });
}
