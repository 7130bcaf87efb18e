#include "crypto/TlsContext.h"
#include "sdk/SdkInstance.h"

#include <algorithm>
#include <thread>

// The life of the connection: connecting (with TLS when asked), the heartbeat, losing it and restoring it.

namespace sdk_internal {

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

void Instance::Exit() {
    inWorld_ = false;
    reenter_ = false;
}

} // namespace sdk_internal
