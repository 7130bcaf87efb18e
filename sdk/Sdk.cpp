#include "sdk/Sdk.h"

#include "crypto/TlsContext.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/ComputerId.h"
#include "sdk/SdkRelay.h"
#include "sdk/SdkSocket.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kInvalidPort = 68;
constexpr int kTimeout = 402;
constexpr int kUnableToConnect = 429;
constexpr int kNoConnection = 439;
constexpr int kNotInitialized = 444;
constexpr int kNoInstance = 445;
constexpr int kOutBufferFull = 446;
constexpr int kInvalidCallback = 447;
constexpr int kInvalidAttribute = 448;
constexpr int kTypeMismatch = 449;
constexpr int kStringTooLong = 450;
constexpr int kVersionMismatch = 454;
constexpr int kProtocolError = 463;
constexpr int kConnectionLost = 471;
constexpr int kWaitInProgress = 475;
constexpr int kCantResolve = 500;
constexpr int kInvalidArgument = 505;

constexpr std::size_t kMaxOutputBytes = 4 * 1024 * 1024;
constexpr std::size_t kReadChunk = 256 * 1024;
constexpr int kNoCallback = -1;

SdkTuning g_tuning;

// Rounded up: the last fraction of a millisecond would otherwise be spent polling with a zero wait, spinning.
milliseconds Until(Clock::time_point t) {
    const auto left = std::chrono::ceil<milliseconds>(t - Clock::now());
    return left.count() > 0 ? left : milliseconds(0);
}

// Every login carries the machine's computer id, when it has one, for the worlds' computer-id ejections, and the
// time of the last attach when a window asks a headless bot for its backlog.
void WriteComputerId(FrameWriter &w) {
    if (const std::uint32_t id = g_tuning.computerId ? g_tuning.computerId : ComputerId())
        w.Int(kFieldComputerId, static_cast<std::int32_t>(id));
    if (g_tuning.backlogSince != 0)
        w.Int(kFieldSince, g_tuning.backlogSince);
}

// ---- Attribute store ---------------------------------------------------------------------------------------------

struct Slot {
    AttributeKind kind = AttributeKind::None;
    std::int32_t number = 0; // Int and Bool
    std::string text;
};

// A queued delivery is a small tag followed by the frame as it arrived (or as the SDK made it, for its own events).
enum class Delivery : std::uint8_t { Event, Callback, Relay };
constexpr std::size_t kTagSize = 8; // kind, unused, u16 event or callback number, u32 frame size

enum class Link { Connected, Lost, Connecting, Handshaking, LoggingIn, Entering, Dead };

struct Pending {
    int callback = 0;
    MessageType type = MessageType::Ping;
    bool relay = false; // SdkRelayRequest: the answer goes to its handler, untouched
};

struct State;

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

struct State {
    std::array<Slot, kAttributeCount> attributes;
    std::array<std::unique_ptr<SdkEventHandler>, kEventCount> events;
    std::array<std::unique_ptr<SdkCallbackHandler>, kCallbackCount> callbacks;
    std::unique_ptr<Instance> instance;
    std::shared_ptr<SdkFrameHandler> eventTap;
    bool waiting = false; // SdkWait is on the stack

    // What a handler replaces or destroys stays alive until SdkWait returns, so that a handler may remove itself
    // or destroy the instance whose events it is handling.
    std::vector<std::unique_ptr<SdkEventHandler>> retiredEvents;
    std::vector<std::unique_ptr<SdkCallbackHandler>> retiredCallbacks;
    std::vector<std::unique_ptr<Instance>> retiredInstances;

    State() {
        for (int i = 0; i < kAttributeCount; ++i)
            attributes[static_cast<std::size_t>(i)].kind = KindOfAttribute(i);
    }

    // Writes a frame's attributes into the store. Values of the wrong kind (a confused or hostile server) are
    // ignored; fields above the attribute numbers are the protocol's own.
    void Apply(const FrameReader &reader) {
        FrameReader r = reader;
        WireAttribute a;
        while (r.Next(a)) {
            if (a.number >= kAttributeCount)
                continue;
            Slot &slot = attributes[a.number];
            if (slot.kind == AttributeKind::String) {
                if (a.tag == AttributeTag::String) {
                    // Callers may rely on the attribute's limit whoever filled it, so a longer text from the server
                    // is cut, at a character boundary (the frame has been checked to be UTF-8).
                    std::size_t n = std::min(a.text.size(), AttributeMaxLength(a.number));
                    while (n > 0 && n < a.text.size() && (static_cast<unsigned char>(a.text[n]) & 0xc0) == 0x80)
                        --n;
                    slot.text.assign(a.text.data(), n);
                }
            } else if ((slot.kind == AttributeKind::Int && a.tag == AttributeTag::Int) ||
                       (slot.kind == AttributeKind::Bool && a.tag == AttributeTag::Bool)) {
                slot.number = a.intValue;
            }
        }
    }

    void RetireInstance() {
        if (instance && waiting)
            retiredInstances.push_back(std::move(instance));
        instance.reset();
    }

