#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

namespace {
bool Active(const std::optional<EjectionRecord> &e, std::int64_t now) {
    return e && (e->expiration == 0 || e->expiration > now);
}
} // namespace

bool Universe::AdministersWorld(const World &w, const Session &s) const {
    return s.citizen == 1 || s.privilege == 1 || RightsOf(w, s).caretaker;
}

bool Universe::IsWorldEjected(const World &w, const Session &s) {
    // Those who administer a world are never kept out by its ejections: two bots on one machine share an address,
    // so an ejection by address would otherwise catch the caretaker who made it, with nobody left to lift it.
    if (AdministersWorld(w, s))
        return false;
    const std::int64_t now = Now();
    const std::string &world = w.record.name;
    if (Active(store_.FindWorldEjection(world, 0, static_cast<std::int32_t>(s.address)), now))
        return true;
    if (s.computerId != 0 && Active(store_.FindWorldEjection(world, 1, static_cast<std::int32_t>(s.computerId)), now))
        return true;
    return s.citizen != 0 && Active(store_.FindWorldEjection(world, 2, s.citizen), now);
}

bool Universe::IsUniverseEjected(std::uint32_t address) {
    return Active(store_.FindUniverseEjection(static_cast<std::int32_t>(address)), Now());
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
