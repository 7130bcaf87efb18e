// A hostile window against the bot's side of attaching: four windows' bytes go through the listener's rules for
// one frame (the handshake, pings, what may reach the bot) and on to the hub, which answers from the bot's state
// and relays the rest on the bot's connection (here there is none, so relaying is refused as without one). In
// between, the bot hears arbitrary events and moves between being in a world and not.
//
// What must hold: the hub and the gate send only whole, valid frames; nothing goes to a window after the hub
// learned it was gone; every reply carries the id of a request that window made; and no input crashes either.
//
// Input, repeated: a byte whose low two bits pick a window and whose next bit picks data or an action.
//   data:   a length byte, then that many bytes that arrive from the window
//   action: an action byte and its arguments (see Act)

#include "attach/AttachHub.h"
#include "attach/WindowGate.h"
#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kWindows = 4;

struct Window {
    WindowGate gate{std::chrono::milliseconds(1000)};
    std::string in;
    bool gone = false;     // the listener let it go (it drops what is sent to it meanwhile)
    bool hubKnows = false; // the hub has taken the news
    bool announced = false;
    std::set<std::uint32_t> asked; // request ids sent on to the hub
};

class FakeWindows : public AttachWindows {
public:
    std::vector<AttachInput> Take() override {
        std::vector<AttachInput> out;
        out.swap(inbox);
        for (const AttachInput &in : out)
            if (in.kind == AttachInput::Kind::Closed)
                taken.push_back(in.window);
        return out;
    }
    // After a Pump: the hub has handled the news it took.
    void Pumped() {
        for (const std::uint64_t id : taken)
            windows[id - 1].hubKnows = true;
        taken.clear();
    }
    void Send(std::uint64_t id, std::string frames) override {
        FUZZ_CHECK(id >= 1 && id <= kWindows, "frames go to a window that exists");
        Window &w = windows[id - 1];
        FUZZ_CHECK(!w.hubKnows, "nothing is sent to a window after the hub learned it was gone");
        std::size_t offset = 0;
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(frames.data());
        while (offset < frames.size()) {
            std::size_t size = 0;
            FUZZ_CHECK(CutFrame(bytes + offset, frames.size() - offset, size) == CutResult::Frame,
                       "only whole, valid frames are sent");
            const FrameReader r(bytes + offset, size);
            if (r.Header().type == static_cast<std::uint16_t>(MessageType::Reply))
                FUZZ_CHECK(w.asked.count(r.Header().id) == 1, "a reply answers a request of that window");
            offset += size;
        }
    }
    void Close(std::uint64_t id, int reason) override {
        FUZZ_CHECK(reason >= 0, "a close reason is a result code");
        Drop(static_cast<int>(id - 1));
    }

    void Drop(int i) {
        Window &w = windows[static_cast<std::size_t>(i)];
        if (w.gone)
            return;
        w.gone = true;
        if (w.announced)
            inbox.push_back({AttachInput::Kind::Closed, static_cast<std::uint64_t>(i + 1), {}, {}});
    }

    // The listener's part: whole frames through the gate, as AttachWindow does it.
    void Arrive(int i, std::string_view bytes) {
        Window &w = windows[static_cast<std::size_t>(i)];
        if (w.gone)
            return;
        w.in.append(bytes);
        std::size_t offset = 0;
        while (!w.gone) {
            std::size_t size = 0;
            const auto *data = reinterpret_cast<const std::uint8_t *>(w.in.data()) + offset;
            const CutResult cut = CutFrame(data, w.in.size() - offset, size);
            if (cut == CutResult::NeedMore)
                break;
            if (cut == CutResult::Broken) {
                Drop(i);
                break;
            }
            const WindowGate::Verdict v = w.gate.Handle(data, size);
            FUZZ_CHECK(v.reply.empty() ||
                           IsValidFrame(reinterpret_cast<const std::uint8_t *>(v.reply.data()), v.reply.size()),
                       "the gate answers with a valid frame");
            if (v.opened) {
                w.announced = true;
                inbox.push_back({AttachInput::Kind::Opened, static_cast<std::uint64_t>(i + 1), {}, "fuzz"});
            }
            if (v.forward) {
                w.asked.insert(FrameReader(data, size).Header().id);
                inbox.push_back({AttachInput::Kind::Frame,
                                 static_cast<std::uint64_t>(i + 1),
                                 std::string(reinterpret_cast<const char *>(data), size),
                                 {}});
            }
            if (v.close >= 0)
                Drop(i);
            offset += size;
        }
        w.in.erase(0, offset);
    }

