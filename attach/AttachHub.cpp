#include "attach/AttachHub.h"

#include "common/TextCase.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "sdk/SdkRelay.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kNoSuchWorld = 27;
constexpr int kNotLoggedIn = 31;
constexpr int kBadPassword = 43;
constexpr int kTimeout = 402;
constexpr int kOutBufferFull = 446;
constexpr int kNoConnection = 439;
constexpr std::uint32_t kOwnColour = 0x0000FF; // the pane's blue, as for the bot's own lines
constexpr int kOwnKind = 4;                    // the history's kind of what the bot said
constexpr std::uint8_t kWhisperFlag = 2;       // the pane's whisper filter
constexpr std::size_t kMaxDelayed = 64;

// The first and last numbers of the world's attributes, the bot's rights among them.
constexpr int kFirstWorldAttribute = kAttrWorldName;
constexpr int kLastWorldAttribute = kAttrWorldEntryPoint;

void WriteStored(FrameWriter &w, int n) {
    switch (KindOfAttribute(n)) {
    case AttributeKind::Int:
        w.Int(static_cast<std::uint16_t>(n), SdkGetInt(n));
        break;
    case AttributeKind::Bool:
        w.Bool(static_cast<std::uint16_t>(n), SdkGetBool(n));
        break;
    case AttributeKind::String:
        w.String(static_cast<std::uint16_t>(n), SdkGetString(n));
        break;
    case AttributeKind::None:
        break;
    }
}

void WriteWorld(FrameWriter &w) {
    for (int n = kFirstWorldAttribute; n <= kLastWorldAttribute; ++n)
        WriteStored(w, n);
}

const std::uint8_t *Bytes(const std::string &s) { return reinterpret_cast<const std::uint8_t *>(s.data()); }

std::string BotName() { return SdkGetString(kAttrLoginName); }

} // namespace

AttachHub::AttachHub(AttachWindows &windows, AttachHubOptions options)
    : listener_(windows), options_(std::move(options)),
      guard_(options_.password, options_.firstFailureDelay, options_.maxFailureDelay) {
    SdkSetEventTap([this](const std::uint8_t *frame, std::size_t size) { Hear(frame, size); });
}

AttachHub::~AttachHub() { SdkSetEventTap({}); }

void AttachHub::Log(const std::string &line) const {
    if (options_.log)
        options_.log(line);
}

std::size_t AttachHub::Attached() const {
    return static_cast<std::size_t>(
        std::count_if(windows_.begin(), windows_.end(), [](const auto &w) { return w.second.loggedIn; }));
}

std::int32_t AttachHub::UniverseTimeNow() const {
    const std::int64_t now = options_.universeTime ? options_.universeTime() : 0;
    return now > 0 && now <= INT32_MAX ? static_cast<std::int32_t>(now) : SdkGetInt(kAttrUniverseTime);
}

bool AttachHub::InWorld() const { return !disconnected_ && !SdkGetString(kAttrWorldName).empty(); }

void AttachHub::Reply(std::uint64_t window, std::uint32_t id, int code) {
    std::string frame;
    FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Reply), id, code).Finish();
    listener_.Send(window, std::move(frame));
}

// ---- What the bot hears ----------------------------------------------------------------------------------------

