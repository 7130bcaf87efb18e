#include "server/Universe.h"

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/PasswordHash.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <random>

namespace {

constexpr std::size_t kInboxSize = 64;

// Features the world server offers from a given build on; below it the server answers 474 "not available",
// exactly where the client greys the matching command.
constexpr int kBuildWhisper = 17;
constexpr int kBuildSpeechRights = 17;
constexpr int kBuildClick = 21;
constexpr int kBuildObjectLoad = 21;
constexpr int kBuildTeleportUser = 23;
constexpr int kBuildEjectionDatabase = 23;
constexpr int kBuildGlobalMode = 39;

constexpr int kResultNoSuchCitizen = 3;
constexpr int kResultNoSuchWorld = 27;
constexpr int kResultNotLoggedIn = 31;
constexpr int kResultUnauthorized = 32;
constexpr int kResultBadPassword = 43;
constexpr int kResultUnableToAddEjection = 63;
constexpr int kResultNoSuchEjection = 66;
constexpr int kResultNoSuchSession = 67;
constexpr int kResultNoRightToBuild = 110;
constexpr int kResultNameTooShort = 113;
constexpr int kResultNameInvalid = 108;
constexpr int kResultCannotChangeAttribute = 210;
constexpr int kResultInvalidRequest = 213;
constexpr int kResultObjectTypeInvalid = 301;
constexpr int kResultUnableToStore = 305;
constexpr int kResultOutOfBounds = 311;
constexpr int kResultNotInWorld = 405;
constexpr int kResultTypeMismatch = 449;
constexpr int kResultStringTooLong = 450;
constexpr int kResultWorldFull = 465;
constexpr int kResultEjected = 466;
constexpr int kResultTouristsNotAllowed = 84;
constexpr int kResultNotWelcome = 467;
constexpr int kResultNotAvailable = 474;
constexpr int kResultInvalidArgument = 505;

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// World attributes a caretaker may change; the rest are the server's (name, build, rights, size, counts).
bool IsWritableWorldAttribute(int n) {
    switch (n) {
    case kAttrWorldTitle:
    case kAttrWorldBackdrop:
    case kAttrWorldGround:
    case kAttrWorldObjectPath:
    case kAttrWorldObjectRefresh:
    case kAttrWorldBuildRight:
    case kAttrWorldEminentDomainRight:
    case kAttrWorldEnterRight:
    case kAttrWorldSpecialObjectsRight:
    case kAttrWorldBackdropRed:
    case kAttrWorldBackdropGreen:
    case kAttrWorldBackdropBlue:
    case kAttrWorldRestrictedRadius:
    case kAttrWorldPublicSpeakerRight:
    case kAttrWorldHomePage:
    case kAttrWorldDisableCreateUrl:
    case kAttrWorldRating:
    case kAttrWorldWelcomeMessage:
    case kAttrWorldEjectRight:
    case kAttrWorldCellLimit:
    case kAttrWorldAllowPassThrough:
    case kAttrWorldAllowFlying:
    case kAttrWorldAllowTeleport:
    case kAttrWorldAllowObjectSelect:
    case kAttrWorldBotsRight:
    case kAttrWorldSpeechRight:
    case kAttrWorldAllowTouristWhisper:
    case kAttrWorldAvatarCollision:
    case kAttrWorldSpecialCommandsRight:
    case kAttrWorldMaxLightRadius:
    case kAttrWorldSkybox:
    case kAttrWorldMinimumVisibility:
    case kAttrWorldRepeatingGround:
    case kAttrWorldKeywords:
    case kAttrWorldEnableTerrain:
    case kAttrWorldRotation:
    case kAttrWorldEntryPoint:
        return true;
    default:
        return false;
    }
}

bool IsWritableUniverseAttribute(int n) {
    switch (n) {
    case kAttrUniverseBrowserMinimum:
    case kAttrUniverseBrowserRelease:
    case kAttrUniverseBrowserBeta:
    case kAttrUniverseWorldMinimum:
    case kAttrUniverseWorldStart:
    case kAttrUniverseWelcomeMessage:
    case kAttrUniverseWorldRelease:
    case kAttrUniverseWorldBeta:
    case kAttrUniverseAllowTourists:
    case kAttrUniverseSearchUrl:
        return true;
    default:
        return false;
    }
}

// Reads a frame attribute into a value of the attribute's kind. 449 for a wrong tag, 450 for a long string.
int ReadAttribute(const WireAttribute &a, AttrValue &out) {
    switch (KindOfAttribute(a.number)) {
    case AttributeKind::Int:
        if (a.tag != AttributeTag::Int)
            return kResultTypeMismatch;
        out = a.intValue;
        return 0;
    case AttributeKind::Bool:
        if (a.tag != AttributeTag::Bool)
            return kResultTypeMismatch;
        out = a.intValue != 0;
        return 0;
    case AttributeKind::String:
        if (a.tag != AttributeTag::String)
            return kResultTypeMismatch;
        if (a.text.size() > AttributeMaxLength(a.number))
            return kResultStringTooLong;
        out = std::string(a.text);
        return 0;
    default:
        return kResultInvalidArgument;
    }
}

void Write(FrameWriter &w, int number, const AttrValue &v) {
    if (const auto *n = std::get_if<std::int32_t>(&v))
        w.Int(static_cast<std::uint16_t>(number), *n);
    else if (const auto *b = std::get_if<bool>(&v))
        w.Bool(static_cast<std::uint16_t>(number), *b);
    else
        w.String(static_cast<std::uint16_t>(number), std::get<std::string>(v));
}

std::string StringOf(const AttrMap &m, int number) {
    const auto it = m.find(number);
    if (it == m.end())
        return {};
    if (const auto *s = std::get_if<std::string>(&it->second))
        return *s;
    return {};
}

bool ParseInt(std::string_view text, std::int64_t &value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool TextLength(std::string_view text, std::size_t limit) { return text.size() <= limit; }

} // namespace

// ---- State -------------------------------------------------------------------------------------------------------

struct Universe::World {
    WorldRecord record;
    std::vector<Session *> members;   // everyone in the world
    std::vector<Session *> observers; // of them, the connected bots, who receive events
    int objectCount = 0;
};

struct Universe::Session {
    int id = 0;
    std::string name; // as shown to others
    int citizen = 0;
    int privilege = 0;
    int build = 0;
    std::uint32_t address = 0;
    Client *client = nullptr; // null for a simulated person
    World *world = nullptr;
    int x = 0, y = 0, z = 0, yaw = 0, type = 0;
    bool visible = false; // others see a bot only after its first state change
    bool global = false;
    WorldRights rights;
    std::unordered_set<int> known; // sessions this observer has been told about
    std::string lastSaid;
    std::deque<InboxEntry> inbox;
};

struct Universe::Client {
    ClientLink *link = nullptr;
    int sdkBuild = 0;
    int session = 0;
    std::size_t worldListCursor = 0;
    // While a request of this client is handled, events for it wait here, so that they follow the reply.
    bool hold = false;
    std::string held;
};

struct Universe::Reply {
    std::vector<std::pair<int, AttrValue>> attributes;
    void Int(int n, std::int32_t v) { attributes.emplace_back(n, v); }
    void Bool(int n, bool v) { attributes.emplace_back(n, v); }
    void String(int n, std::string v) { attributes.emplace_back(n, std::move(v)); }
};

AttrMap DefaultWorldAttributes(const std::string &name) {
    AttrMap a;
    const auto s = [&](int n, std::string v) { a[n] = std::move(v); };
    const auto i = [&](int n, std::int32_t v) { a[n] = v; };
    const auto b = [&](int n, bool v) { a[n] = v; };
    s(kAttrWorldTitle, name);
    s(kAttrWorldBackdrop, "");
    s(kAttrWorldGround, "");
    s(kAttrWorldObjectPath, "");
    i(kAttrWorldObjectRefresh, 0);
    s(kAttrWorldBuildRight, "");
    s(kAttrWorldEminentDomainRight, "");
    s(kAttrWorldEnterRight, "*");
    s(kAttrWorldSpecialObjectsRight, "");
    i(kAttrWorldBackdropRed, 0);
    i(kAttrWorldBackdropGreen, 0);
    i(kAttrWorldBackdropBlue, 0);
    i(kAttrWorldRestrictedRadius, 0);
    s(kAttrWorldPublicSpeakerRight, "");
    s(kAttrWorldHomePage, "");
    b(kAttrWorldDisableCreateUrl, false);
    i(kAttrWorldRating, 0);
    s(kAttrWorldWelcomeMessage, "");
    s(kAttrWorldEjectRight, "");
    i(kAttrWorldCellLimit, 1500);
    b(kAttrWorldAllowPassThrough, true);
    b(kAttrWorldAllowFlying, true);
    b(kAttrWorldAllowTeleport, true);
    b(kAttrWorldAllowObjectSelect, true);
    s(kAttrWorldBotsRight, "*");
    s(kAttrWorldSpeechRight, "*");
    b(kAttrWorldAllowTouristWhisper, false);
    b(kAttrWorldAvatarCollision, false);
    s(kAttrWorldSpecialCommandsRight, "");
    i(kAttrWorldMaxLightRadius, 0);
    s(kAttrWorldSkybox, "");
    i(kAttrWorldMinimumVisibility, 0);
    b(kAttrWorldRepeatingGround, false);
    s(kAttrWorldKeywords, "");
    b(kAttrWorldEnableTerrain, false);
    b(kAttrWorldRotation, false);
    s(kAttrWorldEntryPoint, "");
    return a;
}

AttrMap DefaultUniverseAttributes() {
    AttrMap a;
    a[kAttrUniverseBrowserMinimum] = std::int32_t{0};
    a[kAttrUniverseBrowserRelease] = std::int32_t{0};
    a[kAttrUniverseBrowserBeta] = std::int32_t{0};
    a[kAttrUniverseWorldMinimum] = std::int32_t{0};
    a[kAttrUniverseWorldStart] = std::string();
    a[kAttrUniverseRegistrationRequired] = false;
    a[kAttrUniverseBuild] = std::int32_t{kUniverseBuild};
    a[kAttrUniverseWelcomeMessage] = std::string();
    a[kAttrUniverseWorldRelease] = std::int32_t{0};
    a[kAttrUniverseWorldBeta] = std::int32_t{0};
    a[kAttrUniverseAllowTourists] = true;
    a[kAttrUniverseSearchUrl] = std::string();
    return a;
}

Universe::Universe(Store &store, const ServerOptions &options) : store_(store), options_(options) {}

Universe::~Universe() = default;

void Universe::Log(const std::string &line) const {
    if (options_.log)
        options_.log(line);
}

std::int64_t Universe::Now() const { return static_cast<std::int64_t>(std::time(nullptr)) + clockOffset_; }

bool Universe::Load(std::string &error) {
    worlds_.clear();
    for (WorldRecord &record : store_.Worlds()) {
        auto w = std::make_unique<World>();
        // Attributes missing from an older or hand-edited store read as the defaults.
        AttrMap attributes = DefaultWorldAttributes(record.name);
        for (auto &[n, v] : record.attributes)
            if (IsWritableWorldAttribute(n))
                attributes[n] = std::move(v);
        record.attributes = std::move(attributes);
        w->objectCount = store_.CountObjects(record.name);
        w->record = std::move(record);
        worlds_.push_back(std::move(w));
    }
    universe_ = DefaultUniverseAttributes();
    for (auto &[n, v] : store_.UniverseAttributes())
        if (universe_.count(n) && universe_[n].index() == v.index())
            universe_[n] = std::move(v);
    if (!store_.IsOpen()) {
        error = "the store is not open";
        return false;
    }
    return true;
}

Universe::World *Universe::FindWorld(std::string_view name) {
    for (auto &w : worlds_)
        if (SameName(w->record.name, name))
            return w.get();
    return nullptr;
}

const Universe::World *Universe::FindWorld(std::string_view name) const {
    for (const auto &w : worlds_)
        if (SameName(w->record.name, name))
            return w.get();
    return nullptr;
}

Universe::Session *Universe::FindSession(int session) {
    const auto it = sessions_.find(session);
    return it == sessions_.end() ? nullptr : it->second.get();
}

const Universe::Session *Universe::FindSession(int session) const {
    const auto it = sessions_.find(session);
    return it == sessions_.end() ? nullptr : it->second.get();
}

Universe::Session *Universe::FindInWorld(const Session &s, int other) {
    Session *o = FindSession(other);
    return o && o->world && o->world == s.world ? o : nullptr;
}

WorldRights Universe::RightsOf(const World &w, const Session &s) const {
    const int who = s.privilege ? s.privilege : s.citizen;
    const AttrMap &a = w.record.attributes;
    const int build = w.record.build;
    WorldRights r;
    r.caretaker = RightsListGrants(w.record.caretakers, who);
    const auto grants = [&](int n) { return r.caretaker || RightsListGrants(StringOf(a, n), who); };
    r.enter = grants(kAttrWorldEnterRight);
    r.bots = build < kBuildSpeechRights || grants(kAttrWorldBotsRight);
    r.build = grants(kAttrWorldBuildRight);
    r.eject = grants(kAttrWorldEjectRight);
    r.publicSpeaker = grants(kAttrWorldPublicSpeakerRight);
    r.speech = build < kBuildSpeechRights || grants(kAttrWorldSpeechRight);
    // As the client decides it: the build right and a place on the eminent-domain list.
    r.eminentDomain = r.build && RightsListGrants(StringOf(a, kAttrWorldEminentDomainRight), who);
    return r;
}

bool Universe::IsWorldEjected(const World &w, const Session &s) {
    const std::int64_t now = Now();
    const auto active = [&](const std::optional<EjectionRecord> &e) {
        return e && (e->expiration == 0 || e->expiration > now);
    };
    if (active(store_.FindWorldEjection(w.record.name, 0, static_cast<std::int32_t>(s.address))))
        return true;
    return s.citizen != 0 && active(store_.FindWorldEjection(w.record.name, 2, s.citizen));
}

int Universe::CheckEntry(const World &w, const Session &s) {
    if (w.record.status == 3)
        return kResultNoSuchWorld;
    if (IsWorldEjected(w, s))
        return kResultEjected;
    const WorldRights r = RightsOf(w, s);
    if (!r.enter || (s.client && !r.bots))
        return kResultNotWelcome;
    const auto inside = static_cast<int>(std::count(w.members.begin(), w.members.end(), &s));
    if (w.record.maxUsers > 0 && static_cast<int>(w.members.size()) - inside >= w.record.maxUsers)
        return kResultWorldFull;
    return 0;
}

bool Universe::InRange(const Session &a, const Session &b) const {
    const std::int64_t r = options_.hearingRadius;
    const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
    const std::int64_t dz = static_cast<std::int64_t>(a.z) - b.z;
    if (dx > r || dx < -r || dz > r || dz < -r)
        return false;
    return dx * dx + dz * dz <= r * r;
}

// ---- Sending -----------------------------------------------------------------------------------------------------

void Universe::SendEvent(Session &to, const std::string &frame) {
    Client *c = to.client;
    if (!c)
        return;
    if (c->hold)
        c->held += frame;
    else
        c->link->Send(frame);
}

void Universe::AppendAvatar(FrameWriter &w, const Session &s, bool full) const {
    w.Int(kAttrAvatarSession, s.id).String(kAttrAvatarName, s.name);
    w.Int(kAttrAvatarX, s.x).Int(kAttrAvatarY, s.y).Int(kAttrAvatarZ, s.z).Int(kAttrAvatarYaw, s.yaw);
    w.Int(kAttrAvatarType, s.type);
    if (full)
        w.Int(kAttrAvatarBuild, s.build).Int(kAttrAvatarCitizen, s.citizen).Int(kAttrAvatarPrivilege, s.privilege);
}

void Universe::AppendWorldAttributes(FrameWriter &out, const World &w, const Session &s) const {
    out.String(kAttrWorldName, w.record.name);
    for (const auto &[n, v] : w.record.attributes)
        Write(out, n, v);
    out.Int(kAttrWorldBuildNumber, w.record.build);
    out.Int(kAttrWorldMaxUsers, w.record.maxUsers);
    out.Int(kAttrWorldSize, w.record.size);
    out.Int(kAttrWorldObjectCount, w.objectCount);
    out.Int(kAttrWorldExpiration, Clamp32(w.record.expiration));
    out.Bool(kAttrWorldCaretaker, s.rights.caretaker);
    out.Bool(kAttrWorldPublicSpeaker, s.rights.publicSpeaker);
    out.Bool(kAttrWorldEject, s.rights.eject);
    out.Bool(kAttrWorldBuild, s.rights.build);
    out.Bool(kAttrWorldSpeech, s.rights.speech);
}

void Universe::SendWorldAttributes(Session &s) {
    if (!s.world || !s.client)
        return;
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventWorldAttributes);
    AppendWorldAttributes(w, *s.world, s);
    w.Finish();
    SendEvent(s, frame);
}

