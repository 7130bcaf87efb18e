// Sessions and who sees whom: logging in, entering and leaving worlds, moving, and the avatar events that follow.

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/PasswordHash.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

void Universe::SendEvent(Session &to, const std::string &frame) {
    Client *c = to.client;
    if (!c)
        return;
    if (c->hold)
        c->held += frame;
    else
        c->link->Send(frame);
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
