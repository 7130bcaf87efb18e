#include "sdk/SdkRelay.h"

#include "sdk/SdkCall.h"

using namespace sdk_internal;

// A bot serving other clients on its connection: their requests sent as made, their answers handed back, and every
// event shown to them.

namespace sdk_internal {

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

} // namespace sdk_internal

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
