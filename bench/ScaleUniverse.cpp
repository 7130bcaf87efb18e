#include "bench/ScaleUniverse.h"

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"

namespace {
constexpr std::uint16_t Type(MessageType t) { return static_cast<std::uint16_t>(t); }
constexpr int kBuild = 63; // the SDK build the server expects a bot to announce
constexpr std::uint32_t kLoginId = 2, kEnterId = 3, kStandId = 4, kFirstSayId = 16;
} // namespace

UniverseFleet::UniverseFleet(asio::io_context &io, int count, asio::ip::tcp::endpoint server, UniverseLogin login,
                             Heard heard, Settled settled)
    : ScaleFleet(io, count, server, std::move(heard), std::move(settled)), login_(std::move(login)),
      awaiting_(static_cast<std::size_t>(count), 0) {}

void UniverseFleet::Opened(int i) {
    std::string out;
    FrameWriter(out, Type(MessageType::Hello), 1, kProtocolVersion).Int(kFieldNumber, kBuild).Finish();
    FrameWriter(out, Type(MessageType::Login), kLoginId, 0)
        .String(kAttrLoginName, "S" + std::to_string(i))
        .Int(kAttrLoginCitizen, login_.citizen)
        .String(kAttrLoginPassword, login_.password)
        .String(kAttrApplication, "bench_scale")
        .Finish();
    FrameWriter(out, Type(MessageType::Enter), kEnterId, 0)
        .String(kFieldWorld, login_.worlds[static_cast<std::size_t>(RoomOf(i))])
        .Finish();
    awaiting_[static_cast<std::size_t>(i)] = 3;
    if (login_.stand) {
        // A square grid `spread` metres across, centred on the world's middle, one spot per bot of the world.
        const int k = i / static_cast<int>(login_.worlds.size());
        int side = 1;
        while (side * side < login_.botsPerWorld)
            ++side;
        const double step = side > 1 ? login_.spread * 100 / (side - 1) : 0;
        const auto x = static_cast<std::int32_t>((k % side) * step - login_.spread * 50);
        const auto z = static_cast<std::int32_t>((k / side) * step - login_.spread * 50);
        FrameWriter(out, Type(MessageType::StateChange), kStandId, 0).Int(kAttrMyX, x).Int(kAttrMyZ, z).Finish();
        awaiting_[static_cast<std::size_t>(i)] = 4;
    }
    Send(i, out);
}

bool UniverseFleet::Say(int i, std::string_view text) {
    if (StatusOf(i) != Bot::Ready)
        return false;
    frame_.clear();
    FrameWriter(frame_, Type(MessageType::Say), kFirstSayId, 0).String(kFieldText, text).Finish();
    Send(i, frame_);
    return true;
}

std::size_t UniverseFleet::Consume(int i, const char *data, std::size_t size, long long nowNs) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data);
    std::size_t offset = 0;
    while (StatusOf(i) == Bot::Entering || StatusOf(i) == Bot::Ready) {
        std::size_t frame = 0;
        const CutResult cut = CutFrame(bytes + offset, size - offset, frame);
        if (cut == CutResult::NeedMore)
            break;
        if (cut == CutResult::Broken) {
            Failed(i, "the server sent a broken frame");
            break;
        }
        Frame(i, bytes + offset, frame, nowNs);
        offset += frame;
    }
    return offset;
}

void UniverseFleet::Frame(int i, const std::uint8_t *frame, std::size_t size, long long nowNs) {
    FrameReader r(frame, size);
    const FrameHeader &h = r.Header();
    switch (static_cast<MessageType>(h.type)) {
    case MessageType::Event:
        if (h.code == kEventChat) {
            std::string_view text;
            if (r.FindString(kAttrChatMessage, text))
                Hear(i, text, nowNs);
        } else if (h.code == kEventWorldDisconnect) {
            Failed(i, "put out of the world");
        }
        return;
    case MessageType::HelloReply:
    case MessageType::Reply:
        if (h.id >= kFirstSayId) {
            refused_ += h.code != 0;
            return;
        }
        if (h.code != 0) {
            const char *step = h.type == Type(MessageType::HelloReply) ? "hello"
                               : h.id == kLoginId                      ? "login"
                               : h.id == kEnterId                      ? "enter"
                                                                       : "stand";
            Failed(i, std::string(step) + " refused with " + std::to_string(h.code));
            return;
        }
        if (--awaiting_[static_cast<std::size_t>(i)] == 0)
            Ready(i);
        return;
    case MessageType::Close:
        Failed(i, "closed by the server with " + std::to_string(h.code));
        return;
    default:
        return;
    }
}
