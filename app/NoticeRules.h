#pragma once

#include "app/Settings.h"
#include "chat/PeopleEvent.h"

#include <optional>
#include <string>
#include <string_view>

// A desktop notice: its headline and its text.
struct Notice {
    std::string title;
    std::string body;
    bool operator==(const Notice &) const = default;
};

// Which of the bot's moments deserve a desktop notice, and the count of whispers nobody has seen yet. Nothing is
// said while the main window is the active one: the user is reading it already.
class NoticeRules {
public:
    explicit NoticeRules(const Settings &settings) : settings_(settings) {}

    // A whisper, or a chat line that names the bot (botName without brackets). Counts an unseen whisper.
    std::optional<Notice> ForPeopleEvent(const PeopleEvent &event, std::string_view botName, bool windowActive);
    // The bot was disconnected from its world, for the reason given.
    std::optional<Notice> ForDisconnect(int reason, bool windowActive) const;

    int UnreadWhispers() const { return unread_; }
    // The user came to the window: every whisper is seen.
    void WindowActivated() { unread_ = 0; }

    // Whether text holds name as a word of its own, without regard to ASCII letter case.
    static bool NamesBot(std::string_view text, std::string_view name);

private:
    const Settings &settings_;
    int unread_ = 0;
};
