#pragma once

#include "chat/AvatarRoster.h"
#include "chat/IncomingChat.h"
#include "chat/MutedNames.h"
#include "chat/PeopleContext.h"
#include "chat/PeopleLookups.h"
#include "chat/PeopleMenu.h"
#include "chat/UsersList.h"

#include <string>

// The people of the current world: the roster fed by the avatar events, the Users list with its Muted column,
// the two counters, the map marks, muting, and the right-click menu with the commands it leads to. It also
// holds the handlers of incoming chat and of the look-ups, which share its roster and muted names.
//
// Every reference given to it must outlive it. Its SDK handlers do nothing once it is gone.
class People {
public:
    People(ChatPane &chat, PeopleView &view, PeopleSettings settings, PeopleSession session);
    People(const People &) = delete;
    People &operator=(const People &) = delete;

    // Installs the handlers of the avatar events (0, 1, 2), chat (6), console messages (29), avatar clicks (20)
    // and URLs (21).
    void InstallHandlers();
    // On every world entry and disconnection: the roster, the Users list, the counters and the map marks are
    // emptied. Muted names stay for the whole run.
    void Reset();
    // Who hears what the handlers took in, besides the pane.
    void SetListener(std::function<void(const PeopleEvent &event)> listener) {
        context_.listener = std::move(listener);
    }

    // The avatar events.
    void OnAvatarAdd();
    void OnAvatarChange();
    void OnAvatarDelete();

    // The right-click menu opens on a row: that row becomes the selected person; the result says which items to
    // offer.
    PeopleMenuState OpenMenu(const std::string &name, int session);
    // Runs a menu command on the selected person. False for the commands whose dialogs and moves belong to other
    // parts of the program (Eject..., Send URL, Teleport User, Copy, Join and Face Avatar): the caller runs those.
    bool RunCommand(int command);
    void Mute();
    void Unmute();
    void ClickUser();
    // A click on a row.
    void ChooseWhisperTarget(const std::string &name, int session) { chat_.ChooseWhisperTarget(name, session); }

    const AvatarRoster &Roster() const { return roster_; }
    UsersList &Users() { return users_; }
    const UsersList &Users() const { return users_; }
    const MutedNames &Muted() const { return muted_; }
    int UserCount() const { return userCount_; }
    int BotCount() const { return botCount_; }
    IncomingChat &Chat() { return chat_; }
    PeopleLookups &Lookups() { return lookups_; }

private:
    void Count(const std::string &name, int change);
    void EntryLine(const AvatarRecord &record);

    AvatarRoster roster_;
    MutedNames muted_;
    UsersList users_;
    PeopleContext context_;
    IncomingChat chat_;
    PeopleLookups lookups_;
    int userCount_ = 0;
    int botCount_ = 0;
    HandlerGuard guard_;
};
