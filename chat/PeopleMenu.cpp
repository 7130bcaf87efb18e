#include "chat/PeopleMenu.h"

#include "chat/AvatarRoster.h"

namespace {

std::size_t IndexOf(int command) {
    for (std::size_t i = 0; i < kPeopleMenuItems.size(); ++i) {
        if (kPeopleMenuItems[i].command == command) {
            return i;
        }
    }
    return kPeopleMenuItems.size();
}

} // namespace

bool PeopleMenuState::Enabled(int command) const {
    const std::size_t i = IndexOf(command);
    return i < enabled.size() && enabled[i];
}

PeopleMenuState PeopleMenuFor(const PeopleMenuFacts &facts) {
    PeopleMenuState state;
    const auto set = [&state](int command, bool on) { state.enabled[IndexOf(command)] = on; };
    const bool bot = IsBotName(facts.name);
    const bool citizen = IsCitizenName(facts.name);
    const int build = facts.worldBuild;
    set(PeopleCommand::Eject, facts.eject);
    set(PeopleCommand::GetCitNumber, citizen || (bot && build >= 28));
    // A bot is asked by a whisper, which worlds of build 16 and lower cannot carry; a person's answer comes from the
    // roster and needs none.
    set(PeopleCommand::GetVersion, !(bot && (facts.globalMode || build <= 16)));
    set(PeopleCommand::TeleportUser, build >= 23 && (facts.eject || facts.caretaker));
    set(PeopleCommand::ClickUser, build >= 21);
    set(PeopleCommand::LookupIp, build >= 21 && (facts.eject || facts.caretaker));
    set(PeopleCommand::SendUrl, build >= 21 && facts.caretaker);
    set(PeopleCommand::GetHomePage, citizen && facts.browserBuild && *facts.browserBuild >= 361);
    set(PeopleCommand::Mute, !facts.muted);
    set(PeopleCommand::Unmute, facts.muted);
    set(PeopleCommand::CopyAvatar, true);
    set(PeopleCommand::JoinAvatar, true);
    set(PeopleCommand::FaceAvatar, true);
    return state;
}