void Universe::UpdateView(Session &o, const Session &subject, bool moved) {
    const bool sees = subject.visible && (o.global || InRange(o, subject));
    const auto it = o.known.find(subject.id);
    const bool knew = it != o.known.end();
    int event = -1;
    if (sees && !knew) {
        o.known.insert(subject.id);
        event = kEventAvatarAdd;
    } else if (sees && moved) {
        event = kEventAvatarChange;
    } else if (!sees && knew) {
        o.known.erase(it);
        event = kEventAvatarDelete;
    }
    if (event < 0)
        return;
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, event);
    if (event == kEventAvatarDelete)
        w.Int(kAttrAvatarSession, subject.id).String(kAttrAvatarName, subject.name);
    else
        AppendAvatar(w, subject, event == kEventAvatarAdd);
    w.Finish();
    SendEvent(o, frame);
}

void Universe::Place(Session &s) {
    World &w = *s.world;
    for (Session *o : w.observers)
        if (o != &s)
            UpdateView(*o, s, true);
    if (s.client)
        for (Session *m : w.members)
            if (m != &s)
                UpdateView(s, *m, false);
}

void Universe::Join(World &w, Session &s) {
    s.world = &w;
    s.rights = RightsOf(w, s);
    w.members.push_back(&s);
    if (s.client)
        w.observers.push_back(&s);
    Place(s);
}

