#include "app/ui/GabblerApp.h"

#include "app/AttachStart.h"
#include "app/Commands.h"
#include "app/DocumentFolder.h"
#include "app/Session.h"
#include "app/ui/DBusNotifier.h"
#include "app/ui/DesktopNotices.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Pictures.h"
#include "app/ui/Sound.h"
#include "app/ui/WindowOutputs.h"
#include "chat/ChatPane.h"
#include "chat/LineSpeaker.h"
#include "chat/People.h"
#include "chat/WorldList.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/UsersListView.h"
#include "chat/ui/WorldListView.h"
#include "login/ui/LoginDialog.h"
#include "places/Movement.h"
#include "places/ui/AvatarMapView.h"
#include "places/ui/AvatarMapWindow.h"
#include "places/ui/TeleportListView.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>

#include <ctime>

GabblerApp::GabblerApp(std::string home, Settings settings, std::unique_ptr<NoticeService> notices)
    : bot_(std::make_unique<Bot>(std::move(home), std::move(settings))), noticeService_(std::move(notices)),
      docFolder_(FindDocumentFolder(QCoreApplication::applicationDirPath())) {
    Settings &s = bot_->GetSettings();
    window_ = std::make_unique<MainWindow>(bot_->Chat(), s);
    sound_ = std::make_unique<Sound>();
    map_ = new AvatarMapWindow(window_.get());
    peopleView_ = std::make_unique<WindowPeopleView>(*window_, *map_, *sound_);
    placesOutput_ = std::make_unique<WindowPlacesOutput>(bot_->Chat(), *map_);
    bot_->Plug(*window_, *peopleView_);

    window_->onPlaySound = [this](const std::string &path) { sound_->Play(path); };
    window_->onSend = [this] { GetSession().Send(); };
    window_->onClosed = [this] { Shutdown(); };
    window_->onRecordHistory = [this](bool record) { bot_->SetRecordHistory(record); };
    chatLine_ = [this](const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                       bool newline) { Chat().AppendChatLine(text, colour, bold, italic, underline, newline); };
    BuildWorlds();
    BuildPlaces();
    BuildPeople();
    BuildAdministration();
    BuildMenus();
    BuildNotices();

    clock_.setInterval(1000);
    QObject::connect(&clock_, &QTimer::timeout, [this] {
        window_->SetClockText(QString::fromStdString(GetSession().ClockText(std::time(nullptr))));
    });
}

GabblerApp::~GabblerApp() {
    Shutdown();
    notices_.reset(); // it watches the window
    // The windows go first: their views read the people, the places and the chat pane until they are gone.
    window_.reset();
}

void GabblerApp::BuildWorlds() {
    worldList_ = std::make_unique<WorldList>();
    worldsView_ = new WorldListView(*worldList_, &Pictures::WorldIcon);
    worldsView_->onWorldClicked = [this](const std::string &world) {
        GetSession().SetWorldToEnter(world);
        GetSession().EnterWorld();
    };
    window_->SetWorldsList(worldsView_);
    GetSession().onWorldListComplete = [this] {
        const Settings &s = GetSettings();
        worldList_->Rebuild(GetSession().Worlds(), s.dontShowEmptyWorlds, s.dontShowPrivateWorlds);
        worldsView_->Refresh();
    };
}

