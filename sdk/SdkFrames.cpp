#include "sdk/ComputerId.h"
#include "sdk/SdkInstance.h"

#include <algorithm>
#include <cstring>

// The frames of the connection: writing requests, reading what arrives, and queueing it for SdkWait.

namespace sdk_internal {

void WriteComputerId(FrameWriter &w) {
    if (const std::uint32_t id = g_tuning.computerId ? g_tuning.computerId : ComputerId())
        w.Int(kFieldComputerId, static_cast<std::int32_t>(id));
    if (g_tuning.backlogSince != 0)
        w.Int(kFieldSince, g_tuning.backlogSince);
}

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

} // namespace sdk_internal