void Universe::RemoveFromWorld(Session &s) {
    if (!s.world)
        return;
    World &w = *s.world;
    std::string frame;
    for (Session *o : w.observers) {
        if (o == &s || !o->known.erase(s.id))
            continue;
        if (frame.empty()) {
            FrameWriter fw(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarDelete);
            fw.Int(kAttrAvatarSession, s.id).String(kAttrAvatarName, s.name);
        }
        SendEvent(*o, frame);
    }
    std::erase(w.members, &s);
    std::erase(w.observers, &s);
    s.known.clear();
    s.world = nullptr;
    s.global = false;
    s.visible = !s.client;
    s.rights = {};
}

void Universe::Chat(Session &speaker, const std::string &text, int type) {
    speaker.lastSaid = text;
    if (!speaker.world)
        return;
    std::string frame;
    for (Session *o : speaker.world->observers) {
        if (o == &speaker || !(o->global || InRange(*o, speaker)))
            continue;
        if (frame.empty()) {
            FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventChat);
            w.Int(kAttrChatSession, speaker.id).String(kAttrAvatarName, speaker.name);
            w.String(kAttrChatMessage, text).Int(kAttrChatType, type);
        }
        SendEvent(*o, frame);
    }
}

void Universe::Note(Session &s, InboxEntry entry) {
    if (s.client)
        return;
    s.inbox.push_back(std::move(entry));
    while (s.inbox.size() > kInboxSize)
        s.inbox.pop_front();
}

void Universe::DeliverWhisper(Session &from, Session &to, const std::string &text) {
    if (!to.client) {
        Note(to, {InboxEntry::Kind::Whisper, from.id, from.name, text});
        return;
    }
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventChat);
    w.Int(kAttrChatSession, from.id).String(kAttrAvatarName, from.name);
    w.String(kAttrChatMessage, text).Int(kAttrChatType, 2);
    w.Finish();
    SendEvent(to, frame);
}

void Universe::Disconnect(Session &s, int reason) {
    RemoveFromWorld(s);
    if (!s.client)
        return;
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventWorldDisconnect);
    w.Int(kAttrDisconnectReason, reason);
    w.Finish();
    SendEvent(s, frame);
}

void Universe::EndSession(int session) {
    const auto it = sessions_.find(session);
    if (it == sessions_.end())
        return;
    RemoveFromWorld(*it->second);
    sessions_.erase(it);
}

bool Universe::SaveWorld(World &w) {
    if (!store_.SaveWorld(w.record)) {
        Log("cannot save world " + w.record.name + ": " + store_.LastError());
        return false;
    }
    return true;
}

// ---- Connections -------------------------------------------------------------------------------------------------

