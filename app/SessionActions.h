#pragma once

#include "automation/BotActions.h"

#include <functional>
#include <string>

class ChatPane;
class People;
class Session;

// Automation's actions carried out as the window's commands carry them out: the say and whisper boxes' sending,
// the eject dialog's request, the teleport list's entry, with the rights those commands are offered under.
class SessionActions : public BotActions {
public:
    // home is the data folder, whose history the searches read.
    SessionActions(Session &session, People &people, ChatPane &chat, std::string home);

    // Where desktop notifications go; without one they are pane lines.
    void SetNotifier(std::function<void(const std::string &title, const std::string &text)> notifier) {
        notifier_ = std::move(notifier);
    }

    ActionResult Say(const std::string &text) override;
    ActionResult Whisper(int session, const std::string &text) override;
    ActionResult ConsoleMessage(int session, const std::string &text) override;
    ActionResult Eject(int session, int minutes) override;
    ActionResult Teleport(const std::string &world, int x, int y, int z, int yaw) override;
    void Notice(const std::string &text) override;
    void Notify(const std::string &title, const std::string &text) override;
    std::vector<PresentPerson> PeoplePresent() override;
    std::optional<PresentPerson> FindPerson(const std::string &name) override;
    std::string World() override;
    int WorldBuild() override;
    std::vector<HistoryHit> SearchHistory(const std::string &query, const std::string &person, int limit) override;

private:
    Session &session_;
    People &people_;
    ChatPane &chat_;
    std::string home_;
    std::function<void(const std::string &, const std::string &)> notifier_;
};