    void WriteAttribute(FrameWriter &w, int n) const {
        const Slot &slot = attributes[static_cast<std::size_t>(n)];
        switch (slot.kind) {
        case AttributeKind::Int:
            w.Int(static_cast<std::uint16_t>(n), slot.number);
            break;
        case AttributeKind::Bool:
            w.Bool(static_cast<std::uint16_t>(n), slot.number != 0);
            break;
        case AttributeKind::String:
            w.String(static_cast<std::uint16_t>(n), slot.text);
            break;
        case AttributeKind::None:
            break;
        }
    }

    void WriteAttributes(FrameWriter &w, std::initializer_list<int> numbers) const {
        for (const int n : numbers)
            WriteAttribute(w, n);
    }

    bool HasCallback(int callback) const {
        return callback >= 0 && callback < kCallbackCount && callbacks[static_cast<std::size_t>(callback)] &&
               *callbacks[static_cast<std::size_t>(callback)];
    }
};

std::unique_ptr<State> g_state;
std::vector<std::unique_ptr<State>> g_retiredStates;

// ---- Instance: sending
// -----------------------------------------------------------------------------------------------

void Instance::Send(MessageType type, std::uint32_t id, std::int32_t code,
                    const std::function<void(FrameWriter &)> &fill) {
    FrameWriter w(out_, static_cast<std::uint16_t>(type), id, code);
    if (fill)
        fill(w);
    w.Finish();
    lastSent_ = Clock::now();
    Flush();
}

void Instance::Flush() {
    while (outSent_ < out_.size()) {
        const long n = socket_.Write(out_.data() + outSent_, out_.size() - outSent_);
        if (n < 0) {
            Lost();
            return;
        }
        if (n == 0)
            break;
        outSent_ += static_cast<std::size_t>(n);
    }
    if (outSent_ == out_.size()) {
        out_.clear();
        outSent_ = 0;
    } else if (outSent_ > 64 * 1024) {
        out_.erase(0, outSent_);
        outSent_ = 0;
    }
}

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

// ---- Instance: receiving
// ---------------------------------------------------------------------------------------------

bool Instance::ReadInput() {
    if (in_.empty())
        in_.resize(kMaxFrameSize + kReadChunk);
    std::size_t budget = 4 * kReadChunk; // per call, so one pump cannot be kept reading forever
    bool any = false;
    while (socket_.IsOpen() && budget > 0 && QueuedBytes() < g_tuning.maxQueuedBytes) {
        const long n = socket_.Read(reinterpret_cast<char *>(in_.data() + inUsed_), in_.size() - inUsed_);
        if (n < 0) {
            Lost();
            return true;
        }
        if (n == 0)
            return any;
        any = true;
        inUsed_ += static_cast<std::size_t>(n);
        budget -= std::min(budget, static_cast<std::size_t>(n));
        std::size_t offset = 0;
        for (;;) {
            std::size_t size = 0;
            const CutResult cut = CutFrame(in_.data() + offset, inUsed_ - offset, size);
            if (cut == CutResult::NeedMore)
                break;
            if (cut == CutResult::Broken) {
                Dead(kProtocolError);
                return true;
            }
            HandleFrame(in_.data() + offset, size);
            if (!socket_.IsOpen())
                return true;
            offset += size;
        }
        if (offset > 0) {
            std::memmove(in_.data(), in_.data() + offset, inUsed_ - offset);
            inUsed_ -= offset;
        }
    }
    return any;
}

void Instance::HandleFrame(const std::uint8_t *frame, std::size_t size) {
    const FrameReader r(frame, size);
    const FrameHeader &h = r.Header();
    // Whole frames only: a peer that trickles bytes without ever finishing one is as good as silent.
    lastHeard_ = Clock::now();
    switch (static_cast<MessageType>(h.type)) {
    case MessageType::Pong:
        return;
    case MessageType::Event:
        if (h.code < 0 || h.code >= kEventCount)
            return;
        if (h.code == kEventWorldDisconnect) {
            // The world let the bot go (ejected, for example): it is in no world now and must not go back there.
            inWorld_ = false;
            reenter_ = false;
        }
        Queue(Delivery::Event, h.code, frame, size);
        return;
    case MessageType::Reply:
        HandleReply(r, frame, size);
        return;
    case MessageType::HelloReply:
        if (link_ != Link::Handshaking || h.id != internalId_)
            return;
        internalId_ = 0;
        if (h.code != 0) {
            Dead(h.code == kVersionMismatch ? kVersionMismatch : kProtocolError);
            return;
        }
        {
            std::int32_t idle = 0, heartbeat = 0;
            r.FindInt(kFieldIdleTimeoutMs, idle);
            r.FindInt(kFieldHeartbeat, heartbeat);
            idleTimeout_ = milliseconds(std::max(0, idle));
            heartbeat_ = heartbeat == 1;
        }
        if (relogin_)
            StartLogin();
        else
            Up();
        return;
    case MessageType::Close:
        if (h.code == kProtocolError || h.code == kVersionMismatch)
            Dead(h.code);
        else
            Lost();
        return;
    default:
        Dead(kProtocolError);
        return;
    }
}

void Instance::Settle(MessageType type, const FrameReader &r) {
    const int code = r.Header().code;
    if (type == MessageType::Login && code == 0) {
        loggedIn_ = true;
        std::int32_t session = 0;
        r.FindInt(kFieldMySession, session);
        session_ = session;
    } else if (type == MessageType::Enter) {
        // A refused entry leaves the bot in no world, as the server has taken it out of the old one.
        inWorld_ = code == 0;
        std::string_view name;
        if (code == 0 && r.FindString(kAttrWorldName, name))
            world_ = name;
    }
}