void GabblerApp::BuildPlaces() {
    teleportModel_ = std::make_unique<TeleportListModel>(bot_->Teleports());
    teleportsView_ = new TeleportListView(*teleportModel_);
    window_->SetTeleportsList(teleportsView_);
    QObject::connect(teleportsView_, &TeleportListView::teleportRequested, [this](const TeleportTarget &target) {
        const Position &p = target.position;
        GetSession().EnterWorldAt(target.world, p.z, p.x, p.y, p.yaw);
    });
    QObject::connect(teleportsView_, &TeleportListView::rememberRequested, [this] { RememberPlace(); });

    const Settings &s = GetSettings();
    window_->SetAvatarMapWindow(map_);
    mapPlaced_ = map_->RestoreRect({s.avMapLeft, s.avMapTop, s.avMapRight, s.avMapBottom});
    map_->SetZoomType(s.avatarMapZoomType);
    window_->onMapCentre = [this](int x, int z) { map_->View().SetCentre(x, z); };
    window_->onMapManualScale = [this](int scale) { map_->View().SetManualScale(scale); };
    window_->onMapGrid = [this](int grid) { map_->View().SetGrid(grid); };
    window_->onApplyMapZoomType = [this] { map_->ApplyZoomType(); };
    window_->onAskTeleport = [this] { return AskTeleport(); };
    QObject::connect(map_, &AvatarMapWindow::stepRequested,
                     [this](MoveCommand command) { RunMapStep(command, placesSdk_, *placesOutput_); });
    QObject::connect(map_, &AvatarMapWindow::recentreRequested,
                     [this] { map_->View().SetCentre(SdkGetInt(kAttrMyX), SdkGetInt(kAttrMyZ)); });

    window_->SetCommandAction(Command::Teleport, [this] { OpenTeleport(); });
    window_->SetCommandAction(Command::Remember, [this] { RememberPlace(); });
    window_->SetCommandAction(Command::ChangeAvatar, [this] { ChangeAvatar(); });
    const std::pair<int, MoveCommand> moves[] = {
        {Command::MoveNorth, MoveCommand::North},     {Command::MoveSouth, MoveCommand::South},
        {Command::MoveWest, MoveCommand::West},       {Command::MoveEast, MoveCommand::East},
        {Command::MoveUp, MoveCommand::Up},           {Command::MoveDown, MoveCommand::Down},
        {Command::FaceNorth, MoveCommand::FaceNorth}, {Command::FaceSouth, MoveCommand::FaceSouth},
        {Command::FaceWest, MoveCommand::FaceWest},   {Command::FaceEast, MoveCommand::FaceEast},
    };
    for (const auto &[command, move] : moves) {
        window_->SetCommandAction(command, [this, move = move] { RunMenuMove(move, placesSdk_, *placesOutput_); });
    }
}

void GabblerApp::BuildNotices() {
    if (!noticeService_) {
        noticeService_ = std::make_unique<DBusNotifier>();
    }
    notices_ = std::make_unique<DesktopNotices>(*bot_, *window_, *noticeService_);
    notices_->onExit = [this] { window_->CommandAction(Command::Exit)->trigger(); };
    window_->onTrayIcon = [this](bool shown) { notices_->SetTrayShown(shown); };
    window_->onHideToTray = [this] { return !ending_ && notices_->HideToTray(); };
}

void GabblerApp::BuildPeople() {
    usersView_ = new UsersListView(GetPeople());
    usersView_->onCommand = [this](int command) { RunPersonCommand(command); };
    window_->SetUsersList(usersView_);
    // A name that begins a chat line chooses that person as a click on the Users list does, while present.
    ChatView *pane = window_->Chat();
    pane->presentNameAt = [this](std::string_view text) -> std::size_t {
        const auto speaker = PresentSpeakerAt(GetPeople().Roster(), text);
        return speaker ? speaker->length : 0;
    };
    pane->onNameClicked = [this](std::string_view text) {
        if (const auto speaker = PresentSpeakerAt(GetPeople().Roster(), text)) {
            GetPeople().ChooseWhisperTarget(speaker->name, speaker->session);
        }
    };
}

void GabblerApp::BuildMenus() {
    window_->SetCommandAction(Command::Login, [this] { LoginAgain(); });
    window_->SetCommandAction(Command::Settings, [this] { OpenSettings(); });
    window_->SetCommandAction(Command::ClearBuffer, [this] { ClearBuffer(); });
    window_->SetCommandAction(Command::SaveLog, [this] { SaveLog(); });
    window_->SetCommandAction(Command::SearchHistory, [this] { OpenSearchHistory(); });
    window_->SetCommandAction(Command::Visitors, [this] { OpenVisitors(); });
    window_->SetCommandAction(Command::Rules, [this] { OpenRules(); });
    window_->SetCommandAction(Command::Feedback, [this] { OpenFeedback(); });
    window_->SetCommandAction(Command::Contents, [this] { ShowDocument("manual.html"); });
    window_->SetCommandAction(Command::ReleaseNotes, [this] { ShowDocument("gbreadme.txt"); });
    window_->onOpenLink = [this](const QUrl &address) { return OpenLink(address); };
    window_->manualAddress = QUrl::fromLocalFile(docFolder_ + QStringLiteral("/manual.html"));
}

