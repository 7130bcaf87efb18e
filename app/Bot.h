#pragma once

#include "app/Settings.h"
#include "chat/ChatLineFanOut.h"
#include "login/LoginValues.h"
#include "places/AvatarTable.h"
#include "places/TeleportList.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Automation;
class ScriptHost;
class BotEvents;
class ChatPane;
class HistoryRecorder;
class MainView;
class People;
struct PeopleEvent;
class PeopleView;
class RuleEngine;
class Session;
class SessionActions;

// Everything the bot does without a user: the settings, the chat pane and its history, the session with its entry
// and re-entry, the people with the chat and look-up handlers (the owner and version answers among them), the
// visitor ledger, the remembered places and avatars, and the timers that pump the SDK. No widget: a window or a
// terminal plugs its own views in, and both run these same handlers. The user's files live in home.
class Bot {
public:
    Bot(std::string home, Settings settings);
    ~Bot();
    Bot(const Bot &) = delete;
    Bot &operator=(const Bot &) = delete;

    // The screens the session and the people write to, plugged in once, before the bot is started; the session and
    // the people exist from then on. Both must outlive the bot.
    void Plug(MainView &main, PeopleView &people);
    // The SDK pump, the world-list timer and automation's tick; they may run before a bot is logged in.
    void StartTimers();
    // Logs in and enters with the values given. Every failure is a chat-pane line (and Session::StartFailure).
    void Start(const LoginValues &values);
    // Stops the timers, destroys the bot instance, ends the visits, writes the history's queue and then the
    // settings and lists. Harmless when repeated.
    void Shutdown();
    void SetRecordHistory(bool record);

    std::string File(const char *name) const { return home_ + "/" + name; }
    const std::string &Home() const { return home_; }
    Settings &GetSettings() { return settings_; }
    ChatPane &Chat() { return *chat_; }
    // Every ended chat-pane line, for whoever wants to hear them besides the history.
    ChatLineFanOut &Lines() { return lines_; }
    HistoryRecorder &History() { return *history_; }
    Session &GetSession() { return *session_; }
    People &GetPeople() { return *people_; }
    // The rules and scripts hear the bot's events here and act through it; it exists once the views are plugged.
    Automation &GetAutomation() { return *automation_; }
    // The scripts of the data folder's scripts/, looked at again on every tick of automation.
    ScriptHost &Scripts() { return *scripts_; }
    SessionActions &Actions() { return *actions_; }
    RuleEngine &Rules() { return *rules_; }
    // Reads the rules file again (at start, and after the window saved it); its problems are pane lines.
    void ReloadRules();
    // Whether this bot's own rules and scripts act (the default). Not while a window is attached to a bot that runs
    // elsewhere: that bot acts by its own rules, and the window's would make every automatic action happen twice.
    // Off, the scripts are unloaded; on again, the rules and scripts are read at the next Start.
    void SetAutomationOn(bool on);
    bool AutomationOn() const { return automationOn_; }
    // Besides automation, who hears what the people handlers took in, and every disconnection from a world with
    // its reason; called in the order added.
    void AddPeopleListener(std::function<void(const PeopleEvent &event)> listener);
    void AddDisconnectListener(std::function<void(int reason)> listener);
    TeleportList &Teleports() { return teleports_; }
    AvatarTable &Avatars() { return avatars_; }

private:
    void BuildHistory();
    void LoadPlaces();
    void BuildPeople(PeopleView &view);
    void BuildAutomation();

    std::string home_;
    Settings settings_;
    std::unique_ptr<ChatPane> chat_;
    ChatLineFanOut lines_;
    std::unique_ptr<HistoryRecorder> history_;
    TeleportList teleports_;
    AvatarTable avatars_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<People> people_;
    std::unique_ptr<SessionActions> actions_;
    std::unique_ptr<Automation> automation_;
    std::unique_ptr<BotEvents> events_;
    std::unique_ptr<ScriptHost> scripts_;
    std::unique_ptr<RuleEngine> rules_;
    QTimer pump_;
    QTimer automationTick_;
    QTimer worldListTimer_;
    bool shutDown_ = false;
    bool automationOn_ = true;
    bool automationRead_ = false; // the rules and scripts read since automation was last turned on
    std::vector<std::function<void(const PeopleEvent &)>> peopleListeners_;
    std::vector<std::function<void(int)>> disconnectListeners_;
};