void Instance::HandleReply(const FrameReader &r, const std::uint8_t *frame, std::size_t size) {
    const FrameHeader &h = r.Header();
    if (h.id == 0)
        return;
    if (h.id == waitingId_) {
        state_.Apply(r);
        Settle(waitingType_, r);
        waitingId_ = 0;
        waitingResult_ = h.code;
        waitingDone_ = true;
        return;
    }
    if (h.id == internalId_) {
        internalId_ = 0;
        if (link_ == Link::LoggingIn) {
            if (h.code != 0) {
                Dead(h.code);
                return;
            }
            state_.Apply(r);
            Settle(MessageType::Login, r);
            if (reenter_)
                StartEnter();
            else
                Up();
        } else if (link_ == Link::Entering) {
            Up();
            if (h.code != 0) {
                inWorld_ = false;
                reenter_ = false;
                QueueEvent(kEventWorldDisconnect, kAttrDisconnectReason, h.code);
                return;
            }
            state_.Apply(r);
            Settle(MessageType::Enter, r);
            // Back where it stood, so that the others see it arrive there.
            Send(MessageType::StateChange, nextId_++, 0, [this](FrameWriter &w) {
                state_.WriteAttributes(w, {kAttrMyX, kAttrMyY, kAttrMyZ, kAttrMyYaw, kAttrMyType});
            });
        }
        return;
    }
    const auto it = pending_.find(h.id);
    if (it == pending_.end())
        return; // answer to a request that timed out
    const Pending p = it->second;
    pending_.erase(it);
    if (p.relay) {
        Queue(Delivery::Relay, 0, frame, size);
        return;
    }
    Settle(p.type, r);
    Queue(Delivery::Callback, p.callback, frame, size);
}

void Instance::Queue(Delivery kind, int number, const std::uint8_t *frame, std::size_t size) {
    if (queueHead_ == queue_.size()) {
        queue_.clear();
        queueHead_ = 0;
    } else if (queueHead_ > (1u << 20) && queueHead_ > queue_.size() / 2) {
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_));
        queueHead_ = 0;
    }
    const std::size_t at = queue_.size();
    queue_.resize(at + kTagSize + size);
    std::uint8_t *p = queue_.data() + at;
    p[0] = static_cast<std::uint8_t>(kind);
    p[1] = 0;
    p[2] = static_cast<std::uint8_t>(number & 0xff);
    p[3] = static_cast<std::uint8_t>((number >> 8) & 0xff);
    const auto s = static_cast<std::uint32_t>(size);
    std::memcpy(p + 4, &s, 4);
    std::memcpy(p + kTagSize, frame, size);
}

void Instance::QueueEvent(int event, int attribute, std::int32_t value) {
    std::string frame;
    FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Event), 0, event)
        .Int(static_cast<std::uint16_t>(attribute), value)
        .Finish();
    Queue(Delivery::Event, event, reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
}

void Instance::QueueCallback(int callback, int code) {
    std::string frame;
    FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Reply), 0, code).Finish();
    Queue(Delivery::Callback, callback, reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
}

bool Instance::TakeDelivery(Delivery &kind, int &number, int &code, std::string *frame) {
    if (queueHead_ >= queue_.size())
        return false;
    const std::uint8_t *p = queue_.data() + queueHead_;
    kind = static_cast<Delivery>(p[0]);
    number = p[2] | (p[3] << 8);
    std::uint32_t size = 0;
    std::memcpy(&size, p + 4, 4);
    const FrameReader r(p + kTagSize, size);
    if (kind != Delivery::Relay)
        state_.Apply(r);
    if (frame)
        frame->assign(reinterpret_cast<const char *>(p + kTagSize), size);
    code = r.Header().code;
    queueHead_ += kTagSize + size;
    return true;
}

// ---- Instance: connection life
// ---------------------------------------------------------------------------------------

void Instance::FailRequests() {
    if (waitingId_) {
        waitingId_ = 0;
        waitingResult_ = kConnectionLost;
        waitingDone_ = true;
    }
    // Callbacks still owed are answered, so that nobody waits for them forever.
    for (const auto &[id, p] : pending_) {
        if (p.relay) {
            std::string frame;
            FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Reply), id, kConnectionLost).Finish();
            Queue(Delivery::Relay, 0, reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
        } else {
            QueueCallback(p.callback, kConnectionLost);
        }
    }
    pending_.clear();
    internalId_ = 0;
    socket_.Close();
    inUsed_ = 0;
    out_.clear();
    outSent_ = 0;
}

void Instance::Lost() {
    const bool wasConnected = link_ == Link::Connected;
    FailRequests();
    if (link_ == Link::Dead)
        return;
    if (wasConnected) {
        relogin_ = loggedIn_;
        reenter_ = inWorld_;
        if (loggedIn_)
            QueueEvent(kEventWorldDisconnect, kAttrDisconnectReason, kConnectionLost);
        // Only a connection that held for a while starts the back-off afresh; a server that lets the bot in and
        // drops it at once keeps being tried less and less often.
        if (Clock::now() - connectedSince_ >= g_tuning.reconnectMaxDelay)
            backoff_ = milliseconds(0);
    }
    loggedIn_ = false;
    inWorld_ = false;
    session_ = 0;
    link_ = Link::Lost;
    ScheduleAttempt();
}