void Universe::Attach(ClientLink *link, int sdkBuild) {
    auto c = std::make_unique<Client>();
    c->link = link;
    c->sdkBuild = sdkBuild;
    clients_[link] = std::move(c);
}

void Universe::Detach(ClientLink *link) {
    const auto it = clients_.find(link);
    if (it == clients_.end())
        return;
    if (it->second->session)
        EndSession(it->second->session);
    clients_.erase(it);
}

void Universe::Handle(ClientLink *link, const FrameReader &r) {
    const auto it = clients_.find(link);
    if (it == clients_.end())
        return;
    Client &c = *it->second;
    const auto type = static_cast<MessageType>(r.Header().type);
    Session *s = c.session ? FindSession(c.session) : nullptr;
    Reply reply;
    int code = 0;
    // World list answers come after their world events; everything else answers first, then its events follow.
    c.hold = type != MessageType::WorldList;

    const auto inWorld = [&]() { return s && s->world; };
    if (type == MessageType::Login) {
        code = Login(c, r, reply);
    } else if (!s) {
        code = kResultNotLoggedIn;
    } else {
        switch (type) {
        case MessageType::Enter:
            code = Enter(*s, r, reply);
            break;
        case MessageType::Exit:
            RemoveFromWorld(*s);
            break;
        case MessageType::WorldList:
            code = WorldList(c, *s, reply);
            break;
        case MessageType::CitizenByNumber:
            code = CitizenLookup(r, true, reply);
            break;
        case MessageType::CitizenByName:
            code = CitizenLookup(r, false, reply);
            break;
        case MessageType::UniverseAttributesChange:
            code = UniverseAttributesChange(*s, r, reply);
            break;
        case MessageType::UniverseEjectionAdd:
        case MessageType::UniverseEjectionDelete:
        case MessageType::UniverseEjectionLookup:
        case MessageType::UniverseEjectionNext:
        case MessageType::UniverseEjectionPrevious:
            code = UniverseEjection(*s, r.Header().type, r, reply);
            break;
        default:
            if (!inWorld()) {
                code = kResultNotInWorld;
                break;
            }
            switch (type) {
            case MessageType::StateChange:
                code = StateChange(*s, r);
                break;
            case MessageType::Say:
                code = SayRequest(*s, r);
                break;
            case MessageType::Whisper:
                code = WhisperRequest(*s, r);
                break;
            case MessageType::ConsoleMessage:
                code = ConsoleRequest(*s, r);
                break;
            case MessageType::AvatarClick:
                code = ClickRequest(*s, r);
                break;
            case MessageType::UrlSend:
                code = UrlRequest(*s, r);
                break;
            case MessageType::AddressRequest:
                code = AddressRequest(*s, r, reply);
                break;
            case MessageType::Teleport:
                code = TeleportRequest(*s, r);
                break;
            case MessageType::WorldEject:
                code = EjectRequest(*s, r);
                break;
            case MessageType::WorldAttributesChange:
                code = WorldAttributesChange(*s, r);
                break;
            case MessageType::WorldEjectionAdd:
            case MessageType::WorldEjectionDelete:
            case MessageType::WorldEjectionLookup:
            case MessageType::WorldEjectionNext:
            case MessageType::WorldEjectionPrevious:
                code = WorldEjection(*s, r.Header().type, r, reply);
                break;
            case MessageType::ObjectAdd:
                code = ObjectRequest(*s, false, r, reply);
                break;
            case MessageType::ObjectLoad:
                code = ObjectRequest(*s, true, r, reply);
                break;
            default:
                code = kResultInvalidRequest;
                break;
            }
        }
    }

    std::string frame;
    {
        FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Reply), r.Header().id, code);
        for (const auto &[n, v] : reply.attributes)
            Write(w, n, v);
        if (!w.Finish()) {
            // Only a store holding more than a frame can carry gets here; answer without the attributes.
            FrameWriter(frame, static_cast<std::uint16_t>(MessageType::Reply), r.Header().id, kResultUnableToStore)
                .Finish();
        }
    }
    c.hold = false;
    frame += c.held;
    c.held.clear();
    c.held.shrink_to_fit();
    link->Send(frame);
}

// ---- Requests ----------------------------------------------------------------------------------------------------

int Universe::Login(Client &c, const FrameReader &r, Reply &reply) {
    if (c.session) {
        EndSession(c.session);
        c.session = 0;
    }
    std::int32_t citizen = 0;
    std::string_view password, name;
    r.FindInt(kAttrLoginCitizen, citizen);
    r.FindString(kAttrLoginPassword, password);
    r.FindString(kAttrLoginName, name);
    if (name.empty())
        return kResultNameTooShort;
    if (name.size() > kMaxStringLength - 2)
        return kResultStringTooLong;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f)
            return kResultNameInvalid;
    const std::uint32_t address = c.link->Address();
    if (const auto e = store_.FindUniverseEjection(static_cast<std::int32_t>(address));
        e && (e->expiration == 0 || e->expiration > Now()))
        return kResultEjected;
    const auto record = store_.CitizenByNumber(citizen);
    if (!record || citizen <= 0)
        return kResultNoSuchCitizen;
    if (!VerifyPassword(password, record->passwordHash))
        return kResultBadPassword;

    auto s = std::make_unique<Session>();
    s->id = nextSession_++;
    s->name = "[" + std::string(name) + "]";
    s->citizen = citizen;
    s->privilege = citizen;
    s->build = c.sdkBuild;
    s->address = address;
    s->client = &c;
    c.session = s->id;
    reply.Int(kFieldMySession, s->id);
    for (const auto &[n, v] : universe_)
        reply.attributes.emplace_back(n, v);
    Log("login: citizen " + std::to_string(citizen) + " as " + s->name + ", session " + std::to_string(s->id));
    Session &held = *s;
    sessions_[s->id] = std::move(s);

    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventUniverseTime);
    w.Int(kAttrUniverseTime, Clamp32(Now()));
    w.Finish();
    SendEvent(held, frame);
    return 0;
}

int Universe::Enter(Session &s, const FrameReader &r, Reply &reply) {
    // Asking to enter leaves the current world whatever the answer, as the client empties its lists first.
    RemoveFromWorld(s);
    std::string_view name;
    r.FindString(kFieldWorld, name);
    World *w = FindWorld(name);
    if (!w || w->record.status == 3)
        return kResultNoSuchWorld;
    if (const int refused = CheckEntry(*w, s))
        return refused;
    bool wantGlobal = false;
    r.FindBool(kAttrEnterGlobal, wantGlobal);
    s.x = s.y = s.z = s.yaw = 0;
    s.visible = false;
    s.rights = RightsOf(*w, s);
    s.global = wantGlobal && s.rights.caretaker && w->record.build >= kBuildGlobalMode;

    std::string attributes;
    {
        FrameWriter fw(attributes, 0, 0, 0);
        AppendWorldAttributes(fw, *w, s);
        fw.Finish();
    }
    FrameReader ar(reinterpret_cast<const std::uint8_t *>(attributes.data()), attributes.size());
    WireAttribute a;
    while (ar.Next(a)) {
        if (a.tag == AttributeTag::String)
            reply.String(a.number, std::string(a.text));
        else if (a.tag == AttributeTag::Bool)
            reply.Bool(a.number, a.intValue != 0);
        else
            reply.Int(a.number, a.intValue);
    }
    reply.Bool(kAttrEnterGlobal, s.global);

    Join(*w, s);
    SendWorldAttributes(s);
    Log(s.name + " entered " + w->record.name + (s.global ? " in global mode" : ""));
    return 0;
}

