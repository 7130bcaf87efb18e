#pragma once

#include "admin/AdminSdk.h"
#include "app/Settings.h"
#include "chat/PeopleContext.h"
#include "login/LoginValues.h"
#include "login/ProfileStore.h"
#include "places/AvatarTable.h"
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
class People;
class UsersListView;
class TeleportListModel;
class TeleportListView;
class MainWindow;
class Session;
class Sound;
class WorldList;
class WorldListView;

// Everything of one run of the program: the settings, the chat pane, the main window, the session and the lists,
// built in the order the window's set-up asks for and taken down in the reverse. The user's files live in home.
class GabblerApp {
public:
    GabblerApp(std::string home, Settings settings);
    ~GabblerApp();
    GabblerApp(const GabblerApp &) = delete;
    GabblerApp &operator=(const GabblerApp &) = delete;

    // Starts the timers, takes the login values (the login dialog when none are given), shows the window and
    // starts the bot. False when the program was told to end meanwhile: then nothing is shown or started.
    bool Run(const std::optional<LoginValues> &fromCommandLine);
    // Ends the program as File, Exit does (a SIGTERM, say): every window closes, the event loops return, and a
    // login dialog still open ends the run instead of starting the bot.
    void Terminate();
    // Stops the timers, destroys the bot instance and writes the settings and lists. Harmless when repeated.
    void Shutdown();

    // While the demo universe runs, a profile added in the login dialog points at it.
    void SetNewProfileUniverse(UniverseAddress universe) { newProfileUniverse_ = std::move(universe); }

    std::string File(const char *name) const { return home_ + "/" + name; }
    Session &GetSession() { return *session_; }
    ChatPane &Chat() { return *chat_; }
    HistoryRecorder &History() { return *history_; }
    MainWindow &Window() { return *window_; }
    Settings &GetSettings() { return settings_; }

    // Where Help finds manual.html and gbreadme.txt: the doc folder beside the executable unless changed.
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

    AvatarMapWindow &Map() { return *map_; }
    WorldListView &WorldsView() { return *worldsView_; }
    People &GetPeople() { return *people_; }
    UsersListView &UsersView() { return *usersView_; }
    TeleportListView &TeleportsView() { return *teleportsView_; }
    const TeleportList &Teleports() const { return teleports_; }
    const AvatarTable &Avatars() const { return avatars_; }

private:
    // Where the movement and avatar commands report: the chat pane and the map's centre.
    class PlacesReport : public PlacesOutput {
    public:
        explicit PlacesReport(GabblerApp &app) : app_(app) {}
        void AppendChatLine(const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                            bool newline) override;
        void SetMapCentre(int x, int z) override;

    private:
        GabblerApp &app_;
    };

    // What the people handlers show outside the chat pane: the window's boxes and counters and the map's marks.
    class PeopleScreen : public PeopleView {
    public:
        explicit PeopleScreen(GabblerApp &app) : app_(app) {}
        void SetCounters(int users, int bots) override;
        void SetWhisperLabel(std::string_view text) override;
        void SetWhisperText(std::string_view text) override;
        void EnableWhisperBox(bool enabled) override;
        void PlaySound(const std::string &path) override;
        void AddOrMoveMark(int session, const std::string &name, int x, int z) override;
        void RemoveMark(int session) override;
        void ClearMarks() override;

    private:
        GabblerApp &app_;
    };

    void BuildPeople();
    void BuildHistory();
    void SetRecordHistory(bool record);
    void RunPersonCommand(int command);
    void BuildPlaces();
    void BuildAdministration();
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

    std::string home_;
    Settings settings_;
    std::unique_ptr<ChatPane> chat_;
    std::unique_ptr<HistoryRecorder> history_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<Sound> sound_;
    std::unique_ptr<WorldList> worldList_;
    WorldListView *worldsView_ = nullptr;
    TeleportList teleports_;
    AvatarTable avatars_;
    LivePlacesSdk placesSdk_;
    LiveAdminSdk adminSdk_;
    ChatLineWriter chatLine_;
    PlacesReport placesReport_{*this};
    std::unique_ptr<TeleportListModel> teleportModel_;
    TeleportListView *teleportsView_ = nullptr;
    AvatarMapWindow *map_ = nullptr; // owned by the main window
    SearchHistoryWindow *searchHistory_ = nullptr; // owned by the main window
    VisitorsWindow *visitors_ = nullptr;           // owned by the main window
    PeopleScreen peopleScreen_{*this};
    std::unique_ptr<People> people_;
    UsersListView *usersView_ = nullptr;
    QTimer pump_;
    QTimer worldListTimer_;
    QTimer clock_;
    bool shutDown_ = false;
    bool ending_ = false;
    bool mapPlaced_ = false; // the map window has a place of its own (stored, or given beside the main window)
    std::optional<UniverseAddress> newProfileUniverse_;
    QString docFolder_;
    QPointer<HelpWindow> help_; // owned by the main window
};