void Instance::Up() {
    link_ = Link::Connected;
    connectedSince_ = lastHeard_ = lastPing_ = Clock::now();
}

void Instance::ScheduleAttempt() {
    const milliseconds first = std::max(g_tuning.reconnectFirstDelay, milliseconds(1));
    const milliseconds cap = std::max(g_tuning.reconnectMaxDelay, first);
    backoff_ = backoff_.count() == 0 ? first : std::min(backoff_ * 2, cap);
    // Somewhere in the upper half of the delay: never sooner than half of it, never later than the cap.
    const auto half = backoff_.count() / 2;
    const auto jitter = std::uniform_int_distribution<long long>(0, backoff_.count() - half)(random_);
    nextAttempt_ = Clock::now() + milliseconds(half + jitter);
}

void Instance::Heartbeat() {
    const Clock::time_point now = Clock::now();
    // While the queue is full the SDK itself stops reading, so the silence is ours, not the server's.
    if (QueuedBytes() >= g_tuning.maxQueuedBytes)
        lastHeard_ = now;
    const milliseconds timeout = g_tuning.heartbeatTimeout;
    if (heartbeat_ && timeout.count() > 0) {
        if (now - lastHeard_ > timeout) {
            Lost();
            return;
        }
        // A third of the time-out without a frame: ask for one, and ask again a third later.
        if (now - lastHeard_ > timeout / 3 && now - lastPing_ > timeout / 3) {
            lastPing_ = now;
            Send(MessageType::Ping, nextId_++, 0, nullptr);
            return;
        }
    }
    if (idleTimeout_.count() > 0 && now - lastSent_ > idleTimeout_ / 3)
        Send(MessageType::Ping, 0, 0, nullptr);
}

void Instance::Dead(int reason) {
    const bool tell = loggedIn_ || relogin_;
    FailRequests();
    if (tell)
        QueueEvent(kEventWorldDisconnect, kAttrDisconnectReason, reason);
    loggedIn_ = false;
    inWorld_ = false;
    relogin_ = false;
    reenter_ = false;
    session_ = 0;
    link_ = Link::Dead;
    deadReason_ = reason;
}

void Instance::Reconnect() {
    if (!SdkSocket::Resolve(host_, port_, addresses_)) {
        ScheduleAttempt();
        return;
    }
    addressIndex_ = 0;
    link_ = Link::Connecting;
    stepDeadline_ = Clock::now() + g_tuning.connectTimeout;
    if (!socket_.BeginConnect(addresses_[0]))
        NextAddress();
}

void Instance::NextAddress() {
    socket_.Close();
    while (++addressIndex_ < addresses_.size()) {
        stepDeadline_ = Clock::now() + g_tuning.connectTimeout;
        if (socket_.BeginConnect(addresses_[addressIndex_]))
            return;
    }
    // Nobody answered: try again later.
    link_ = Link::Lost;
    ScheduleAttempt();
}

void Instance::StartHello() {
    link_ = Link::Handshaking;
    internalId_ = nextId_++;
    stepDeadline_ = Clock::now() + g_tuning.requestTimeout;
    heartbeat_ = false;
    Send(MessageType::Hello, internalId_, kProtocolVersion,
         [](FrameWriter &w) { w.Int(kFieldNumber, kSdkBuild).Int(kFieldHeartbeat, 1); });
}

void Instance::StartLogin() {
    link_ = Link::LoggingIn;
    internalId_ = nextId_++;
    stepDeadline_ = Clock::now() + g_tuning.requestTimeout;
    Send(MessageType::Login, internalId_, 0, [this](FrameWriter &w) {
        w.String(kAttrLoginName, loginName_).Int(kAttrLoginCitizen, loginCitizen_);
        w.String(kAttrLoginPassword, loginPassword_).String(kAttrApplication, loginApplication_);
        WriteComputerId(w);
    });
}

void Instance::StartEnter() {
    link_ = Link::Entering;
    internalId_ = nextId_++;
    stepDeadline_ = Clock::now() + g_tuning.requestTimeout;
    Send(MessageType::Enter, internalId_, 0, [this](FrameWriter &w) {
        w.String(kFieldWorld, world_);
        state_.WriteAttribute(w, kAttrEnterGlobal);
    });
}