bool GabblerApp::Run(const std::optional<LoginValues> &fromCommandLine) {
    // The timers run from the window's creation, whether or not a bot gets logged in.
    bot_->StartTimers();
    clock_.start();
    // At the start a dialog left without Login still starts the bot, whose checks then say what is missing.
    const LoginValues values = fromCommandLine ? *fromCommandLine : AskLogin().value_or(LoginValues{});
    if (ending_) {
        return false;
    }
    window_->SetAlwaysOnTop(GetSettings().AlwaysOnTopActive());
    // A scaled or small screen may have less room than the window's starting size, which is also its minimum:
    // the window starts at what fits, or it could neither be seen whole nor made smaller.
    const QRect screen = window_->screen()->availableGeometry();
    window_->resize(AvatarMapWindow::FitOnScreen(window_->size(), screen));
    // Left to the window manager, the map window would open wherever it likes, often over the main window's menus:
    // the first time the two go side by side; the map keeps that place, and the main window keeps clear of it.
    const int menuBarBottom = window_->menuBar()->sizeHint().height();
    if (!mapPlaced_) {
        map_->resize(AvatarMapWindow::FitOnScreen(map_->size(), screen));
        const auto places = AvatarMapWindow::FirstPlaces(window_->size(), map_->size(), screen, menuBarBottom);
        window_->move(places.main);
        map_->move(places.map);
        mapPlaced_ = true;
    } else {
        const auto places =
            AvatarMapWindow::NextPlaces(window_->size(), QRect(map_->pos(), map_->size()), screen, menuBarBottom);
        window_->move(places.main);
        map_->move(places.map);
    }
    window_->show();
    window_->setMinimumSize(window_->size());
    bot_->Start(values);
    return true;
}

std::optional<LoginValues> GabblerApp::AskLogin() {
    // Until a login, a successful attach to a running bot, or the dialog's end.
    for (;;) {
        LoginDialog dialog(File("profiles.txt"),
                           QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(), window_.get());
        if (newProfileUniverse_) {
            dialog.SetNewProfileUniverse(*newProfileUniverse_);
        }
        // The dialog may have shown a message box while it was made, and the program may have been told to end
        // meanwhile.
        if (!ending_) {
            dialog.exec();
        }
        if (ending_) {
            return std::nullopt;
        }
        const std::optional<AttachChoice> &attach = dialog.Attach();
        if (!attach) {
            if (dialog.Values()) {
                // A universe again, as a bot of its own: no attach's TLS or backlog any more.
                EndAttach(bot_->Home(), attachedTo_);
                SetAttachedTo({});
                SdkTuning tuning = SdkGetTuning();
                tuning.tlsCheck = nullptr;
                tuning.backlogSince = 0;
                SdkSetTuning(tuning);
            }
            return dialog.Values();
        }
        // The window becomes the bot it attaches to: the bot's login values, the bot for a universe.
        EndAttach(bot_->Home(), attachedTo_);
        const AttachStart start =
            BeginAttach(bot_->Home(), attach->address, attach->password, attach->tls, attachedTo_);
        if (start.ok) {
            bot_->SetAutomationOn(false);
            return start.login;
        }
        QMessageBox::critical(window_.get(), QStringLiteral("Gabbler"), QString::fromStdString(start.error));
    }
}

void GabblerApp::SetAttachedTo(std::string where) {
    attachedTo_ = std::move(where);
    bot_->SetAutomationOn(attachedTo_.empty());
}

void GabblerApp::LoginAgain() {
    const std::optional<LoginValues> values = AskLogin();
    if (!values || ending_) {
        return;
    }
    bot_->Start(*values);
}

void GabblerApp::Terminate() {
    ending_ = true;
    QApplication::closeAllWindows();
    QApplication::quit();
}

void GabblerApp::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    EndAttach(bot_->Home(), attachedTo_);
    clock_.stop();
    Settings &s = GetSettings();
    const MapWindowRect rect = map_->StoredRect();
    s.avMapLeft = rect.left;
    s.avMapTop = rect.top;
    s.avMapRight = rect.right;
    s.avMapBottom = rect.bottom;
    s.avatarMapZoomType = map_->ZoomType();
    bot_->Shutdown();
}
