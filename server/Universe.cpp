#include "server/Universe.h"

#include "common/UnicodeCase.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/PasswordHash.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <random>

namespace {

constexpr std::size_t kInboxSize = 64;

// World names match in any letter case of any script, as the client's lists match them.
bool SameName(std::string_view a, std::string_view b) { return SameUnicodeName(a, b); }

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

} // namespace

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
    std::int32_t computerId = 0;
    r.FindInt(kFieldComputerId, computerId);
    if (name.empty())
        return kResultNameTooShort;
    if (name.size() > kMaxStringLength - 2)
        return kResultStringTooLong;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f)
            return kResultNameInvalid;
    const std::uint32_t address = c.link->Address();
    const auto record = store_.CitizenByNumber(citizen);
    bool verified = false;
    if (IsUniverseEjected(address)) {
        // Citizen 1 administers the universe and must always be able to come in and lift a ban, even one on its
        // own address; anyone else on an ejected address learns nothing about its password.
        verified = citizen == 1 && record && VerifyPassword(password, record->passwordHash);
        if (!verified)
            return kResultEjected;
    }
    if (!record || citizen <= 0)
        return kResultNoSuchCitizen;
    if (!verified && !VerifyPassword(password, record->passwordHash))
        return kResultBadPassword;
    // A hash made with weaker settings than today's is replaced now, while the password is at hand.
    if (PasswordNeedsRehash(record->passwordHash, options_.passwordIterations)) {
        CitizenRecord renewed = *record;
        renewed.passwordHash = HashPassword(password, options_.passwordIterations);
        if (renewed.passwordHash.empty() || !store_.UpdateCitizen(renewed))
            Log("cannot renew the password hash of citizen " + std::to_string(citizen) + ": " + store_.LastError());
    }

    auto s = std::make_unique<Session>();
    s->id = nextSession_++;
    s->name = "[" + std::string(name) + "]";
    s->citizen = citizen;
    s->privilege = citizen;
    s->build = c.sdkBuild;
    s->address = address;
    s->computerId = static_cast<std::uint32_t>(computerId);
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
    reply.Int(kAttrAvatarComputerId, static_cast<std::int32_t>(t->computerId));
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
