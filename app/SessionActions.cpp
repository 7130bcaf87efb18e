#include "app/SessionActions.h"

#include "app/Session.h"
#include "chat/ChatPane.h"
#include "chat/People.h"
#include "common/TextCase.h"
#include "history/HistoryReader.h"
#include "sdk/Attributes.h"
#include "sdk/ReasonText.h"
#include "sdk/Sdk.h"

#include <algorithm>

namespace {

// Worlds up to this build know no whispers.
constexpr int kLastBuildWithoutWhisper = 16;
constexpr int kReasonNotAvailable = 474;
constexpr int kReasonNoSuchSession = 67;

ActionResult Result(int code) { return code == 0 ? ActionResult{} : ActionResult{code, ReasonText(code)}; }

ActionResult NoRight(const char *what) {
    return {kActionNoRight, std::string("The bot has no right to ") + what + "."};
}

PresentPerson InfoOf(const AvatarRecord &record) {
    PresentPerson info;
    info.name = record.name;
    info.session = record.session;
    if (record.citizen != 0) {
        info.citizen = record.citizen;
    }
    info.personClass = ClassOfName(record.name);
    info.x = record.x;
    info.y = record.y;
    info.z = record.z;
    return info;
}

} // namespace

SessionActions::SessionActions(Session &session, People &people, ChatPane &chat, std::string home)
    : session_(session), people_(people), chat_(chat), home_(std::move(home)) {}

ActionResult SessionActions::Say(const std::string &text) {
    if (WorldBuild() > kLastBuildWithoutWhisper && !SdkGetBool(kAttrWorldSpeech)) {
        return NoRight("speak here");
    }
    return Result(session_.SayLine(text));
}

ActionResult SessionActions::Whisper(int session, const std::string &text) {
    if (WorldBuild() <= kLastBuildWithoutWhisper) {
        return Result(kReasonNotAvailable);
    }
    const AvatarRecord *record = people_.Roster().Find(session);
    if (!record) {
        return Result(kReasonNoSuchSession);
    }
    return Result(session_.WhisperLine(PersonRef{record->name, session}, text));
}

ActionResult SessionActions::ConsoleMessage(int session, const std::string &text) {
    if (!SdkGetBool(kAttrWorldCaretaker)) {
        return NoRight("send console messages");
    }
    int r = SdkSetString(kAttrConsoleMessage, text);
    if (r == 0) {
        SdkSetInt(kAttrConsoleRed, 0);
        SdkSetInt(kAttrConsoleGreen, 0);
        SdkSetInt(kAttrConsoleBlue, 0);
        SdkSetBool(kAttrConsoleBold, false);
        SdkSetBool(kAttrConsoleItalics, false);
        r = SdkConsoleMessage(session);
    }
    return Result(r);
}

ActionResult SessionActions::Eject(int session, int minutes) {
    // The people menu offers Eject... under the same rights.
    if (!SdkGetBool(kAttrWorldEject)) {
        return NoRight("eject");
    }
    const AvatarRecord *record = people_.Roster().Find(session);
    if (!record) {
        return Result(kReasonNoSuchSession);
    }
    const std::string name = record->name;
    SdkSetInt(kAttrEjectSession, session);
    SdkSetInt(kAttrEjectDuration, std::clamp(minutes, 1, 60 * 24 * 365) * 60);
    const int r = SdkWorldEject();
    if (r == 0) {
        chat_.AppendChatLine("Ejected " + name + " for " + std::to_string(std::clamp(minutes, 1, 60 * 24 * 365)) +
                                 " minutes.",
                             ChatColour::Teal, false, false, false, true);
    }
    return Result(r);
}

ActionResult SessionActions::Teleport(const std::string &world, int x, int y, int z, int yaw) {
    if (!session_.Started()) {
        return Result(439);
    }
    session_.EnterWorldAt(world.empty() ? World() : world, z, x, y, yaw);
    return {};
}

void SessionActions::Notice(const std::string &text) {
    chat_.AppendChatLine(text, ChatColour::Green, false, false, false, true);
}

void SessionActions::Notify(const std::string &title, const std::string &text) {
    if (notifier_) {
        notifier_(title, text);
    } else {
        Notice(title + ": " + text);
    }
}

std::vector<PresentPerson> SessionActions::PeoplePresent() {
    std::vector<PresentPerson> people;
    people_.Roster().ForEach([&](const AvatarRecord &record) { people.push_back(InfoOf(record)); });
    return people;
}

std::optional<PresentPerson> SessionActions::FindPerson(const std::string &name) {
    std::optional<PresentPerson> found;
    people_.Roster().ForEach([&](const AvatarRecord &record) {
        if (!found && (EqualsNoCase(record.name, name) || EqualsNoCase(BareName(record.name), name))) {
            found = InfoOf(record);
        }
    });
    return found;
}

std::string SessionActions::World() { return SdkGetString(kAttrWorldName); }

int SessionActions::WorldBuild() { return SdkGetInt(kAttrWorldBuildNumber); }

std::vector<HistoryHit> SessionActions::SearchHistory(const std::string &query, const std::string &person,
                                                      int limit) {
    std::vector<HistoryHit> hits;
    HistoryReader reader;
    std::string error;
    if (!reader.Open(home_, false, error)) {
        return hits;
    }
    HistoryFilter filter;
    filter.person = person;
    const HistoryResult result = reader.Search(query, filter, std::clamp(limit, 1, 1000));
    for (const HistoryLine &line : result.lines) {
        hits.push_back({line.time, line.world, line.speaker, line.text});
    }
    return hits;
}