int Universe::StateChange(Session &s, const FrameReader &r) {
    std::int32_t x = s.x, y = s.y, z = s.z, yaw = s.yaw, type = s.type;
    r.FindInt(kAttrMyX, x);
    r.FindInt(kAttrMyY, y);
    r.FindInt(kAttrMyZ, z);
    r.FindInt(kAttrMyYaw, yaw);
    r.FindInt(kAttrMyType, type);
    if ((type < 0 || type > 250) && !s.rights.publicSpeaker)
        return kResultUnauthorized;
    s.x = x;
    s.y = y;
    s.z = z;
    s.yaw = yaw;
    s.type = type;
    s.visible = true;
    Place(s);
    return 0;
}

int Universe::SayRequest(Session &s, const FrameReader &r) {
    std::string_view text;
    r.FindString(kFieldText, text);
    if (!TextLength(text, kMaxStringLength))
        return kResultStringTooLong;
    if (!s.rights.speech)
        return kResultUnauthorized;
    if (!text.empty())
        Chat(s, std::string(text), s.rights.publicSpeaker ? 1 : 0);
    return 0;
}

int Universe::WhisperRequest(Session &s, const FrameReader &r) {
    if (s.world->record.build < kBuildWhisper)
        return kResultNotAvailable;
    std::int32_t to = 0;
    std::string_view text;
    r.FindInt(kFieldSession, to);
    r.FindString(kFieldText, text);
    if (!TextLength(text, kMaxStringLength))
        return kResultStringTooLong;
    Session *target = FindInWorld(s, to);
    if (!target)
        return kResultNoSuchSession;
    if (!text.empty())
        DeliverWhisper(s, *target, std::string(text));
    return 0;
}

int Universe::ConsoleRequest(Session &s, const FrameReader &r) {
    if (!s.rights.caretaker)
        return kResultUnauthorized;
    std::int32_t to = 0, red = 0, green = 0, blue = 0;
    bool bold = false, italics = false;
    std::string_view text;
    r.FindInt(kFieldSession, to);
    r.FindInt(kAttrConsoleRed, red);
    r.FindInt(kAttrConsoleGreen, green);
    r.FindInt(kAttrConsoleBlue, blue);
    r.FindBool(kAttrConsoleBold, bold);
    r.FindBool(kAttrConsoleItalics, italics);
    r.FindString(kAttrConsoleMessage, text);
    if (!TextLength(text, kMaxStringLength))
        return kResultStringTooLong;
    Session *target = nullptr;
    if (to != 0 && !(target = FindInWorld(s, to)))
        return kResultNoSuchSession;
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventConsoleMessage);
    w.Int(kAttrConsoleRed, red).Int(kAttrConsoleGreen, green).Int(kAttrConsoleBlue, blue);
    w.Bool(kAttrConsoleBold, bold).Bool(kAttrConsoleItalics, italics).String(kAttrConsoleMessage, text);
    w.Finish();
    const InboxEntry note{InboxEntry::Kind::Console, s.id, s.name, std::string(text)};
    if (target) {
        SendEvent(*target, frame);
        Note(*target, note);
        return 0;
    }
    // To everyone in the world, the sender included, whatever the distance.
    for (Session *m : s.world->members) {
        SendEvent(*m, frame);
        Note(*m, note);
    }
    return 0;
}

int Universe::WorldList(Client &c, Session &s, Reply &reply) {
    if (c.worldListCursor >= worlds_.size())
        c.worldListCursor = 0;
    const std::size_t batch = std::max<std::size_t>(1, options_.worldListBatch);
    std::string frames;
    std::size_t i = c.worldListCursor;
    for (; i < worlds_.size() && i < c.worldListCursor + batch; ++i) {
        const World &w = *worlds_[i];
        FrameWriter fw(frames, static_cast<std::uint16_t>(MessageType::Event), 0, kEventWorldInfo);
        fw.String(kAttrWorldListName, w.record.name).Int(kAttrWorldListStatus, w.record.status);
        fw.Int(kAttrWorldListUsers, static_cast<std::int32_t>(w.members.size()));
    }
    c.worldListCursor = i;
    const bool more = i < worlds_.size();
    if (!more)
        c.worldListCursor = 0;
    if (!frames.empty())
        SendEvent(s, frames);
    reply.Bool(kAttrWorldListMore, more);
    return 0;
}

int Universe::CitizenLookup(const FrameReader &r, bool byNumber, Reply &reply) {
    std::optional<CitizenRecord> c;
    std::int32_t number = 0;
    std::string_view name;
    if (byNumber) {
        r.FindInt(kFieldNumber, number);
        c = store_.CitizenByNumber(number);
    } else {
        r.FindString(kFieldName, name);
        c = store_.CitizenByName(name);
    }
    if (!c) {
        // The asked-for value stays readable, so that "no such citizen" messages can name it.
        reply.Int(kAttrCitizenNumber, number);
        reply.String(kAttrCitizenName, std::string(name));
        reply.String(kAttrCitizenHomePage, "");
        return kResultNoSuchCitizen;
    }
    reply.Int(kAttrCitizenNumber, c->number);
    reply.String(kAttrCitizenName, c->name);
    reply.String(kAttrCitizenHomePage, c->homePage);
    return 0;
}

int Universe::ClickRequest(Session &s, const FrameReader &r) {
    if (s.world->record.build < kBuildClick)
        return kResultNotAvailable;
    std::int32_t to = 0;
    r.FindInt(kFieldSession, to);
    Session *target = FindInWorld(s, to);
    if (!target)
        return kResultNoSuchSession;
    Note(*target, {InboxEntry::Kind::Click, s.id, s.name, {}});
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarClick);
    w.Int(kAttrAvatarSession, s.id).String(kAttrAvatarName, s.name).Int(kAttrClickedSession, target->id);
    w.Finish();
    SendEvent(*target, frame);
    return 0;
}

int Universe::UrlRequest(Session &s, const FrameReader &r) {
    if (s.world->record.build < kBuildClick)
        return kResultNotAvailable;
    if (!s.rights.caretaker)
        return kResultUnauthorized;
    std::int32_t to = 0;
    std::string_view url, target;
    r.FindInt(kFieldSession, to);
    r.FindString(kFieldUrl, url);
    r.FindString(kFieldTarget, target);
    if (!TextLength(url, kMaxStringLength) || !TextLength(target, kMaxStringLength))
        return kResultStringTooLong;
    Session *t = FindInWorld(s, to);
    if (!t)
        return kResultNoSuchSession;
    Note(*t, {InboxEntry::Kind::Url, s.id, s.name, std::string(url)});
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventUrl);
    w.Int(kAttrAvatarSession, s.id).String(kAttrAvatarName, s.name).String(kAttrUrl, url);
    w.String(kAttrUrlTarget, target);
    w.Finish();
    SendEvent(*t, frame);
    return 0;
}

