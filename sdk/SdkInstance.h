#pragma once

// The connection to the universe: requests and their answers, the queue of deliveries for SdkWait, and the
// reconnection. Internal to the SDK.

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/SdkCodes.h"
#include "sdk/SdkSocket.h"
#include "sdk/SdkState.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace sdk_internal {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Rounded up: the last fraction of a millisecond would otherwise be spent polling with a zero wait, spinning.
inline milliseconds Until(Clock::time_point t) {
    const auto left = std::chrono::ceil<milliseconds>(t - Clock::now());
    return left.count() > 0 ? left : milliseconds(0);
}

// Every login carries the machine's computer id, when it has one, for the worlds' computer-id ejections, and the
// time of the last attach when a window asks a headless bot for its backlog.
void WriteComputerId(FrameWriter &w);

// A queued delivery is a small tag followed by the frame as it arrived (or as the SDK made it, for its own events).
enum class Delivery : std::uint8_t { Event, Callback, Relay };
constexpr std::size_t kTagSize = 8; // kind, unused, u16 event or callback number, u32 frame size

enum class Link { Connected, Lost, Connecting, Handshaking, LoggingIn, Entering, Dead };

struct Pending {
    int callback = 0;
    MessageType type = MessageType::Ping;
    bool relay = false; // SdkRelayRequest: the answer goes to its handler, untouched
};

class Instance {
public:
    explicit Instance(State &state) : state_(state) {}

    int Create(const std::string &host, int port);
    // Sends a request. With a callback number whose handler is installed it returns 0 at once; otherwise it waits
    // for the answer. `fill` writes the request's attributes.
    template <class Fill> int Request(MessageType type, int callback, Fill fill);
    // Reads what has arrived, moves a reconnection along, and waits up to `wait` for something to happen.
    // `delivering`: the caller delivers what is queued, so queued deliveries end the wait (SdkWait); a blocking
    // request waits for its answer alone, however much is queued meanwhile.
    void Service(milliseconds wait, bool delivering = true);
    bool HasDeliveries() const { return queueHead_ < queue_.size(); }
    // The next delivery, with its attributes applied to the store (a relayed answer's are not); `frame` gets a copy
    // of it when asked.
    bool TakeDelivery(Delivery &kind, int &number, int &code, std::string *frame = nullptr);
    int Relay(const std::uint8_t *frame, std::size_t size, SdkFrameHandler done);
    // The handler of a relayed request's answer, taken out.
    SdkFrameHandler TakeRelayHandler(std::uint32_t id);
    void Exit();

    int Session() const { return session_; }
    Link LinkState() const { return link_; }

private:
    void Send(MessageType type, std::uint32_t id, std::int32_t code, const std::function<void(FrameWriter &)> &fill);
    void Flush();
    bool ReadInput(); // true when anything arrived
    void HandleFrame(const std::uint8_t *frame, std::size_t size);
    void HandleReply(const FrameReader &r, const std::uint8_t *frame, std::size_t size);
    void Settle(MessageType type, const FrameReader &r); // the session's own bookkeeping for an answer
    void Queue(Delivery kind, int number, const std::uint8_t *frame, std::size_t size);
    void QueueEvent(int event, int attribute, std::int32_t value);
    void QueueCallback(int callback, int code);
    void FailRequests();
    void Lost();
    void Dead(int reason);
    void Reconnect();
    void NextAddress();
    void Up();
    void ScheduleAttempt();
    void Heartbeat();
    void StartHello();
    void StartLogin();
    void StartEnter();
    std::size_t QueuedBytes() const { return queue_.size() - queueHead_; }

    State &state_;
    SdkSocket socket_;
    std::string host_;
    int port_ = 0;
    std::vector<SdkAddress> addresses_;
    std::size_t addressIndex_ = 0;
    Clock::time_point stepDeadline_;

    Link link_ = Link::Dead;
    int deadReason_ = 0;
    bool loggedIn_ = false;
    int session_ = 0;
    bool inWorld_ = false;
    std::string world_;
    // A lost connection is restored to this: log in again, and enter this world unless SdkExit came meanwhile.
    bool relogin_ = false;
    bool reenter_ = false;

    std::vector<std::uint8_t> in_;
    std::size_t inUsed_ = 0;
    std::string out_;
    std::size_t outSent_ = 0;
    std::vector<std::uint8_t> queue_;
    std::size_t queueHead_ = 0;

    std::uint32_t nextId_ = 1;
    std::unordered_map<std::uint32_t, Pending> pending_;
    std::unordered_map<std::uint32_t, SdkFrameHandler> relayHandlers_;
    std::uint32_t waitingId_ = 0;
    MessageType waitingType_ = MessageType::Ping;
    bool waitingDone_ = false;
    int waitingResult_ = 0;
    std::uint32_t internalId_ = 0; // the handshake's or the reconnection's own request

    milliseconds idleTimeout_{0};
    Clock::time_point lastSent_ = Clock::now();
    Clock::time_point nextAttempt_;
    milliseconds backoff_{0}; // the delay before jitter; doubles on every failed attempt up to the cap
    Clock::time_point connectedSince_;
    // Jitter keeps many bots that lost one server from coming back in the same instant; seeded per process.
    std::minstd_rand random_{static_cast<std::uint32_t>(Clock::now().time_since_epoch().count()) ^
                             (static_cast<std::uint32_t>(::getpid()) << 16)};

    // The heartbeat, when the server's handshake said it answers pings: a line silent for the heartbeat time-out
    // is taken for a dead one, which TCP alone may not notice for hours (a stopped or vanished peer).
    bool heartbeat_ = false;
    Clock::time_point lastHeard_; // the last complete frame
    Clock::time_point lastPing_;

    // The values of the last successful login, which the reconnection uses (not whatever was set since).
    std::string loginName_, loginPassword_, loginApplication_;
    std::int32_t loginCitizen_ = 0;
    std::string candidateName_, candidatePassword_, candidateApplication_;
    std::int32_t candidateCitizen_ = 0;

    friend int ::SdkLogin();
};

template <class Fill> int Instance::Request(MessageType type, int callback, Fill fill) {
    if (link_ != Link::Connected)
        return kNoConnection;
    if (out_.size() - outSent_ > kMaxOutputBytes)
        return kOutBufferFull;
    const std::uint32_t id = nextId_++;
    const std::size_t before = out_.size();
    {
        FrameWriter w(out_, static_cast<std::uint16_t>(type), id, 0);
        fill(w);
        if (!w.Finish())
            return out_.size() == before ? kStringTooLong : kInvalidArgument;
    }
    lastSent_ = Clock::now();
    if (state_.HasCallback(callback)) {
        pending_[id] = Pending{callback, type};
        Flush();
        return link_ == Link::Connected ? 0 : kConnectionLost;
    }
    waitingId_ = id;
    waitingType_ = type;
    waitingDone_ = false;
    Flush();
    const Clock::time_point deadline = Clock::now() + g_tuning.requestTimeout;
    while (!waitingDone_) {
        if (Clock::now() >= deadline) {
            waitingId_ = 0; // an answer arriving later is dropped
            return kTimeout;
        }
        Service(Until(deadline), false);
    }
    // Left set, it would stop every later Service from waiting and turn each SdkWait into a busy loop.
    waitingDone_ = false;
    return waitingResult_;
}

} // namespace sdk_internal
