#pragma once

#include "chat/PeopleContext.h"

#include <string>

namespace ChatText {
inline constexpr const char *NoWhisperHere = "This world does not support whisper.";
inline constexpr const char *SelectName = "Select a name from the userlist.";
inline constexpr const char *WorldWithoutWhisper = "World doesn't support whisper.";
} // namespace ChatText

// What other avatars say: public chat and whispers by type, the owner and version questions answered by whisper,
// console messages; and the two whisper acts of the Users list: choosing the whisper target and Get Version.
class IncomingChat {
public:
    explicit IncomingChat(PeopleContext &context) : context_(context) {}

    // Event 6.
    void OnChat();
    // Event 29.
    void OnConsoleMessage();
    // Event 30: a line another Gabbler showed, shown here as it was (its colour, emphasis and time).
    void OnPaneLine();

    // A click on a Users-list row.
    void ChooseWhisperTarget(const std::string &name, int session);
    // "Get Version" on the selected person.
    void GetVersion();

    // "<bot> owner" and "<bot> version": the questions anybody may put to the bot, in any letter case.
    std::string OwnerTrigger() const;
    std::string VersionTrigger() const;
    std::string OwnerReply() const;
    static std::string VersionReply();

private:
    PeopleContext &context_;
};
