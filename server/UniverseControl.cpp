#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/PasswordHash.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

#include <cstring>

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
    s->computerId = spec.computerId;
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
    p.computerId = s.computerId;
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

std::size_t WorldNameLength(std::string_view name) {
    // Counted as the client's text fields count: one per UTF-16 unit, so a character beyond the basic plane is two.
    std::size_t n = 0;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xc0) != 0x80)
            n += byte >= 0xf0 ? 2 : 1;
    }
    return n;
}

int CheckNewWorldName(std::string_view name) {
    if (name.empty())
        return kResultWorldNameRequired;
    if (!IsValidUtf8(name))
        return kResultInvalidWorldName;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return kResultInvalidWorldName;
    if (WorldNameLength(name) > kMaxWorldNameLength)
        return kResultWorldNameTooLong;
    return 0;
}

int Universe::AddWorld(const std::string &world, int build) {
    if (const int refused = CheckNewWorldName(world))
        return refused;
    if (FindWorld(world))
        return kResultWorldExists;
    auto w = std::make_unique<World>(options_.hearingRadius);
    w->record.name = world;
    w->record.build = build;
    w->record.attributes = DefaultWorldAttributes(w->record.name);
    if (!store_.AddWorld(w->record))
        return kResultUnableToStore;
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
    return 0;
}

bool Universe::AddCitizen(int number, const std::string &name, const std::string &password,
                          const std::string &homePage) {
    CitizenRecord c;
    c.number = number;
    c.name = RepairUtf8(name.substr(0, kMaxStringLength));
    c.passwordHash = HashPassword(password, options_.passwordIterations);
    c.homePage = RepairUtf8(homePage.substr(0, kMaxStringLength));
    return number > 0 && !c.name.empty() && !c.passwordHash.empty() && store_.AddCitizen(c);
}
