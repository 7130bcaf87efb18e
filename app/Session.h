#pragma once

#include "app/Settings.h"
#include "chat/WorldRecords.h"
#include "common/Version.h"
#include "login/LoginValues.h"
#include "places/Position.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class ChatPane;
class MainView;

// Who a command or a whisper is addressed to: a name from the Users list and its session.
struct PersonRef {
    std::string name;
    int session = 0;
    bool operator==(const PersonRef &) const = default;
};

// Why the start sequence stopped: the step, the SDK's reason (0 for a check of the login values) and the first line
// it wrote about it.
struct StartFailure {
    enum class Step { LoginValues, Create, Login, Enter };
    Step step = Step::LoginValues;
    int reason = 0;
    std::string message;
};

// The bot's session with the universe: the login, the world entries, the reactions to world and connection events,
// and sending from the say and whisper boxes. Everything runs on the window's thread; SDK handlers run inside Pump.
class Session {
public:
    // Lines and a reset of the people lists belong to the roster; until it is attached these do nothing.
    struct PeopleHooks {
        std::function<void()> reset;        // empty the roster, the Users list, the counters and the map marks
        std::function<void()> install;      // install the people and chat event handlers
        std::function<void()> worldEntered; // after an entry (first or later) succeeded
        std::function<void(int reason)> disconnected; // the world's connection ended, for whatever reason
    };

    Session(MainView &view, ChatPane &chat, Settings &settings);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void SetLoginValues(const LoginValues &values) { login_ = values; }
    const LoginValues &Login() const { return login_; }
    void SetPeopleHooks(PeopleHooks hooks) { people_ = std::move(hooks); }
    // Looks up the avatar number remembered for a world (0 when none).
    void SetAvatarLookup(std::function<int(const std::string &world)> lookup) { avatarLookup_ = std::move(lookup); }

    // The start sequence, run after the login dialog (at the program's start, and again from File, Login...). Every
    // failure is a chat-pane line.
    void StartBot();
    // Leaves the universe before a new start: destroys the bot instance and forgets what belonged to it (the people,
    // the worlds, the world's menu items). Harmless when no bot was ever made.
    void LogOut();
    // Why the last start did not get the bot into its world; nothing after a successful start.
    const std::optional<StartFailure> &StartFailed() const { return startFailure_; }
    // Re-enter after every lost connection, whatever ReenterWorld says (a bot nobody watches).
    void SetAlwaysReenter(bool always) { alwaysReenter_ = always; }
    // Enters the world picked in the Worlds list, at its centre.
    void EnterWorld();
    void SetWorldToEnter(std::string world) { worldToEnter_ = std::move(world); }
    // Enters a world at a position: a teleport.
    void EnterWorldAt(const std::string &world, int z, int x, int y, int yaw);
    // Empties what belongs to the world being left.
    void SessionReset();

    // Timer 42: delivers SDK events, then shows what they asked to show once the pump has returned.
    void Pump();
    // Timer 43: asks for the world list again; nothing while no bot is logged in.
    void RequestWorldList();
    // Timer 44: the clock label's text now.
    std::string ClockText(std::time_t now) const;

    // SEND, or Enter in either box. A text that cannot be sent whole stays in its box, with a line saying why.
    void Send();
    // Says or whispers a line as the boxes do (global mode included), with its line in the pane, or a line saying
    // why not; the boxes are left alone. The SDK's result.
    int SayLine(const std::string &text);
    int WhisperLine(const PersonRef &to, const std::string &text);
    // The most UTF-8 bytes the say box can send now (fewer in global mode, where the bot's name goes in front).
    std::size_t SayByteLimit() const;

    // The handlers of the world and connection events (public so the window and tests can drive them).
    void OnWorldAttributes();
    void OnWorldInfo();
    void OnWorldDisconnected();
    void OnUniverseTime();
    void OnEnterResult(int result, bool atPendingPosition);

    void AppendWorldInfoLines();
    void ReportGlobalMode();
    bool EminentDomain() const;

    // Shutdown: destroys the bot instance (the settings and lists are written by the owner).
    void Shutdown();

    // Session state read by the other parts of the program.
    bool Started() const { return started_; }
    bool LoggedIn() const { return loggedIn_; }
    const std::string &OwnerName() const { return ownerName_; }
    bool GlobalModeActive() const { return globalMode_; }
    bool ReentryPending() const { return reentryPending_; }
    const WorldRecords &Worlds() const { return worlds_; }
    std::int64_t UniverseTimeOffset() const { return universeTimeOffset_; }
    bool UniverseTimeKnown() const { return universeTimeKnown_; }
    const Position &PendingArrival() const { return pendingArrival_; }

    PersonRef selectedUser;  // the Users-list row the people menu was last opened on; cleared by SessionReset
    PersonRef whisperTarget; // the row last clicked; receives the whisper box; never cleared

    // Called once the bot has started in its first world.
    std::function<void()> onStarted;
    // Called when a disconnection leaves the bot in no world (an ejection, a refused re-entry, a lost connection
    // that is not re-entered), with the reason and the message the user is shown.
    std::function<void(int reason, const std::string &message)> onStranded;
    // Called with the world list rows changed (the last batch arrived), so the Worlds list can rebuild.
    std::function<void()> onWorldListComplete;

    static bool IsReservedBotName(std::string_view name);

private:
    void OnWorldListResult(int result);
    void Append(const std::string &text, std::uint32_t colour, bool bold = false, bool italic = false);
    void InstallHandlers();
    void ArriveAt(const Position &position);
    void AfterEntry();
    void FailStart(StartFailure::Step step, int reason, const std::string &message);
    void LogoutAfterFailure(int reason, const std::string &message);
    void SetWhisperLabelForBuild();
    void EnableWorldItems(bool enabled = true);
    void SetNowhereTitle();
    std::string GlobalPrefix() const;
    int SendSay(const std::string &text);
    int SendGlobal(const std::string &text);
    void NotSent(std::string_view format, int code);

    MainView &view_;
    ChatPane &chat_;
    Settings &settings_;
    LoginValues login_;
    PeopleHooks people_;
    std::function<int(const std::string &)> avatarLookup_;

    bool started_ = false;
    bool loggedIn_ = false; // the bot instance is logged in to the universe (it may be in no world)
    std::string ownerName_;
    std::string worldToEnter_;
    Position pendingArrival_;
    bool globalMode_ = false;
    int worldListRefusal_ = 0; // the last refusal of a world-list request reported, repeated ones are not
    bool reentryPending_ = false;
    bool alwaysReenter_ = false;
    std::optional<StartFailure> startFailure_;
    std::int64_t universeTimeOffset_ = 0;
    bool universeTimeKnown_ = false;
    WorldRecords worlds_;
    // A disconnection's message box and Teleport dialog wait until the pump has returned: a modal dialog inside a
    // handler would hold the SDK's delivery open.
    std::optional<std::string> pendingDisconnectBox_;
};
