// Who sees whom: the avatar events that follow arriving, moving and leaving. Only the people within the hearing
// radius can be concerned, so each world's grid narrows the walk to the cells around the mover; those in global
// mode see the whole world and are walked on their own.

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/UniverseState.h"

#include <algorithm>

namespace {
std::size_t FrameSlot(int event) { return event == kEventAvatarAdd ? 0 : event == kEventAvatarChange ? 1 : 2; }
} // namespace

bool Universe::InRange(const Session &a, const Session &b) const {
    const std::int64_t r = options_.hearingRadius;
    const std::int64_t dx = static_cast<std::int64_t>(a.x) - b.x;
    const std::int64_t dz = static_cast<std::int64_t>(a.z) - b.z;
    if (dx > r || dx < -r || dz > r || dz < -r)
        return false;
    return dx * dx + dz * dz <= r * r;
}

void Universe::AppendAvatar(FrameWriter &w, const Session &s, bool full) const {
    w.Int(kAttrAvatarSession, s.id).String(kAttrAvatarName, s.name);
    w.Int(kAttrAvatarX, s.x).Int(kAttrAvatarY, s.y).Int(kAttrAvatarZ, s.z).Int(kAttrAvatarYaw, s.yaw);
    w.Int(kAttrAvatarType, s.type);
    if (full)
        w.Int(kAttrAvatarBuild, s.build).Int(kAttrAvatarCitizen, s.citizen).Int(kAttrAvatarPrivilege, s.privilege);
}

void Universe::EncodeAvatarEvent(std::string &out, int event, const Session &subject, bool moved) const {
    out.clear();
    FrameWriter w(out, static_cast<std::uint16_t>(MessageType::Event), 0, event);
    if (event == kEventAvatarDelete)
        w.Int(kAttrAvatarSession, subject.id).String(kAttrAvatarName, subject.name);
    else
        AppendAvatar(w, subject, event == kEventAvatarAdd);
    // Only the observer's own entry or move shows it a subject that did not move: one that was there already; and
    // only its own move takes out of its view a subject that did not move or leave: one that is still there.
    if (event == kEventAvatarAdd)
        w.Bool(kAttrAvatarAlreadyThere, !moved);
    else if (event == kEventAvatarDelete)
        w.Bool(kAttrAvatarStillThere, !moved);
    w.Finish();
}

int Universe::ViewChange(Session &o, const Session &subject, bool moved) {
    const bool sees = subject.visible && (o.global || InRange(o, subject));
    const bool knew = o.known.Contains(subject.id);
    if (sees && !knew) {
        o.known.Insert(subject.id);
        return kEventAvatarAdd;
    }
    if (sees && moved)
        return kEventAvatarChange;
    if (!sees && knew) {
        o.known.Erase(subject.id);
        return kEventAvatarDelete;
    }
    return -1;
}

void Universe::Place(Session &s, bool fresh) {
    World &w = *s.world;
    const GridCell before = s.gridCell;
    const GridCell now = w.grid.CellOf(s.x, s.z);
    if (fresh)
        w.grid.Insert(s, now);
    else
        w.grid.Move(s, now);
    // Whoever knew s stood within the radius of where s was; whoever sees s now stands within it of where s is.
    const GridCell was = fresh ? now : before;

    bool made[3] = {};
    const auto tell = [&](Session &o) {
        const int event = ViewChange(o, s, true);
        if (event < 0)
            return;
        const std::size_t slot = FrameSlot(event);
        if (!made[slot]) {
            EncodeAvatarEvent(avatarFrames_[slot], event, s, true);
            made[slot] = true;
        }
        SendEvent(o, avatarFrames_[slot]);
    };
    w.grid.ForEachNear(now, was, [&](Session &o) {
        if (&o != &s && o.client && !o.global)
            tell(o);
    });
    for (Session *o : w.globals)
        if (o != &s)
            tell(*o);

    if (!s.client)
        return;
    const auto see = [&](const Session &m) {
        const int event = ViewChange(s, m, false);
        if (event < 0)
            return;
        EncodeAvatarEvent(ownFrame_, event, m, false);
        SendEvent(s, ownFrame_);
    };
    if (s.global) {
        for (const Session *m : w.members)
            if (m != &s)
                see(*m);
        return;
    }
    nearby_.clear();
    w.grid.ForEachNear(now, was, [&](Session &m) {
        if (&m != &s)
            nearby_.push_back(&m);
    });
    // In the order they came, as a walk of the whole world would tell them.
    std::sort(nearby_.begin(), nearby_.end(),
              [](const Session *a, const Session *b) { return a->joinOrder < b->joinOrder; });
    for (const Session *m : nearby_)
        see(*m);
}

void Universe::Join(World &w, Session &s) {
    s.world = &w;
    s.rights = RightsOf(w, s);
    s.joinOrder = ++w.joins;
    w.members.push_back(&s);
    if (s.client) {
        w.observers.push_back(&s);
        if (s.global)
            w.globals.push_back(&s);
    }
    Place(s, true);
}

void Universe::RemoveFromWorld(Session &s) {
    if (!s.world)
        return;
    World &w = *s.world;
    bool made = false;
    std::string &frame = avatarFrames_[FrameSlot(kEventAvatarDelete)];
    const auto forget = [&](Session &o) {
        if (&o == &s || !o.client || !o.known.Erase(s.id))
            return;
        if (!made) {
            EncodeAvatarEvent(frame, kEventAvatarDelete, s, true);
            made = true;
        }
        SendEvent(o, frame);
    };
    w.grid.ForEachNear(s.gridCell, [&](Session &o) {
        if (!o.global)
            forget(o);
    });
    for (Session *o : w.globals)
        forget(*o);
    w.grid.Remove(s);
    std::erase(w.members, &s);
    std::erase(w.observers, &s);
    std::erase(w.globals, &s);
    s.known.Clear();
    s.world = nullptr;
    s.global = false;
    s.visible = !s.client;
    s.rights = {};
}