void AttachHub::Hear(const std::uint8_t *frame, std::size_t size) {
    const FrameReader r(frame, size);
    const int event = r.Header().code;
    // The people of a world the bot has left are not the ones it sees now.
    const std::string world = SdkGetString(kAttrWorldName);
    if (world != peopleWorld_) {
        // Windows still in the old world with the bot see its people go, as the bot's own lists were emptied.
        std::string gone;
        for (const auto &[session, p] : people_)
            FrameWriter(gone, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarDelete)
                .Int(kAttrAvatarSession, session)
                .String(kAttrAvatarName, p.name)
                .Bool(kAttrAvatarStillThere, true)
                .Finish();
        for (const auto &[id, w] : windows_)
            if (w.entered && !gone.empty())
                listener_.Send(id, gone);
        people_.clear();
        peopleWorld_ = world;
    }
    std::int32_t session = 0;
    r.FindInt(kAttrAvatarSession, session);
    switch (event) {
    case kEventAvatarAdd:
    case kEventAvatarChange: {
        Person &p = people_[session];
        std::string_view name;
        if (r.FindString(kAttrAvatarName, name))
            p.name = name;
        r.FindInt(kAttrAvatarX, p.x);
        r.FindInt(kAttrAvatarY, p.y);
        r.FindInt(kAttrAvatarZ, p.z);
        r.FindInt(kAttrAvatarYaw, p.yaw);
        r.FindInt(kAttrAvatarType, p.type);
        r.FindInt(kAttrAvatarBuild, p.build);
        r.FindInt(kAttrAvatarCitizen, p.citizen);
        r.FindInt(kAttrAvatarPrivilege, p.privilege);
        break;
    }
    case kEventAvatarDelete:
        people_.erase(session);
        break;
    case kEventWorldDisconnect:
        people_.clear();
        disconnected_ = true;
        break;
    case kEventWorldAttributes:
        disconnected_ = false;
        break;
    default:
        break;
    }
    const std::string copy(reinterpret_cast<const char *>(frame), size);
    for (const auto &[id, w] : windows_)
        if (w.entered)
            listener_.Send(id, copy);
}

// ---- What the windows ask --------------------------------------------------------------------------------------

void AttachHub::Pump() {
    for (AttachInput &in : listener_.Take()) {
        switch (in.kind) {
        case AttachInput::Kind::Opened:
            windows_[in.window].peer = in.peer;
            break;
        case AttachInput::Kind::Closed:
            if (const auto it = windows_.find(in.window); it != windows_.end()) {
                if (it->second.loggedIn)
                    Log("window " + it->second.peer + " detached");
                windows_.erase(it);
                std::erase_if(delayed_, [&](const Delayed &d) { return d.window == in.window; });
            }
            break;
        case AttachInput::Kind::Frame:
            Handle(in.window, in.frame);
            break;
        }
    }
    const auto now = Clock::now();
    for (auto it = delayed_.begin(); it != delayed_.end();) {
        if (it->due <= now) {
            listener_.Send(it->window, std::move(it->frames));
            it = delayed_.erase(it);
        } else {
            ++it;
        }
    }
    // An entry waits for the bot to be where the window asked.
    std::vector<PendingEnter> waiting;
    waiting.swap(enters_);
    for (PendingEnter &e : waiting) {
        if (!windows_.count(e.window))
            continue;
        if (InWorld() && EqualsNoCase(SdkGetString(kAttrWorldName), e.world))
            AnswerEnter(e.window, e.id);
        else if (e.due <= now)
            Reply(e.window, e.id, kTimeout);
        else
            enters_.push_back(std::move(e));
    }
}

void AttachHub::Handle(std::uint64_t window, const std::string &frame) {
    const auto it = windows_.find(window);
    if (it == windows_.end())
        return;
    Window &w = it->second;
    const FrameReader r(Bytes(frame), frame.size());
    const auto type = static_cast<MessageType>(r.Header().type);
    if (type == MessageType::Login) {
        Login(window, w, frame);
        return;
    }
    if (!w.loggedIn) {
        Reply(window, r.Header().id, kNotLoggedIn);
        return;
    }
    switch (type) {
    case MessageType::Enter: {
        std::string_view world;
        r.FindString(kFieldWorld, world);
        Enter(window, w, r.Header().id, std::string(world));
        return;
    }
    case MessageType::Exit:
        // The window leaves; the bot stays where it is.
        w.entered = false;
        Reply(window, r.Header().id, 0);
        return;
    default:
        Relay(window, w, frame);
        return;
    }
}