    std::array<Window, kWindows> windows;
    std::vector<AttachInput> inbox;
    std::vector<std::uint64_t> taken; // windows whose end the hub took in the Pump running
};

std::string Frame(MessageType type, std::uint32_t id, std::int32_t code, FuzzBytes &in, bool password) {
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(type), id, code);
    if (password)
        w.String(kAttrLoginPassword, "secret").Int(kFieldSince, 1);
    const int count = in.Byte() % 6;
    for (int i = 0; i < count; ++i) {
        const std::uint16_t number = in.Word() % 1100;
        switch (in.Byte() % 3) {
        case 0:
            w.Int(number, static_cast<std::int32_t>(in.Int32()));
            break;
        case 1:
            w.Bool(number, in.Byte() & 1);
            break;
        default:
            w.String(number, in.Take(in.Byte()));
            break;
        }
    }
    w.Finish();
    return frame;
}

void Act(FakeWindows &windows, AttachHub &hub, int i, FuzzBytes &in) {
    const std::uint8_t action = in.Byte();
    switch (action % 6) {
    case 0: // a whole Hello, then a Login with the right password
        windows.Arrive(i, Frame(MessageType::Hello, 1, kProtocolVersion, in, false));
        windows.Arrive(i, Frame(MessageType::Login, 2, 0, in, true));
        break;
    case 1: { // a request of any type with arbitrary attributes
        const auto type = static_cast<MessageType>(kFirstRequestType + in.Byte() % 29);
        windows.Arrive(i, Frame(type, in.Int32(), 0, in, false));
        break;
    }
    case 2: { // the bot hears an event
        const std::string frame = Frame(MessageType::Event, 0, in.Byte() % kEventCount, in, false);
        hub.Hear(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
        break;
    }
    case 3: // the bot is in a world, or not
        SdkSetString(kAttrWorldName, (in.Byte() & 1) ? "Town" : "");
        break;
    case 4: // the window's connection drops
        windows.Drop(i);
        break;
    default:
        break;
    }
}

} // namespace

int FuzzAttachSession(const std::uint8_t *data, std::size_t size) {
    SdkInit(kSdkBuild);
    SdkSetString(kAttrLoginName, "Bot");
    SdkSetString(kAttrWorldName, "Town");
    SdkSetInt(kAttrWorldBuildNumber, 39);
    FakeWindows windows;
    AttachHubOptions options;
    options.password = "secret";
    options.firstFailureDelay = std::chrono::milliseconds(0);
    options.maxFailureDelay = std::chrono::milliseconds(0);
    options.enterTimeout = std::chrono::milliseconds(0);
    options.maxRelaysPerWindow = 4;
    options.enterWorld = [](const std::string &world) { return world.size() % 2 == 0 ? 0 : 27; };
    options.backlog = [](std::int64_t since) {
        PaneLine line;
        line.text = "heard at " + std::to_string(since);
        return std::vector<PaneLine>{line, line};
    };
    {
        AttachHub hub(windows, options);
        FuzzBytes in(data, size);
        while (!in.Empty()) {
            const std::uint8_t pick = in.Byte();
            const int i = pick & 3;
            if (pick & 4)
                Act(windows, hub, i, in);
            else
                windows.Arrive(i, in.Take(in.Byte()));
            hub.Pump();
            windows.Pumped();
        }
        hub.Pump();
    }
    SdkTerm();
    return 0;
}