int Universe::AddressRequest(Session &s, const FrameReader &r, Reply &reply) {
    if (s.world->record.build < kBuildClick)
        return kResultNotAvailable;
    if (!s.rights.caretaker && !s.rights.eject)
        return kResultUnauthorized;
    std::int32_t to = 0;
    r.FindInt(kFieldSession, to);
    reply.Int(kAttrAvatarSession, to);
    const Session *t = FindInWorld(s, to);
    if (!t)
        return kResultNoSuchSession;
    reply.Int(kAttrAvatarAddress, static_cast<std::int32_t>(t->address));
    return 0;
}

int Universe::TeleportRequest(Session &s, const FrameReader &r) {
    if (s.world->record.build < kBuildTeleportUser)
        return kResultNotAvailable;
    if (!s.rights.caretaker && !s.rights.eject)
        return kResultUnauthorized;
    std::int32_t to = 0, x = 0, y = 0, z = 0, yaw = 0;
    std::string_view worldName;
    r.FindInt(kFieldSession, to);
    r.FindString(kAttrTeleportWorld, worldName);
    r.FindInt(kAttrTeleportX, x);
    r.FindInt(kAttrTeleportY, y);
    r.FindInt(kAttrTeleportZ, z);
    r.FindInt(kAttrTeleportYaw, yaw);
    Session *t = FindInWorld(s, to);
    if (!t)
        return kResultNoSuchSession;
    World *destination = s.world;
    if (!worldName.empty() && !SameName(worldName, s.world->record.name)) {
        destination = FindWorld(worldName);
        if (!destination || destination->record.status == 3)
            return kResultNoSuchWorld;
    }
    const bool within = destination == t->world;
    if (t->client) {
        // A bot decides for itself whether to follow to another world; within the world it is moved at once.
        if (within) {
            t->x = x;
            t->y = y;
            t->z = z;
            t->yaw = yaw;
            Place(*t);
        }
        std::string frame;
        FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventTeleport);
        w.Int(kAttrMyX, x).Int(kAttrMyY, y).Int(kAttrMyZ, z).Int(kAttrMyYaw, yaw);
        w.String(kAttrTeleportWorld, within ? std::string() : destination->record.name);
        w.Finish();
        SendEvent(*t, frame);
        return 0;
    }
    Note(*t, {InboxEntry::Kind::Teleport, s.id, s.name, destination->record.name});
    if (!within) {
        if (const int refused = CheckEntry(*destination, *t))
            return refused;
        RemoveFromWorld(*t);
        t->x = x;
        t->y = y;
        t->z = z;
        t->yaw = yaw;
        Join(*destination, *t);
        return 0;
    }
    t->x = x;
    t->y = y;
    t->z = z;
    t->yaw = yaw;
    Place(*t);
    return 0;
}

int Universe::EjectRequest(Session &s, const FrameReader &r) {
    if (!s.rights.eject)
        return kResultUnauthorized;
    std::int32_t to = 0, duration = 0;
    r.FindInt(kAttrEjectSession, to);
    r.FindInt(kAttrEjectDuration, duration);
    Session *t = FindInWorld(s, to);
    if (!t)
        return kResultNoSuchSession;
    if (duration <= 0)
        return kResultInvalidArgument;
    EjectionRecord e;
    e.type = 0;
    e.value = static_cast<std::int32_t>(t->address);
    e.creation = Now();
    e.expiration = e.creation + duration;
    e.comment = "Ejected by " + s.name;
    const bool stored = store_.PutWorldEjection(s.world->record.name, e);
    Log(s.name + " ejected " + t->name + " from " + s.world->record.name + " for " + std::to_string(duration) + " s");
    Note(*t, {InboxEntry::Kind::Eject, s.id, s.name, s.world->record.name});
    Disconnect(*t, kResultEjected);
    return stored ? 0 : kResultUnableToAddEjection;
}

int Universe::WorldAttributesChange(Session &s, const FrameReader &r) {
    if (!s.rights.caretaker)
        return kResultUnauthorized;
    World &w = *s.world;
    WorldRecord changed = w.record;
    FrameReader walk = r;
    WireAttribute a;
    while (walk.Next(a)) {
        if (!IsWritableWorldAttribute(a.number))
            continue;
        AttrValue v;
        if (const int refused = ReadAttribute(a, v))
            return refused;
        changed.attributes[a.number] = std::move(v);
    }
    const WorldRecord before = std::move(w.record);
    w.record = std::move(changed);
    if (!SaveWorld(w)) {
        w.record = before;
        return kResultCannotChangeAttribute;
    }
    for (Session *m : w.members)
        m->rights = RightsOf(w, *m);
    for (Session *o : w.observers)
        SendWorldAttributes(*o);
    return 0;
}

int Universe::UniverseAttributesChange(Session &s, const FrameReader &r, Reply &reply) {
    if (s.citizen != 1)
        return kResultUnauthorized;
    AttrMap changed = universe_;
    FrameReader walk = r;
    WireAttribute a;
    while (walk.Next(a)) {
        if (!IsWritableUniverseAttribute(a.number))
            continue;
        AttrValue v;
        if (const int refused = ReadAttribute(a, v))
            return refused;
        changed[a.number] = std::move(v);
    }
    if (!store_.SaveUniverseAttributes(changed))
        return kResultCannotChangeAttribute;
    universe_ = std::move(changed);
    for (const auto &[n, v] : universe_)
        reply.attributes.emplace_back(n, v);
    return 0;
}

namespace {
void ReplyEjection(const EjectionRecord &e, bool withType, std::vector<std::pair<int, AttrValue>> &out) {
    if (withType)
        out.emplace_back(kAttrEjectionType, std::int32_t{e.type});
    out.emplace_back(kAttrEjectionAddress, e.value);
    out.emplace_back(kAttrEjectionExpiration, Clamp32(e.expiration));
    out.emplace_back(kAttrEjectionCreation, Clamp32(e.creation));
    out.emplace_back(kAttrEjectionComment, e.comment);
}
} // namespace