void AttachHub::Login(std::uint64_t window, Window &w, const std::string &frame) {
    const FrameReader r(Bytes(frame), frame.size());
    std::string_view password;
    r.FindString(kAttrLoginPassword, password);
    std::chrono::milliseconds delay{0};
    std::string reply;
    if (!guard_.Check(password, delay)) {
        w.loggedIn = false;
        w.entered = false;
        Log("window " + w.peer + " gave a wrong password (" + std::to_string(guard_.Failures()) +
            " failed in a row); answering in " + std::to_string(delay.count()) + " ms");
        if (delayed_.size() >= kMaxDelayed) {
            listener_.Close(window, kBadPassword);
            return;
        }
        FrameWriter(reply, static_cast<std::uint16_t>(MessageType::Reply), r.Header().id, kBadPassword).Finish();
        delayed_.push_back({Clock::now() + delay, window, std::move(reply)});
        return;
    }
    std::int32_t since = 0;
    r.FindInt(kFieldSince, since);
    w.since = since;
    w.loggedIn = true;
    w.entered = false;
    // The window becomes the bot: its session, its name and citizen, where it stands and what universe it is in.
    {
        FrameWriter out(reply, static_cast<std::uint16_t>(MessageType::Reply), r.Header().id, 0);
        out.Int(kFieldMySession, SdkSession());
        out.String(kAttrLoginName, BotName()).Int(kAttrLoginCitizen, SdkGetInt(kAttrLoginCitizen));
        for (int n = kAttrUniverseBrowserMinimum; n <= kAttrUniverseSearchUrl; ++n)
            if (n != kAttrUniverseTime)
                WriteStored(out, n);
        WriteStored(out, kAttrWorldName);
        for (const int n : {kAttrMyX, kAttrMyY, kAttrMyZ, kAttrMyYaw, kAttrMyType})
            WriteStored(out, n);
        out.Finish();
    }
    FrameWriter(reply, static_cast<std::uint16_t>(MessageType::Event), 0, kEventUniverseTime)
        .Int(kAttrUniverseTime, UniverseTimeNow())
        .Finish();
    listener_.Send(window, std::move(reply));
    Log("window " + w.peer + " attached");
}

void AttachHub::Enter(std::uint64_t window, Window &w, std::uint32_t id, const std::string &world) {
    w.entered = false;
    if (InWorld() && EqualsNoCase(SdkGetString(kAttrWorldName), world)) {
        AnswerEnter(window, id);
        return;
    }
    // Elsewhere: the bot itself goes, so that it and every window follow.
    if (!world.empty() && InWorld()) {
        const int refused = options_.enterWorld ? options_.enterWorld(world) : kNoSuchWorld;
        if (refused != 0) {
            Reply(window, id, refused);
            return;
        }
        Log("window " + w.peer + " takes the bot to " + world);
    }
    enters_.push_back({Clock::now() + options_.enterTimeout, window, id, world.empty() ? peopleWorld_ : world});
}

void AttachHub::AnswerEnter(std::uint64_t window, std::uint32_t id) {
    const auto it = windows_.find(window);
    if (it == windows_.end())
        return;
    std::string frames;
    {
        FrameWriter w(frames, static_cast<std::uint16_t>(MessageType::Reply), id, 0);
        WriteWorld(w);
        WriteStored(w, kAttrEnterGlobal);
        w.Finish();
    }
    // The people as the universe sends them on an entry, then the world's attributes.
    for (const auto &[session, p] : people_) {
        FrameWriter(frames, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarAdd)
            .Int(kAttrAvatarSession, session)
            .String(kAttrAvatarName, p.name)
            .Int(kAttrAvatarX, p.x)
            .Int(kAttrAvatarY, p.y)
            .Int(kAttrAvatarZ, p.z)
            .Int(kAttrAvatarYaw, p.yaw)
            .Int(kAttrAvatarType, p.type)
            .Int(kAttrAvatarBuild, p.build)
            .Int(kAttrAvatarCitizen, p.citizen)
            .Int(kAttrAvatarPrivilege, p.privilege)
            .Bool(kAttrAvatarAlreadyThere, true)
            .Finish();
    }
    {
        FrameWriter w(frames, static_cast<std::uint16_t>(MessageType::Event), 0, kEventWorldAttributes);
        WriteWorld(w);
        w.Finish();
    }
    // Then what it missed: the lines the bot showed since the window was last here.
    if (it->second.since > 0 && options_.backlog) {
        for (const PaneLine &line : options_.backlog(it->second.since))
            frames += PaneLineEvent(line);
        it->second.since = 0;
    }
    it->second.entered = true;
    listener_.Send(window, std::move(frames));
}

