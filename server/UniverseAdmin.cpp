// Administration: world and universe attributes, the world list, look-ups, addresses and teleports of others.

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"
#include "server/WorldAttributes.h"

void Universe::AppendWorldAttributes(FrameWriter &out, const World &w, const Session &s) const {
    out.String(kAttrWorldName, w.record.name);
    for (const auto &[n, v] : w.record.attributes)
        WriteAttribute(out, n, v);
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