int Universe::WorldEjection(Session &s, std::uint16_t type, const FrameReader &r, Reply &reply) {
    if (s.world->record.build < kBuildEjectionDatabase)
        return kResultNotAvailable;
    if (!s.rights.caretaker)
        return kResultUnauthorized;
    const std::string &world = s.world->record.name;
    std::int32_t kind = 0, value = 0, expiration = 0;
    std::string_view comment;
    r.FindInt(kAttrEjectionType, kind);
    r.FindInt(kAttrEjectionAddress, value);
    r.FindInt(kAttrEjectionExpiration, expiration);
    r.FindString(kAttrEjectionComment, comment);
    if (kind < 0 || kind > 2)
        return kResultInvalidArgument;
    std::optional<EjectionRecord> found;
    switch (static_cast<MessageType>(type)) {
    case MessageType::WorldEjectionAdd: {
        if (!TextLength(comment, AttributeMaxLength(kAttrEjectionComment)))
            return kResultStringTooLong;
        EjectionRecord e{kind, value, expiration, Now(), std::string(comment)};
        return store_.PutWorldEjection(world, e) ? 0 : kResultUnableToAddEjection;
    }
    case MessageType::WorldEjectionDelete:
        return store_.DeleteWorldEjection(world, kind, value) ? 0 : kResultNoSuchEjection;
    case MessageType::WorldEjectionLookup:
        found = store_.FindWorldEjection(world, kind, value);
        break;
    case MessageType::WorldEjectionNext:
        found = store_.StepWorldEjection(world, kind, value, true);
        break;
    default:
        found = store_.StepWorldEjection(world, kind, value, false);
        break;
    }
    if (!found)
        return kResultNoSuchEjection;
    ReplyEjection(*found, true, reply.attributes);
    return 0;
}

int Universe::UniverseEjection(Session &s, std::uint16_t type, const FrameReader &r, Reply &reply) {
    if (s.citizen != 1)
        return kResultUnauthorized;
    std::int32_t value = 0, expiration = 0;
    std::string_view comment;
    r.FindInt(kAttrEjectionAddress, value);
    r.FindInt(kAttrEjectionExpiration, expiration);
    r.FindString(kAttrEjectionComment, comment);
    std::optional<EjectionRecord> found;
    switch (static_cast<MessageType>(type)) {
    case MessageType::UniverseEjectionAdd: {
        if (!TextLength(comment, AttributeMaxLength(kAttrEjectionComment)))
            return kResultStringTooLong;
        EjectionRecord e{0, value, expiration, Now(), std::string(comment)};
        return store_.PutUniverseEjection(e) ? 0 : kResultUnableToAddEjection;
    }
    case MessageType::UniverseEjectionDelete: {
        std::int32_t address = 0;
        r.FindInt(kFieldNumber, address);
        return store_.DeleteUniverseEjection(address) ? 0 : kResultNoSuchEjection;
    }
    case MessageType::UniverseEjectionLookup:
        found = store_.FindUniverseEjection(value);
        break;
    case MessageType::UniverseEjectionNext:
        found = store_.StepUniverseEjection(value, true);
        break;
    default:
        found = store_.StepUniverseEjection(value, false);
        break;
    }
    if (!found)
        return kResultNoSuchEjection;
    ReplyEjection(*found, false, reply.attributes);
    return 0;
}

int Universe::ObjectRequest(Session &s, bool load, const FrameReader &r, Reply &reply) {
    World &w = *s.world;
    if (load) {
        if (w.record.build < kBuildObjectLoad)
            return kResultNotAvailable;
        if (!s.rights.eminentDomain)
            return kResultUnauthorized;
    } else if (!s.rights.build) {
        return kResultNoRightToBuild;
    }
    ObjectRecord o;
    o.world = w.record.name;
    std::string_view model, description, action;
    r.FindInt(kAttrObjectX, o.x);
    r.FindInt(kAttrObjectY, o.y);
    r.FindInt(kAttrObjectZ, o.z);
    r.FindInt(kAttrObjectYaw, o.yaw);
    r.FindString(kAttrObjectModel, model);
    r.FindString(kAttrObjectDescription, description);
    r.FindString(kAttrObjectAction, action);
    if (!TextLength(model, kMaxStringLength) || !TextLength(description, kMaxStringLength) ||
        !TextLength(action, kMaxStringLength))
        return kResultStringTooLong;
    if (model.empty())
        return kResultObjectTypeInvalid;
    if (w.record.size > 0) {
        // The world is 20 * size metres square around its centre.
        const std::int64_t half = static_cast<std::int64_t>(w.record.size) * 1000;
        if (std::abs(static_cast<std::int64_t>(o.x)) > half || std::abs(static_cast<std::int64_t>(o.z)) > half)
            return kResultOutOfBounds;
    }
    o.model = model;
    o.description = description;
    o.action = action;
    o.owner = s.citizen;
    o.timestamp = Now();
    if (load) {
        std::int32_t owner = 0, timestamp = 0;
        r.FindInt(kAttrObjectOwner, owner);
        r.FindInt(kAttrObjectTimestamp, timestamp);
        o.owner = owner;
        o.timestamp = timestamp;
    }
    const std::int64_t number = store_.AddObject(o);
    if (number <= 0)
        return kResultUnableToStore;
    ++w.objectCount;
    reply.Int(kAttrObjectNumber, Clamp32(number));
    reply.Int(kAttrWorldObjectCount, w.objectCount);
    return 0;
}

// ---- Simulated people and control --------------------------------------------------------------------------------

int Universe::AddPerson(const std::string &worldName, const PersonSpec &spec) {
    World *w = FindWorld(worldName);
    if (!w || w->record.status == 3)
        return -kResultNoSuchWorld;
    auto s = std::make_unique<Session>();
    s->id = nextSession_;
    s->name = spec.name.empty() ? "\"Visitor\"" : RepairUtf8(spec.name.substr(0, kMaxStringLength));
    s->citizen = spec.citizen;
    s->privilege = spec.privilege;
    s->build = spec.build;
    s->type = spec.type;
    s->x = spec.x;
    s->y = spec.y;
    s->z = spec.z;
    s->yaw = spec.yaw;
    s->visible = true;
    if (spec.address) {
        s->address = spec.address;
    } else {
        // 10.a.b.c of its own, kept in network byte order like a real peer's address.
        const std::uint8_t bytes[4] = {10, static_cast<std::uint8_t>(s->id >> 16),
                                       static_cast<std::uint8_t>(s->id >> 8), static_cast<std::uint8_t>(s->id)};
        std::memcpy(&s->address, bytes, 4);
    }
    if (const int refused = CheckEntry(*w, *s))
        return -refused;
    const auto tourists = universe_.find(kAttrUniverseAllowTourists);
    if (s->citizen == 0 && tourists != universe_.end() && tourists->second == AttrValue(false))
        return -kResultTouristsNotAllowed;
    ++nextSession_;
    Session &placed = *s;
    sessions_[s->id] = std::move(s);
    Join(*w, placed);
    return placed.id;
}

namespace {
template <class S> S *Simulated(S *s) { return s && !s->client ? s : nullptr; }
} // namespace

bool Universe::Say(int session, const std::string &text) {
    Session *s = Simulated(FindSession(session));
    if (!s || !s->world || text.size() > kMaxStringLength)
        return false;
    const bool speaker = RightsOf(*s->world, *s).publicSpeaker;
    Chat(*s, RepairUtf8(text), speaker ? 1 : 0);
    return true;
}

bool Universe::Whisper(int session, int toSession, const std::string &text) {
    Session *s = Simulated(FindSession(session));
    if (!s || !s->world || text.size() > kMaxStringLength || s->world->record.build < kBuildWhisper)
        return false;
    Session *t = FindInWorld(*s, toSession);
    if (!t)
        return false;
    DeliverWhisper(*s, *t, RepairUtf8(text));
    return true;
}

