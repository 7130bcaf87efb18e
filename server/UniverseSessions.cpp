// Sessions and who sees whom: logging in, entering and leaving worlds, moving, and the avatar events that follow.

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/PasswordHash.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

bool Universe::InRange(const Session &a, const Session &b) const {
    const std::int64_t r = options_.hearingRadius;
    const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
    const std::int64_t dz = static_cast<std::int64_t>(a.z) - b.z;
    if (dx > r || dx < -r || dz > r || dz < -r)
        return false;
    return dx * dx + dz * dz <= r * r;
}

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

void Universe::UpdateView(Session &o, const Session &subject, bool moved) {
    // Only the observer's own entry or move shows it a subject that did not move: one that was there already.
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
    if (event == kEventAvatarAdd)
        w.Bool(kAttrAvatarAlreadyThere, !moved);
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