void Instance::Service(milliseconds wait, bool delivering) {
    const Clock::time_point until = Clock::now() + wait;
    switch (link_) {
    case Link::Dead:
        if (wait.count() > 0)
            std::this_thread::sleep_for(wait);
        return;
    case Link::Lost:
        if (Clock::now() < nextAttempt_) {
            std::this_thread::sleep_until(std::min(until, nextAttempt_));
            if (Clock::now() < nextAttempt_)
                return;
        }
        Reconnect();
        if (link_ != Link::Connecting)
            return;
        [[fallthrough]];
    case Link::Connecting: {
        const int r = socket_.FinishConnect(Until(std::min(until, stepDeadline_)));
        if (r == 1)
            StartHello();
        else if (r < 0 || Clock::now() >= stepDeadline_)
            NextAddress();
        return;
    }
    default:
        break;
    }

    if (link_ != Link::Connected && Clock::now() >= stepDeadline_) {
        // A reconnection step that got no answer starts over.
        Lost();
        return;
    }
    if (link_ == Link::Connected) {
        Heartbeat();
        if (link_ != Link::Connected)
            return;
    }
    if (!out_.empty())
        Flush();
    // Anything that arrived may be what the caller waits for; let it look before waiting again.
    if (ReadInput() || !socket_.IsOpen() || wait.count() <= 0 || (delivering && HasDeliveries()) || waitingDone_)
        return;
    const bool canRead = QueuedBytes() < g_tuning.maxQueuedBytes;
    const bool mustWrite = !out_.empty();
    if (!canRead && !mustWrite) {
        std::this_thread::sleep_for(wait);
        return;
    }
    // A long wait is cut into slices so that the heartbeat is looked at in time.
    Clock::time_point wake = until;
    if (heartbeat_ && g_tuning.heartbeatTimeout.count() > 0)
        wake = std::min(wake, Clock::now() + std::max(g_tuning.heartbeatTimeout / 6, milliseconds(1)));
    if (socket_.Wait(canRead, mustWrite, Until(wake))) {
        if (mustWrite)
            Flush();
        ReadInput();
    }
}

int Instance::Create(const std::string &host, int port) {
    host_ = host;
    port_ = port;
    if (g_tuning.tlsCheck) {
        std::string error;
        std::shared_ptr<asio::ssl::context> context = MakeTlsClientContext(g_tuning.tlsCheck, error);
        if (!context)
            return kUnableToConnect;
        socket_.UseTls(std::move(context));
    }
    if (!SdkSocket::Resolve(host, port, addresses_))
        return kCantResolve;
    bool connected = false;
    for (const SdkAddress &address : addresses_) {
        const Clock::time_point deadline = Clock::now() + g_tuning.connectTimeout;
        if (!socket_.BeginConnect(address))
            continue;
        int r = 0;
        while ((r = socket_.FinishConnect(Until(deadline))) == 0 && Clock::now() < deadline) {
        }
        if (r == 1) {
            connected = true;
            break;
        }
        socket_.Close();
    }
    if (!connected)
        return kUnableToConnect;
    StartHello();
    while (link_ == Link::Handshaking && Clock::now() < stepDeadline_)
        Service(Until(stepDeadline_), false);
    if (link_ == Link::Connected)
        return 0;
    const int result = link_ == Link::Dead ? deadReason_ : link_ == Link::Handshaking ? kTimeout : kUnableToConnect;
    socket_.Close();
    link_ = Link::Dead;
    return result;
}

int Instance::Relay(const std::uint8_t *frame, std::size_t size, SdkFrameHandler done) {
    if (!frame || !IsValidFrame(frame, size))
        return kInvalidArgument;
    const FrameReader r(frame, size);
    const std::uint16_t type = r.Header().type;
    if (!IsRequestType(type) || type == static_cast<std::uint16_t>(MessageType::Login))
        return kInvalidArgument;
    if (link_ != Link::Connected)
        return kNoConnection;
    if (out_.size() - outSent_ > kMaxOutputBytes)
        return kOutBufferFull;
    const std::uint32_t id = nextId_++;
    // The id sits after the length and the type (see protocol/Frame.h), little-endian.
    const std::size_t at = out_.size();
    out_.append(reinterpret_cast<const char *>(frame), size);
    for (int i = 0; i < 4; ++i)
        out_[at + 6 + static_cast<std::size_t>(i)] = static_cast<char>((id >> (8 * i)) & 0xff);
    lastSent_ = Clock::now();
    pending_[id] = Pending{kNoCallback, static_cast<MessageType>(type), true};
    relayHandlers_[id] = std::move(done);
    Flush();
    return 0;
}

SdkFrameHandler Instance::TakeRelayHandler(std::uint32_t id) {
    const auto it = relayHandlers_.find(id);
    if (it == relayHandlers_.end())
        return {};
    SdkFrameHandler handler = std::move(it->second);
    relayHandlers_.erase(it);
    return handler;
}

void Instance::Exit() {
    inWorld_ = false;
    reenter_ = false;
}

// ---- Helpers for the free functions
// ----------------------------------------------------------------------------------

Instance *TheInstance(int &error) {
    if (!g_state) {
        error = kNotInitialized;
        return nullptr;
    }
    if (!g_state->instance) {
        error = kNoInstance;
        return nullptr;
    }
    return g_state->instance.get();
}

template <class Fill> int Call(MessageType type, int callback, Fill fill) {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    return instance->Request(type, callback, fill);
}

int Call(MessageType type, int callback, std::initializer_list<int> attributes) {
    return Call(type, callback, [attributes](FrameWriter &w) { g_state->WriteAttributes(w, attributes); });
}

bool FitsText(std::string_view text) { return text.size() <= kMaxStringLength; }

std::string Repaired(std::string_view text) { return IsValidUtf8(text) ? std::string(text) : RepairUtf8(text); }

Slot *SlotOf(int attribute, int &error) {
    if (!g_state) {
        error = kNotInitialized;
        return nullptr;
    }
    if (attribute < 0 || attribute >= kAttributeCount ||
        g_state->attributes[static_cast<std::size_t>(attribute)].kind == AttributeKind::None) {
        error = kInvalidAttribute;
        return nullptr;
    }
    return &g_state->attributes[static_cast<std::size_t>(attribute)];
}