bool Universe::Move(int session, int x, int y, int z, int yaw) {
    Session *s = Simulated(FindSession(session));
    if (!s || !s->world)
        return false;
    s->x = x;
    s->y = y;
    s->z = z;
    s->yaw = yaw;
    Place(*s);
    return true;
}

bool Universe::ChangeType(int session, int type) {
    Session *s = Simulated(FindSession(session));
    if (!s || !s->world)
        return false;
    s->type = type;
    Place(*s);
    return true;
}

bool Universe::Click(int session, int clickedSession) {
    Session *s = Simulated(FindSession(session));
    if (!s || !s->world)
        return false;
    Session *t = FindInWorld(*s, clickedSession);
    if (!t)
        return false;
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventAvatarClick);
    w.Int(kAttrAvatarSession, s->id).String(kAttrAvatarName, s->name).Int(kAttrClickedSession, t->id);
    w.Finish();
    SendEvent(*t, frame);
    return true;
}

bool Universe::SendUrl(int session, int toSession, const std::string &url, const std::string &target) {
    Session *s = Simulated(FindSession(session));
    if (!s || !s->world || url.size() > kMaxStringLength || target.size() > kMaxStringLength)
        return false;
    Session *t = FindInWorld(*s, toSession);
    if (!t)
        return false;
    std::string frame;
    FrameWriter w(frame, static_cast<std::uint16_t>(MessageType::Event), 0, kEventUrl);
    w.Int(kAttrAvatarSession, s->id).String(kAttrAvatarName, s->name).String(kAttrUrl, RepairUtf8(url));
    w.String(kAttrUrlTarget, RepairUtf8(target));
    w.Finish();
    SendEvent(*t, frame);
    return true;
}

int Universe::EnterWorld(int session, const std::string &worldName) {
    Session *s = Simulated(FindSession(session));
    if (!s)
        return kResultNoSuchSession;
    World *w = FindWorld(worldName);
    if (!w || w->record.status == 3)
        return kResultNoSuchWorld;
    if (const int refused = CheckEntry(*w, *s))
        return refused;
    RemoveFromWorld(*s);
    Join(*w, *s);
    return 0;
}

bool Universe::Leave(int session) {
    Session *s = Simulated(FindSession(session));
    if (!s)
        return false;
    EndSession(session);
    return true;
}

namespace {
template <class S> PersonInfo InfoOf(const S &s) {
    PersonInfo p;
    p.session = s.id;
    p.name = s.name;
    p.world = s.world ? s.world->record.name : std::string();
    p.x = s.x;
    p.y = s.y;
    p.z = s.z;
    p.yaw = s.yaw;
    p.type = s.type;
    p.citizen = s.citizen;
    p.privilege = s.privilege;
    p.build = s.build;
    p.simulated = s.client == nullptr;
    p.global = s.global;
    p.lastSaid = s.lastSaid;
    return p;
}
} // namespace

std::vector<PersonInfo> Universe::PeopleIn(const std::string &world) const {
    std::vector<PersonInfo> out;
    if (const World *w = FindWorld(world))
        for (const Session *s : w->members)
            out.push_back(InfoOf(*s));
    return out;
}

bool Universe::Person(int session, PersonInfo &info) const {
    const Session *s = FindSession(session);
    if (!s)
        return false;
    info = InfoOf(*s);
    return true;
}

std::vector<InboxEntry> Universe::Inbox(int session) const {
    const Session *s = FindSession(session);
    return s ? std::vector<InboxEntry>(s->inbox.begin(), s->inbox.end()) : std::vector<InboxEntry>();
}

std::vector<std::string> Universe::WorldNames() const {
    std::vector<std::string> out;
    for (const auto &w : worlds_)
        out.push_back(w->record.name);
    return out;
}

std::vector<int> Universe::BotsIn(const std::string &world) const {
    std::vector<int> out;
    if (const World *w = FindWorld(world))
        for (const Session *s : w->observers)
            out.push_back(s->id);
    return out;
}

std::string Universe::NameOf(int session) const {
    const Session *s = FindSession(session);
    return s ? s->name : std::string();
}

bool Universe::SetWorld(const std::string &worldName, const std::string &field, const std::string &value) {
    World *w = FindWorld(worldName);
    if (!w)
        return false;
    WorldRecord changed = w->record;
    std::int64_t number = 0;
    const bool numeric = ParseInt(value, number);
    if (field == "caretakers") {
        changed.caretakers = value;
    } else if (field == "build" && numeric) {
        changed.build = Clamp32(number);
    } else if (field == "status" && numeric && number >= 1 && number <= 3) {
        changed.status = static_cast<int>(number);
    } else if (field == "max_users" && numeric) {
        changed.maxUsers = Clamp32(number);
    } else if (field == "size" && numeric) {
        changed.size = Clamp32(number);
    } else if (field == "expiration" && numeric) {
        changed.expiration = number;
    } else {
        std::int64_t attribute = 0;
        if (!ParseInt(field, attribute) || !IsWritableWorldAttribute(static_cast<int>(attribute)))
            return false;
        const int n = static_cast<int>(attribute);
        switch (KindOfAttribute(n)) {
        case AttributeKind::String:
            if (value.size() > AttributeMaxLength(n))
                return false;
            changed.attributes[n] = RepairUtf8(value);
            break;
        case AttributeKind::Bool:
            if (!numeric)
                return false;
            changed.attributes[n] = number != 0;
            break;
        default:
            if (!numeric)
                return false;
            changed.attributes[n] = Clamp32(number);
            break;
        }
    }
    const WorldRecord before = std::move(w->record);
    w->record = std::move(changed);
    if (!SaveWorld(*w)) {
        w->record = before;
        return false;
    }
    for (Session *m : w->members)
        m->rights = RightsOf(*w, *m);
    for (Session *o : w->observers)
        SendWorldAttributes(*o);
    return true;
}

bool Universe::AddWorld(const std::string &world, int build) {
    if (world.empty() || FindWorld(world))
        return false;
    auto w = std::make_unique<World>();
    w->record.name = RepairUtf8(world.substr(0, kMaxStringLength));
    w->record.build = build;
    w->record.attributes = DefaultWorldAttributes(w->record.name);
    if (!store_.AddWorld(w->record))
        return false;
    // Kept in name order, as the store lists them, so the world list reads the same after a restart.
    const auto lowered = [](std::string s) {
        for (char &c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    const std::string key = lowered(w->record.name);
    const auto at = std::find_if(worlds_.begin(), worlds_.end(),
                                 [&](const std::unique_ptr<World> &o) { return lowered(o->record.name) > key; });
    worlds_.insert(at, std::move(w));
    return true;
}

bool Universe::AddCitizen(int number, const std::string &name, const std::string &password,
                          const std::string &homePage) {
    CitizenRecord c;
    c.number = number;
    c.name = RepairUtf8(name.substr(0, kMaxStringLength));
    c.passwordHash = HashPassword(password, options_.passwordIterations);
    c.homePage = RepairUtf8(homePage.substr(0, kMaxStringLength));
    return number > 0 && !c.name.empty() && store_.AddCitizen(c);
}