void AttachHub::Relay(std::uint64_t window, Window &w, const std::string &frame) {
    const FrameReader r(Bytes(frame), frame.size());
    const std::uint32_t id = r.Header().id;
    const auto type = static_cast<MessageType>(r.Header().type);
    if (w.relays >= options_.maxRelaysPerWindow) {
        Reply(window, id, kOutBufferFull);
        return;
    }
    // What the answer needs to know of the request, taken now: the frame is gone by then.
    PaneLine line;
    if (type == MessageType::Say || type == MessageType::Whisper) {
        std::string_view text;
        r.FindString(kFieldText, text);
        std::int32_t to = 0;
        r.FindInt(kFieldSession, to);
        const auto person = people_.find(to);
        const std::string name = BotName();
        line.text = type == MessageType::Say
                        ? "[" + name + "]: " + std::string(text)
                        : "[" + name + "] (to " + (person != people_.end() ? person->second.name : std::string()) +
                              "): " + std::string(text);
        line.colour = kOwnColour;
        line.bold = type == MessageType::Say && SdkGetBool(kAttrWorldPublicSpeaker);
        line.italic = type == MessageType::Whisper;
        line.kind = kOwnKind;
        line.speaker = name;
        line.flags = type == MessageType::Whisper ? kWhisperFlag : 0;
        line.timed = options_.timestampOwnLines;
        line.time = std::time(nullptr);
    }
    std::int32_t position[5] = {SdkGetInt(kAttrMyX), SdkGetInt(kAttrMyY), SdkGetInt(kAttrMyZ), SdkGetInt(kAttrMyYaw),
                                SdkGetInt(kAttrMyType)};
    if (type == MessageType::StateChange) {
        r.FindInt(kAttrMyX, position[0]);
        r.FindInt(kAttrMyY, position[1]);
        r.FindInt(kAttrMyZ, position[2]);
        r.FindInt(kAttrMyYaw, position[3]);
        r.FindInt(kAttrMyType, position[4]);
    }
    const int sent =
        SdkRelayRequest(Bytes(frame), frame.size(),
                        [this, alive = std::weak_ptr<int>(alive_), window, id, type, line,
                         position](const std::uint8_t *reply, std::size_t size) {
                            if (alive.expired())
                                return;
                            const auto it = windows_.find(window);
                            if (it != windows_.end() && it->second.relays > 0)
                                --it->second.relays;
                            const FrameReader answer(reply, size);
                            const int code = answer.Header().code;
                            if (code == 0 && type == MessageType::StateChange) {
                                // The window moved the bot: it stands there now.
                                const int numbers[5] = {kAttrMyX, kAttrMyY, kAttrMyZ, kAttrMyYaw, kAttrMyType};
                                for (int i = 0; i < 5; ++i)
                                    SdkSetInt(numbers[i], position[i]);
                            }
                            if (code == 0 && !line.text.empty())
                                Said(window, line);
                            if (it == windows_.end())
                                return;
                            std::string back(reinterpret_cast<const char *>(reply), size);
                            for (int i = 0; i < 4; ++i)
                                back[6 + static_cast<std::size_t>(i)] = static_cast<char>((id >> (8 * i)) & 0xff);
                            listener_.Send(window, std::move(back));
                        });
    if (sent != 0) {
        Reply(window, id, sent == kNoConnection ? kNoConnection : sent);
        return;
    }
    ++w.relays;
}

void AttachHub::Said(std::uint64_t window, const PaneLine &line) {
    if (options_.ownLine)
        options_.ownLine(line);
    // The window that said it shows its own line; the others are told.
    const std::string frame = PaneLineEvent(line);
    for (const auto &[id, w] : windows_)
        if (id != window && w.entered)
            listener_.Send(id, frame);
}