const Slot *ReadSlot(int attribute, AttributeKind kind) {
    int error = 0;
    const Slot *slot = SlotOf(attribute, error);
    return slot && slot->kind == kind ? slot : nullptr;
}

// World attributes that SdkWorldAttributesChange sends; the server keeps the ones a caretaker may not change.
constexpr int kFirstWorldAttribute = kAttrWorldTitle;
constexpr int kLastWorldAttribute = kAttrWorldEntryPoint;

} // namespace

// ---- Instance and session ----------------------------------------------------------------------------------------

int SdkInit(int build) {
    if (build != kSdkBuild)
        return kVersionMismatch;
    if (!g_state)
        g_state = std::make_unique<State>();
    return 0;
}

void SdkTerm() {
    if (!g_state)
        return;
    if (g_state->waiting)
        g_retiredStates.push_back(std::move(g_state));
    g_state.reset();
}

int SdkCreate(std::string_view host, int port, int /*reserved*/) {
    if (!g_state)
        return kNotInitialized;
    if (port == 0)
        port = kSdkDefaultPort;
    if (port < 0 || port > 65535)
        return kInvalidPort;
    g_state->RetireInstance();
    auto instance = std::make_unique<Instance>(*g_state);
    const int result = instance->Create(std::string(host), port);
    if (result != 0)
        return result;
    g_state->instance = std::move(instance);
    return 0;
}

int SdkDestroy() {
    if (!g_state)
        return kNotInitialized;
    if (!g_state->instance)
        return kNoInstance;
    g_state->RetireInstance();
    return 0;
}

int SdkLogin() {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    const State &s = *g_state;
    instance->candidateName_ = s.attributes[kAttrLoginName].text;
    instance->candidatePassword_ = s.attributes[kAttrLoginPassword].text;
    instance->candidateApplication_ = s.attributes[kAttrApplication].text;
    instance->candidateCitizen_ = s.attributes[kAttrLoginCitizen].number;
    const int result = instance->Request(MessageType::Login, kNoCallback, [](FrameWriter &w) {
        g_state->WriteAttributes(w, {kAttrLoginName, kAttrLoginCitizen, kAttrLoginPassword, kAttrApplication});
        WriteComputerId(w);
    });
    if (result == 0 && g_state && g_state->instance.get() == instance) {
        instance->loginName_ = instance->candidateName_;
        instance->loginPassword_ = instance->candidatePassword_;
        instance->loginApplication_ = instance->candidateApplication_;
        instance->loginCitizen_ = instance->candidateCitizen_;
    }
    return result;
}

int SdkEnter(std::string_view world) {
    if (!FitsText(world))
        return kStringTooLong;
    const std::string name = Repaired(world);
    return Call(MessageType::Enter, kCallbackEnterResult, [&name](FrameWriter &w) {
        w.String(kFieldWorld, name);
        g_state->WriteAttribute(w, kAttrEnterGlobal);
    });
}

int SdkExit() {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    instance->Exit();
    // While the connection is being restored there is no world to leave; not going back is all it takes.
    if (instance->LinkState() != Link::Connected)
        return 0;
    return instance->Request(MessageType::Exit, kNoCallback, [](FrameWriter &) {});
}

int SdkStateChange() {
    return Call(MessageType::StateChange, kNoCallback, {kAttrMyX, kAttrMyY, kAttrMyZ, kAttrMyYaw, kAttrMyType});
}

