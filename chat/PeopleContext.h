#pragma once

#include "chat/PeopleEvent.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class AvatarRoster;
class ChatPane;
class MutedNames;

// What the people handlers show outside the chat pane. The main window implements it (several of these have the
// same form as the window's own), tests implement it with a recorder.
class PeopleView {
public:
    virtual ~PeopleView() = default;
    // The two counters below the Users list.
    virtual void SetCounters(int users, int bots) = 0;
    virtual void SetWhisperLabel(std::string_view text) = 0;
    virtual void SetWhisperText(std::string_view text) = 0;
    virtual void EnableWhisperBox(bool enabled) = 0;
    // Plays a wave file without waiting; a missing file or sound device is silence.
    virtual void PlaySound(const std::string &path) = 0;
    // The avatar map's marks.
    virtual void AddOrMoveMark(int session, const std::string &name, int x, int z) = 0;
    virtual void RemoveMark(int session) = 0;
    virtual void ClearMarks() = 0;
};

// The settings the handlers read, bound to the live settings record so a change in the Settings dialog counts at
// the next event.
struct PeopleSettings {
    const bool &displayEnterExit;
    const bool &timestampMsgs;
    const bool &playAvEntrySound;
    const std::string &avEntryWaveLocation;
    const bool &playWave;
    const std::string &waveLocation;
    const bool &showAvClicks;
};

// A name and session kept by the session object.
struct PersonSlot {
    std::string &name;
    int &session;
};

// The session values the handlers read and write, bound to where the session keeps them.
struct PeopleSession {
    const std::string &botName;   // the login name, without brackets
    const int &citizen;           // the citizen the bot logged in with
    const std::string &ownerName; // that citizen's name as found at login, or "<number>"
    PersonSlot selectedUser;      // the row the people menu was last opened on
    PersonSlot whisperTarget;     // the row last clicked; the whisper box speaks to it
    std::function<bool()> globalModeActive;
};

// Everything the roster, chat and look-up handlers share.
struct PeopleContext {
    ChatPane &chat;
    PeopleView &view;
    PeopleSettings settings;
    PeopleSession session;
    AvatarRoster &roster;
    MutedNames &muted;
    // Hears each arrival, departure, chat line, whisper, click on the bot and URL the handlers took in.
    std::function<void(const PeopleEvent &event)> listener;

    // A whole line in the chat pane.
    void Line(std::string_view text, std::uint32_t colour, bool bold = false, bool italic = false) const;
    void Green(std::string_view text) const;
    // The timestamp run before a line, when TimestampMsgs is on.
    void TimestampIfWanted() const;
    // The build of the world server the bot is in.
    static int WorldBuild();
    void Tell(const PeopleEvent &event) const {
        if (listener) {
            listener(event);
        }
    }
    bool HasSelectedUser() const { return !session.selectedUser.name.empty() || session.selectedUser.session != 0; }
};

// Other people's text as one line of plain characters: line breaks and tabs become blanks, so nobody can start a
// line of their own in the pane that looks like one of the program's notices.
std::string PlainLine(std::string_view text);

// SDK handlers stay installed until replaced, so they can outlive the object that installed them. Wrapped handlers
// run their body only while their guard exists.
class HandlerGuard {
public:
    HandlerGuard() = default;
    HandlerGuard(const HandlerGuard &) = delete;
    HandlerGuard &operator=(const HandlerGuard &) = delete;

    template <class Body> auto Wrap(Body body) const {
        return [alive = std::weak_ptr<const int>(token_), body = std::move(body)](auto... args) {
            if (!alive.expired()) {
                body(args...);
            }
        };
    }

private:
    std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};
