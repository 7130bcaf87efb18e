#pragma once

#include "admin/AdminSdk.h"
#include "app/Bot.h"
#include "app/ui/DBusNotifier.h"
#include "login/ProfileStore.h"
#include "places/PlacesSdk.h"
#include "places/TeleportList.h"

#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>

class AvatarMapWindow;
class HelpWindow;
class ChatPane;
class HistoryRecorder;
class SearchHistoryWindow;
class VisitorsWindow;
class RulesWindow;
class People;
class UsersListView;
class TeleportListModel;
class TeleportListView;
class MainWindow;
class Session;
class Sound;
class DesktopNotices;
class WindowPeopleView;
class WindowPlacesOutput;
class WorldList;
class WorldListView;
struct TeleportTarget;

// One run of the program with its window: the bot (everything it does without a user) and the main window, the
// lists, the map and the dialogs plugged into it, built in the order the window's set-up asks for and taken down in
// the reverse. The user's files live in home.
class GabblerApp {
public:
    // notices: where desktop notices go; the desktop's notification service when none is given.
    GabblerApp(std::string home, Settings settings, std::unique_ptr<NoticeService> notices = nullptr);
    ~GabblerApp();
    GabblerApp(const GabblerApp &) = delete;
    GabblerApp &operator=(const GabblerApp &) = delete;

    // Starts the timers, takes the login values (the login dialog when none are given), shows the window and
    // starts the bot. False when the program was told to end meanwhile: then nothing is shown or started.
    bool Run(const std::optional<LoginValues> &fromCommandLine);
    // File, Login...: the login dialog again; when it is left through Login, the bot leaves the universe and starts
    // anew with the values chosen, in this window, as at the program's start. Nothing changes on Escape.
    void LoginAgain();
    // Ends the program as File, Exit does (a SIGTERM, say): every window closes, the event loops return, and a
    // login dialog still open ends the run instead of starting the bot.
    void Terminate();
    // Stops the timers, destroys the bot instance and writes the settings and lists. Harmless when repeated.
    void Shutdown();

    // While the demo universe runs, a profile added in the login dialog points at it.
    void SetNewProfileUniverse(UniverseAddress universe) { newProfileUniverse_ = std::move(universe); }
    // The headless bot this window is attached to ("HOST:PORT"), from the command line; empty for none.
    // Attached to a bot elsewhere (where not empty), the window runs no rules or scripts of its own: the bot does.
    void SetAttachedTo(std::string where);

    Bot &GetBot() { return *bot_; }
    std::string File(const char *name) const { return bot_->File(name); }
    Session &GetSession() { return bot_->GetSession(); }
    ChatPane &Chat() { return bot_->Chat(); }
    HistoryRecorder &History() { return bot_->History(); }
    MainWindow &Window() { return *window_; }
    DesktopNotices &Notices() { return *notices_; }
    Settings &GetSettings() { return bot_->GetSettings(); }

    // Where Help finds manual.html and gbreadme.txt: beside the executable or in the installed tree, unless changed.
    void SetDocumentFolder(const QString &folder);
    // Help, Contents and Help, Release Notes: the named document of the doc folder in the help window.
    void ShowDocument(const char *name);
    HelpWindow *Help() const;

    // Log menu commands, public for the window's tests.
    void ClearBuffer();
    void SaveLog();
    // The history's windows, opened (or brought forward) from the Log and Utilities menus; null until then.
    SearchHistoryWindow *OpenSearchHistory();
    VisitorsWindow *OpenVisitors();
    // Options, Rules...: the rules window, opened (or brought forward); null until then.
    RulesWindow *OpenRules();

    AvatarMapWindow &Map() { return *map_; }
    WorldListView &WorldsView() { return *worldsView_; }
    People &GetPeople() { return bot_->GetPeople(); }
    UsersListView &UsersView() { return *usersView_; }
    TeleportListView &TeleportsView() { return *teleportsView_; }
    const TeleportList &Teleports() const { return bot_->Teleports(); }
    const AvatarTable &Avatars() const { return bot_->Avatars(); }

private:
    void BuildWorlds();
    void BuildPlaces();
    void BuildPeople();
    void BuildAdministration();
    void BuildMenus();
    void BuildNotices();
    // The login dialog, modal; its values, or nothing when it was left otherwise or the program is ending.
    std::optional<LoginValues> AskLogin();
    void RunPersonCommand(int command);
    // Opens a modal dialog built by make, parented to the main window.
    template <typename Make> void RunDialog(Make make);
    bool ShowDocumentFile(const QString &path);
    // A local file opens in the help window, a web address in the desktop's browser.
    bool OpenLink(const QUrl &address);
    void OpenSettings();
    void OpenFeedback();
    void OpenTeleport();
    void RememberPlace();
    void ChangeAvatar();
    std::optional<TeleportTarget> AskTeleport();

    std::unique_ptr<Bot> bot_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Sound> sound_;
    std::unique_ptr<NoticeService> noticeService_;
    std::unique_ptr<DesktopNotices> notices_;
    AvatarMapWindow *map_ = nullptr; // owned by the main window
    std::unique_ptr<WindowPeopleView> peopleView_;
    std::unique_ptr<WindowPlacesOutput> placesOutput_;
    std::unique_ptr<WorldList> worldList_;
    WorldListView *worldsView_ = nullptr;
    LivePlacesSdk placesSdk_;
    LiveAdminSdk adminSdk_;
    ChatLineWriter chatLine_;
    std::unique_ptr<TeleportListModel> teleportModel_;
    TeleportListView *teleportsView_ = nullptr;
    SearchHistoryWindow *searchHistory_ = nullptr; // owned by the main window
    VisitorsWindow *visitors_ = nullptr;           // owned by the main window
    RulesWindow *rules_ = nullptr;                 // owned by the main window
    UsersListView *usersView_ = nullptr;
    QTimer clock_;
    bool shutDown_ = false;
    bool ending_ = false;
    bool mapPlaced_ = false; // the map window has a place of its own (stored, or given beside the main window)
    std::optional<UniverseAddress> newProfileUniverse_;
    std::string attachedTo_; // remembered at the end, for the next attach's backlog
    QString docFolder_;
    QPointer<HelpWindow> help_; // owned by the main window
};
