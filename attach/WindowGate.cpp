#include "attach/WindowGate.h"

#include "protocol/Frame.h"
#include "protocol/MessageType.h"

#include <algorithm>
#include <climits>

namespace {
constexpr int kProtocolError = 463;
constexpr int kVersionMismatch = 454;
} // namespace

WindowGate::Verdict WindowGate::Handle(const std::uint8_t *frame, std::size_t size) {
    Verdict v;
    const FrameReader r(frame, size);
    const auto type = static_cast<MessageType>(r.Header().type);
    if (!hello_) {
        if (type != MessageType::Hello) {
            v.close = kProtocolError;
            return v;
        }
        if (r.Header().code != kProtocolVersion) {
            FrameWriter(v.reply, static_cast<std::uint16_t>(MessageType::HelloReply), r.Header().id, kVersionMismatch)
                .Finish();
            v.close = kVersionMismatch;
            return v;
        }
        std::int32_t heartbeat = 0;
        r.FindInt(kFieldHeartbeat, heartbeat);
        hello_ = true;
        heartbeat_ = heartbeat == 1;
        FrameWriter w(v.reply, static_cast<std::uint16_t>(MessageType::HelloReply), r.Header().id, 0);
        w.Int(kFieldIdleTimeoutMs, static_cast<std::int32_t>(std::min<long long>(idleTimeout_.count(), INT32_MAX)));
        w.String(kFieldServerName, "gabbler attach");
        if (heartbeat_)
            w.Int(kFieldHeartbeat, 1);
        w.Finish();
        v.opened = true;
        return v;
    }
    if (type == MessageType::Ping) {
        if (heartbeat_)
            FrameWriter(v.reply, static_cast<std::uint16_t>(MessageType::Pong), r.Header().id, 0).Finish();
        return v;
    }
    if (type == MessageType::Close) {
        v.close = 0;
        return v;
    }
    if (!IsRequestType(r.Header().type)) {
        v.close = kProtocolError;
        return v;
    }
    v.forward = true;
    return v;
}
