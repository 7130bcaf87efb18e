#include "server/Universe.h"

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"
#include "server/WorldAttributes.h"

#include <algorithm>
#include <ctime>

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
        auto w = std::make_unique<World>(options_.hearingRadius);
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
            WriteAttribute(w, n, v);
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