int SdkWait(int milliseconds) {
    if (!g_state)
        return kNotInitialized;
    State *state = g_state.get();
    if (state->waiting)
        return kWaitInProgress;
    Instance *instance = state->instance.get();
    if (!instance)
        return kNoInstance;
    state->waiting = true;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds));
    const std::size_t limit = std::max<std::size_t>(1, g_tuning.maxDeliveriesPerWait);
    std::size_t delivered = 0;
    bool alive = true;
    std::string frame;
    instance->Service(std::chrono::milliseconds(0));
    while (alive) {
        Delivery kind = Delivery::Event;
        int number = 0, code = 0;
        const std::shared_ptr<SdkFrameHandler> tap = state->eventTap;
        while (delivered < limit && instance->TakeDelivery(kind, number, code, &frame)) {
            ++delivered;
            if (kind == Delivery::Relay) {
                const FrameReader r(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
                if (SdkFrameHandler h = instance->TakeRelayHandler(r.Header().id))
                    h(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
            } else if (kind == Delivery::Event) {
                if (tap && *tap)
                    (*tap)(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
                if (g_state.get() != state || state->instance.get() != instance) {
                    alive = false;
                    break;
                }
                if (SdkEventHandler *h = state->events[static_cast<std::size_t>(number)].get(); h && *h)
                    (*h)();
            } else if (number >= 0 && number < kCallbackCount) {
                if (SdkCallbackHandler *h = state->callbacks[static_cast<std::size_t>(number)].get(); h && *h)
                    (*h)(code);
            }
            if (g_state.get() != state || state->instance.get() != instance) {
                alive = false;
                break;
            }
        }
        if (!alive || delivered >= limit || Clock::now() >= deadline)
            break;
        instance->Service(Until(deadline));
        if (!instance->HasDeliveries() && Clock::now() >= deadline)
            break;
    }
    if (g_state.get() == state) {
        state->waiting = false;
        state->retiredEvents.clear();
        state->retiredCallbacks.clear();
        state->retiredInstances.clear();
    } else {
        g_retiredStates.clear();
    }
    return 0;
}

int SdkSession() {
    int error = 0;
    const Instance *instance = TheInstance(error);
    return instance ? instance->Session() : 0;
}

// ---- Attributes
// --------------------------------------------------------------------------------------------------------

int SdkGetInt(int attribute) {
    const Slot *slot = ReadSlot(attribute, AttributeKind::Int);
    return slot ? slot->number : 0;
}

bool SdkGetBool(int attribute) {
    const Slot *slot = ReadSlot(attribute, AttributeKind::Bool);
    return slot && slot->number != 0;
}

std::string SdkGetString(int attribute) {
    const Slot *slot = ReadSlot(attribute, AttributeKind::String);
    return slot ? slot->text : std::string();
}

int SdkSetInt(int attribute, int value) {
    int error = 0;
    Slot *slot = SlotOf(attribute, error);
    if (!slot)
        return error;
    if (slot->kind != AttributeKind::Int)
        return kTypeMismatch;
    slot->number = value;
    return 0;
}

int SdkSetBool(int attribute, bool value) {
    int error = 0;
    Slot *slot = SlotOf(attribute, error);
    if (!slot)
        return error;
    if (slot->kind != AttributeKind::Bool)
        return kTypeMismatch;
    slot->number = value ? 1 : 0;
    return 0;
}

int SdkSetString(int attribute, std::string_view value) {
    int error = 0;
    Slot *slot = SlotOf(attribute, error);
    if (!slot)
        return error;
    if (slot->kind != AttributeKind::String)
        return kTypeMismatch;
    if (value.size() > AttributeMaxLength(attribute))
        return kStringTooLong;
    std::string text = Repaired(value);
    if (text.size() > AttributeMaxLength(attribute))
        return kStringTooLong;
    slot->text = std::move(text);
    return 0;
}

// ---- Handlers
// ----------------------------------------------------------------------------------------------------------

int SdkSetEventHandler(int event, SdkEventHandler handler) {
    if (!g_state)
        return kNotInitialized;
    if (event < 0 || event >= kEventCount)
        return kInvalidArgument;
    auto &slot = g_state->events[static_cast<std::size_t>(event)];
    if (slot && g_state->waiting)
        g_state->retiredEvents.push_back(std::move(slot));
    slot = handler ? std::make_unique<SdkEventHandler>(std::move(handler)) : nullptr;
    return 0;
}

int SdkSetCallbackHandler(int callback, SdkCallbackHandler handler) {
    if (!g_state)
        return kNotInitialized;
    if (callback < 0 || callback >= kCallbackCount)
        return kInvalidCallback;
    auto &slot = g_state->callbacks[static_cast<std::size_t>(callback)];
    if (slot && g_state->waiting)
        g_state->retiredCallbacks.push_back(std::move(slot));
    slot = handler ? std::make_unique<SdkCallbackHandler>(std::move(handler)) : nullptr;
    return 0;
}

// ---- Chat and people
// ---------------------------------------------------------------------------------------------------

int SdkSay(std::string_view text) {
    if (!FitsText(text))
        return kStringTooLong;
    const std::string t = Repaired(text);
    return Call(MessageType::Say, kNoCallback, [&t](FrameWriter &w) { w.String(kFieldText, t); });
}

int SdkWhisper(int session, std::string_view text) {
    if (!FitsText(text))
        return kStringTooLong;
    const std::string t = Repaired(text);
    return Call(MessageType::Whisper, kNoCallback,
                [&t, session](FrameWriter &w) { w.Int(kFieldSession, session).String(kFieldText, t); });
}

int SdkConsoleMessage(int session) {
    return Call(MessageType::ConsoleMessage, kNoCallback, [session](FrameWriter &w) {
        w.Int(kFieldSession, session);
        g_state->WriteAttributes(w, {kAttrConsoleRed, kAttrConsoleGreen, kAttrConsoleBlue, kAttrConsoleBold,
                                     kAttrConsoleItalics, kAttrConsoleMessage});
    });
}

int SdkWorldList() { return Call(MessageType::WorldList, kCallbackWorldListResult, {}); }

int SdkCitizenByNumber(int number) {
    return Call(MessageType::CitizenByNumber, kCallbackCitizenResult,
                [number](FrameWriter &w) { w.Int(kFieldNumber, number); });
}

int SdkCitizenByName(std::string_view name) {
    if (!FitsText(name))
        return kStringTooLong;
    const std::string n = Repaired(name);
    return Call(MessageType::CitizenByName, kCallbackCitizenResult, [&n](FrameWriter &w) { w.String(kFieldName, n); });
}

int SdkAvatarClick(int session) {
    return Call(MessageType::AvatarClick, kNoCallback, [session](FrameWriter &w) { w.Int(kFieldSession, session); });
}

int SdkUrlSend(int session, std::string_view url, std::string_view target) {
    if (!FitsText(url) || !FitsText(target))
        return kStringTooLong;
    const std::string u = Repaired(url), t = Repaired(target);
    return Call(MessageType::UrlSend, kNoCallback, [&, session](FrameWriter &w) {
        w.Int(kFieldSession, session).String(kFieldUrl, u).String(kFieldTarget, t);
    });
}

int SdkAddressRequest(int session) {
    return Call(MessageType::AddressRequest, kCallbackAddressResult,
                [session](FrameWriter &w) { w.Int(kFieldSession, session); });
}

// ---- Administration
// ------------------------------------------------------------------------------------------------------

int SdkTeleport(int session) {
    return Call(MessageType::Teleport, kNoCallback, [session](FrameWriter &w) {
        w.Int(kFieldSession, session);
        g_state->WriteAttributes(w, {kAttrTeleportWorld, kAttrTeleportX, kAttrTeleportY, kAttrTeleportZ,
                                     kAttrTeleportYaw, kAttrTeleportWarp});
    });
}

int SdkWorldEject() { return Call(MessageType::WorldEject, kNoCallback, {kAttrEjectSession, kAttrEjectDuration}); }

int SdkWorldAttributesChange() {
    return Call(MessageType::WorldAttributesChange, kNoCallback, [](FrameWriter &w) {
        for (int n = kFirstWorldAttribute; n <= kLastWorldAttribute; ++n)
            g_state->WriteAttribute(w, n);
    });
}

int SdkUniverseAttributesChange() {
    return Call(MessageType::UniverseAttributesChange, kNoCallback,
                {kAttrUniverseBrowserMinimum, kAttrUniverseBrowserRelease, kAttrUniverseBrowserBeta,
                 kAttrUniverseWorldMinimum, kAttrUniverseWorldStart, kAttrUniverseWelcomeMessage,
                 kAttrUniverseWorldRelease, kAttrUniverseWorldBeta, kAttrUniverseAllowTourists,
                 kAttrUniverseSearchUrl});
}

namespace {
constexpr std::initializer_list<int> kWorldEjection = {kAttrEjectionType, kAttrEjectionAddress, kAttrEjectionExpiration,
                                                       kAttrEjectionComment};
constexpr std::initializer_list<int> kUniverseEjection = {kAttrEjectionAddress, kAttrEjectionExpiration,
                                                          kAttrEjectionComment};
} // namespace

int SdkWorldEjectionAdd() { return Call(MessageType::WorldEjectionAdd, kCallbackWorldEjectionResult, kWorldEjection); }
int SdkWorldEjectionDelete() {
    return Call(MessageType::WorldEjectionDelete, kCallbackWorldEjectionResult, kWorldEjection);
}
int SdkWorldEjectionLookup() {
    return Call(MessageType::WorldEjectionLookup, kCallbackWorldEjectionLookup, kWorldEjection);
}
int SdkWorldEjectionNext() {
    return Call(MessageType::WorldEjectionNext, kCallbackWorldEjectionLookup, kWorldEjection);
}
int SdkWorldEjectionPrevious() {
    return Call(MessageType::WorldEjectionPrevious, kCallbackWorldEjectionLookup, kWorldEjection);
}

int SdkUniverseEjectionAdd() {
    return Call(MessageType::UniverseEjectionAdd, kCallbackUniverseEjectionResult, kUniverseEjection);
}
int SdkUniverseEjectionDelete(int address) {
    return Call(MessageType::UniverseEjectionDelete, kCallbackUniverseEjectionResult,
                [address](FrameWriter &w) { w.Int(kFieldNumber, address); });
}
int SdkUniverseEjectionLookup() {
    return Call(MessageType::UniverseEjectionLookup, kCallbackUniverseEjectionLookup, kUniverseEjection);
}
int SdkUniverseEjectionNext() {
    return Call(MessageType::UniverseEjectionNext, kCallbackUniverseEjectionLookup, kUniverseEjection);
}
int SdkUniverseEjectionPrevious() {
    return Call(MessageType::UniverseEjectionPrevious, kCallbackUniverseEjectionLookup, kUniverseEjection);
}

int SdkObjectAdd() {
    return Call(MessageType::ObjectAdd, kCallbackObjectResult,
                {kAttrObjectX, kAttrObjectY, kAttrObjectZ, kAttrObjectYaw, kAttrObjectModel, kAttrObjectDescription,
                 kAttrObjectAction, kAttrObjectNumber});
}

int SdkObjectLoad() {
    return Call(MessageType::ObjectLoad, kCallbackObjectResult,
                {kAttrObjectX, kAttrObjectY, kAttrObjectZ, kAttrObjectYaw, kAttrObjectModel, kAttrObjectDescription,
                 kAttrObjectAction, kAttrObjectOwner, kAttrObjectTimestamp, kAttrObjectNumber});
}

// ---- Relaying
// ----------------------------------------------------------------------------------------------------------

int SdkSetEventTap(SdkFrameHandler tap) {
    if (!g_state)
        return kNotInitialized;
    // Shared, so that a tap that replaces itself while it runs stays alive until it returns.
    g_state->eventTap = tap ? std::make_shared<SdkFrameHandler>(std::move(tap)) : nullptr;
    return 0;
}

int SdkRelayRequest(const std::uint8_t *frame, std::size_t size, SdkFrameHandler done) {
    int error = 0;
    Instance *instance = TheInstance(error);
    if (!instance)
        return error;
    return instance->Relay(frame, size, std::move(done));
}

// ---- Tuning
// ------------------------------------------------------------------------------------------------------------

void SdkSetTuning(const SdkTuning &tuning) { g_tuning = tuning; }
SdkTuning SdkGetTuning() { return g_tuning; }
