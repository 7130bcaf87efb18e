#include "chat/People.h"

#include "chat/ChatPane.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

People::People(ChatPane &chat, PeopleView &view, PeopleSettings settings, PeopleSession session)
    : context_{chat, view, settings, std::move(session), roster_, muted_, {}}, chat_(context_), lookups_(context_) {}

void People::InstallHandlers() {
    SdkSetEventHandler(kEventAvatarAdd, guard_.Wrap([this] { OnAvatarAdd(); }));
    SdkSetEventHandler(kEventChat, guard_.Wrap([this] { chat_.OnChat(); }));
    SdkSetEventHandler(kEventAvatarDelete, guard_.Wrap([this] { OnAvatarDelete(); }));
    SdkSetEventHandler(kEventAvatarChange, guard_.Wrap([this] { OnAvatarChange(); }));
    SdkSetEventHandler(kEventAvatarClick, guard_.Wrap([this] { lookups_.OnAvatarClick(); }));
    SdkSetEventHandler(kEventUrl, guard_.Wrap([this] { lookups_.OnUrl(); }));
    SdkSetEventHandler(kEventConsoleMessage, guard_.Wrap([this] { chat_.OnConsoleMessage(); }));
    SdkSetEventHandler(kEventPaneLine, guard_.Wrap([this] { chat_.OnPaneLine(); }));
}

void People::Reset() {
    // An entry or a lost connection ends the visit of everyone still listed.
    if (ChatHistory *history = context_.chat.History()) {
        history->LeaveAll();
    }
    users_.Clear();
    userCount_ = 0;
    botCount_ = 0;
    context_.view.SetCounters(0, 0);
    context_.view.ClearMarks();
    roster_.Clear();
}

void People::Count(const std::string &name, int change) { (IsBotName(name) ? botCount_ : userCount_) += change; }

void People::EntryLine(const AvatarRecord &record) {
    const std::string name = PlainLine(record.name);
    std::string text;
    if (record.citizen != 0 && record.privilege == record.citizen) {
        text = name + " (citizen " + std::to_string(record.citizen) + ") has entered.";
    } else if (record.citizen != 0) {
        text = name + " (citizen " + std::to_string(record.citizen) + "; privileges of " +
               std::to_string(record.privilege) + ") has entered.";
    } else if (record.privilege != 0) {
        text = name + " (privileges of " + std::to_string(record.privilege) + ") has entered.";
    } else {
        text = name + " has entered.";
    }
    const ChatPane::LineContextScope line(context_.chat, {LineKind::Notice, {}, {}, ChatLineFlag::EnterExit});
    context_.TimestampIfWanted();
    context_.Green("Immigration Officer: " + text);
}

void People::OnAvatarAdd() {
    AvatarRecord record;
    record.name = SdkGetString(kAttrAvatarName);
    record.session = SdkGetInt(kAttrAvatarSession);
    record.x = SdkGetInt(kAttrAvatarX);
    record.y = SdkGetInt(kAttrAvatarY);
    record.z = SdkGetInt(kAttrAvatarZ);
    record.yaw = SdkGetInt(kAttrAvatarYaw);
    record.avatarType = SdkGetInt(kAttrAvatarType);
    record.browserBuild = SdkGetInt(kAttrAvatarBuild);
    record.citizen = SdkGetInt(kAttrAvatarCitizen);
    record.privilege = SdkGetInt(kAttrAvatarPrivilege);

    if (context_.settings.displayEnterExit) {
        EntryLine(record);
    }
    // A second arrival of a session replaces its row and its count, so no row is left behind that no departure
    // would ever remove.
    if (const AvatarRecord *earlier = roster_.Find(record.session)) {
        Count(earlier->name, -1);
    }
    if (ChatHistory *history = context_.chat.History()) {
        history->Arrive(record.name, record.citizen != 0 ? std::optional<int>(record.citizen) : std::nullopt,
                        record.session);
    }
    users_.Insert(record.name, record.session, muted_.IsMuted(record.name));
    const PeopleEvent arrival{PeopleEvent::Kind::Arrival,
                              record.name,
                              record.session,
                              record.citizen != 0 ? std::optional<int>(record.citizen) : std::nullopt,
                              {},
                              SdkGetBool(kAttrAvatarAlreadyThere)};
    Count(record.name, 1);
    context_.view.SetCounters(userCount_, botCount_);
    context_.view.AddOrMoveMark(record.session, record.name, record.x, record.z);
    roster_.Add(std::move(record));
    if (context_.settings.playAvEntrySound && !context_.settings.avEntryWaveLocation.empty()) {
        context_.view.PlaySound(context_.settings.avEntryWaveLocation);
    }
    // Last: the person is listed when a listener acts on the arrival.
    context_.Tell(arrival);
}

