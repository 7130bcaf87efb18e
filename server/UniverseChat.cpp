// Chat, whispers, console messages, clicks and URLs: what one session says or sends to others.

#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/ResultCodes.h"
#include "server/UniverseState.h"

namespace {
constexpr std::size_t kInboxSize = 64;
} // namespace

void Universe::Chat(Session &speaker, const std::string &text, int type) {
    speaker.lastSaid = text;
    if (!speaker.world)
        return;
    // Encoded once, when the first listener turns up; every listener gets the same bytes.
    bool made = false;
    const auto hear = [&](Session &o) {
        if (!made) {
            chatFrame_.clear();
            FrameWriter w(chatFrame_, static_cast<std::uint16_t>(MessageType::Event), 0, kEventChat);
            w.Int(kAttrChatSession, speaker.id).String(kAttrAvatarName, speaker.name);
            w.String(kAttrChatMessage, text).Int(kAttrChatType, type);
            w.Finish();
            made = true;
        }
        SendEvent(o, chatFrame_);
    };
    World &w = *speaker.world;
    w.grid.ForEachNear(speaker.gridCell, [&](Session &o) {
        if (&o != &speaker && o.client && !o.global && InRange(o, speaker))
            hear(o);
    });
    for (Session *o : w.globals)
        if (o != &speaker)
            hear(*o);
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