void People::OnAvatarChange() {
    const int session = SdkGetInt(kAttrAvatarSession);
    const std::string name = SdkGetString(kAttrAvatarName);
    const int x = SdkGetInt(kAttrAvatarX);
    const int z = SdkGetInt(kAttrAvatarZ);
    roster_.Update(session, x, SdkGetInt(kAttrAvatarY), z, SdkGetInt(kAttrAvatarYaw), SdkGetInt(kAttrAvatarType));
    context_.view.AddOrMoveMark(session, name, x, z);
}

void People::OnAvatarDelete() {
    const int session = SdkGetInt(kAttrAvatarSession);
    const std::string name = SdkGetString(kAttrAvatarName);
    const bool stillThere = SdkGetBool(kAttrAvatarStillThere);
    const AvatarRecord *record = roster_.Find(session);
    if (!record) {
        // Nobody we list; but a change event may have put a mark of it on the map, which must not stay there.
        context_.view.RemoveMark(session);
        return;
    }
    if (context_.settings.displayEnterExit) {
        const ChatPane::LineContextScope line(context_.chat, {LineKind::Notice, {}, {}, ChatLineFlag::EnterExit});
        context_.TimestampIfWanted();
        context_.Green("Immigration Officer: " + PlainLine(name) + " has exited.");
    }
    if (ChatHistory *history = context_.chat.History()) {
        history->Leave(session);
    }
    users_.Remove(session);
    // Counted by the name it arrived with, which is the one that was counted.
    Count(record->name, -1);
    context_.view.SetCounters(userCount_, botCount_);
    if (session == context_.session.whisperTarget.session) {
        context_.view.SetWhisperText("");
        context_.view.SetWhisperLabel(PeopleContext::WorldBuild() <= 16 ? ChatText::WorldWithoutWhisper
                                                                        : ChatText::SelectName);
        context_.view.EnableWhisperBox(false);
    }
    context_.view.RemoveMark(session);
    roster_.Remove(session);
    PeopleEvent departure{PeopleEvent::Kind::Departure, name, session, {}, {}};
    departure.stillThere = stillThere;
    context_.Tell(departure);
}

PeopleMenuState People::OpenMenu(const std::string &name, int session) {
    context_.session.selectedUser.name = name;
    context_.session.selectedUser.session = session;
    PeopleMenuFacts facts;
    facts.name = name;
    facts.muted = muted_.IsMuted(name);
    facts.worldBuild = PeopleContext::WorldBuild();
    facts.eject = SdkGetBool(kAttrWorldEject);
    facts.caretaker = SdkGetBool(kAttrWorldCaretaker);
    facts.globalMode = context_.session.globalModeActive && context_.session.globalModeActive();
    if (const AvatarRecord *record = roster_.Find(session)) {
        facts.browserBuild = record->browserBuild;
    }
    return PeopleMenuFor(facts);
}

bool People::RunCommand(int command) {
    switch (command) {
    case PeopleCommand::GetCitNumber:
        lookups_.GetCitNumber();
        return true;
    case PeopleCommand::LookupIp:
        lookups_.LookupIp();
        return true;
    case PeopleCommand::ClickUser:
        ClickUser();
        return true;
    case PeopleCommand::GetVersion:
        chat_.GetVersion();
        return true;
    case PeopleCommand::GetHomePage:
        lookups_.GetHomePage();
        return true;
    case PeopleCommand::Mute:
        Mute();
        return true;
    case PeopleCommand::Unmute:
        Unmute();
        return true;
    default:
        return false;
    }
}

void People::Mute() {
    if (!context_.HasSelectedUser()) {
        return;
    }
    const std::string name = context_.session.selectedUser.name;
    muted_.Mute(name);
    context_.Green("Immigration Officer: Now muting " + PlainLine(name) + ".");
    users_.SetMuted(name, true);
}

void People::Unmute() {
    if (!context_.HasSelectedUser()) {
        return;
    }
    const std::string name = context_.session.selectedUser.name;
    muted_.Unmute(name);
    users_.SetMuted(name, false);
    context_.Green("Immigration Officer: Now listening to " + PlainLine(name) + " again.");
}

void People::ClickUser() {
    if (context_.HasSelectedUser()) {
        SdkAvatarClick(context_.session.selectedUser.session);
    }
}
