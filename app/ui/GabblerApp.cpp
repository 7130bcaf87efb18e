#include "app/ui/GabblerApp.h"

#include "admin/EjectionLogic.h"
#include "admin/ui/CitizenLookupDialog.h"
#include "admin/ui/EjectDialog.h"
#include "admin/ui/EjectionDialog.h"
#include "admin/ui/LoadObjectDialog.h"
#include "admin/ui/PlanterDialog.h"
#include "admin/ui/SendUrlDialog.h"
#include "admin/ui/TeleportUserDialog.h"
#include "admin/ui/UniverseOptionsDialog.h"
#include "admin/ui/WorldFeaturesDialog.h"
#include "admin/ui/WorldRightsDialog.h"
#include "app/Commands.h"
#include "app/Session.h"
#include "app/ui/HelpWindow.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Pictures.h"
#include "app/ui/SettingsDialog.h"
#include "app/ui/Sound.h"
#include "chat/ChatPane.h"
#include "chat/HistoryRecorder.h"
#include "chat/LineSpeaker.h"
#include "chat/People.h"
#include "chat/PeopleMenu.h"
#include "chat/WorldList.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/UsersListView.h"
#include "chat/ui/WorldListView.h"
#include "history/ui/SearchHistoryWindow.h"
#include "history/ui/VisitorsWindow.h"
#include "login/ui/LoginDialog.h"
#include "mail/ui/FeedbackDialog.h"
#include "places/Movement.h"
#include "places/ui/AvatarMapView.h"
#include "places/ui/AvatarMapWindow.h"
#include "places/ui/ChangeAvatarDialog.h"
#include "places/ui/TeleportDialog.h"
#include "places/ui/TeleportEntryDialogs.h"
#include "places/ui/TeleportListView.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>

#include <cstdio>
#include <ctime>

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

GabblerApp::GabblerApp(std::string home, Settings settings)
    : home_(std::move(home)), settings_(std::move(settings)),
      docFolder_(QCoreApplication::applicationDirPath() + QStringLiteral("/doc")) {
    chat_ = std::make_unique<ChatPane>(static_cast<std::size_t>(settings_.scrollbackLines));
    window_ = std::make_unique<MainWindow>(*chat_, settings_);
    session_ = std::make_unique<Session>(*window_, *chat_, settings_);
    sound_ = std::make_unique<Sound>();
    window_->onPlaySound = [this](const std::string &path) { sound_->Play(path); };
    window_->onSend = [this] { session_->Send(); };
    window_->onClosed = [this] { Shutdown(); };

    worldList_ = std::make_unique<WorldList>();
    worldsView_ = new WorldListView(*worldList_, &Pictures::WorldIcon);
    worldsView_->onWorldClicked = [this](const std::string &world) {
        session_->SetWorldToEnter(world);
        session_->EnterWorld();
    };
    window_->SetWorldsList(worldsView_);
    session_->onWorldListComplete = [this] {
        worldList_->Rebuild(session_->Worlds(), settings_.dontShowEmptyWorlds, settings_.dontShowPrivateWorlds);
        worldsView_->Refresh();
    };

    chatLine_ = [this](const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline,
                       bool newline) { chat_->AppendChatLine(text, colour, bold, italic, underline, newline); };
    BuildHistory();
    BuildPlaces();
    BuildPeople();
    BuildAdministration();

    window_->SetCommandAction(Command::Settings, [this] { OpenSettings(); });
    window_->SetCommandAction(Command::ClearBuffer, [this] { ClearBuffer(); });
    window_->SetCommandAction(Command::SaveLog, [this] { SaveLog(); });
    window_->SetCommandAction(Command::SearchHistory, [this] { OpenSearchHistory(); });
    window_->SetCommandAction(Command::Visitors, [this] { OpenVisitors(); });
    window_->SetCommandAction(Command::Feedback, [this] { OpenFeedback(); });
    window_->SetCommandAction(Command::Contents, [this] { ShowDocument("manual.html"); });
    window_->SetCommandAction(Command::ReleaseNotes, [this] { ShowDocument("gbreadme.txt"); });
    window_->onOpenLink = [this](const QUrl &address) { return OpenLink(address); };
    window_->manualAddress = QUrl::fromLocalFile(docFolder_ + QStringLiteral("/manual.html"));

    pump_.setInterval(200);
    QObject::connect(&pump_, &QTimer::timeout, [this] { session_->Pump(); });
    worldListTimer_.setInterval(30000);
    QObject::connect(&worldListTimer_, &QTimer::timeout, [this] { session_->RequestWorldList(); });
    clock_.setInterval(1000);
    QObject::connect(&clock_, &QTimer::timeout,
                     [this] { window_->SetClockText(Q(session_->ClockText(std::time(nullptr)))); });
}

void GabblerApp::BuildPlaces() {
    teleports_.Load(File("teleport.txt"));
    avatars_.Load(File("avatars.txt"));
    // Said now, while the user can still do something about the file; the run's changes are kept either way.
    for (const std::string *problem : {&teleports_.LoadMessage(), &avatars_.LoadMessage()}) {
        if (!problem->empty()) {
            chat_->AppendChatLine(*problem, ChatColour::Red, true, false, false, true);
        }
    }
    session_->SetAvatarLookup([this](const std::string &world) { return avatars_.LookupAvatar(world); });

    teleportModel_ = std::make_unique<TeleportListModel>(teleports_);
    teleportsView_ = new TeleportListView(*teleportModel_);
    window_->SetTeleportsList(teleportsView_);
    QObject::connect(teleportsView_, &TeleportListView::teleportRequested, [this](const TeleportTarget &target) {
        const Position &p = target.position;
        session_->EnterWorldAt(target.world, p.z, p.x, p.y, p.yaw);
    });
    QObject::connect(teleportsView_, &TeleportListView::rememberRequested, [this] { RememberPlace(); });

    map_ = new AvatarMapWindow(window_.get());
    window_->SetAvatarMapWindow(map_);
    mapPlaced_ =
        map_->RestoreRect({settings_.avMapLeft, settings_.avMapTop, settings_.avMapRight, settings_.avMapBottom});
    map_->SetZoomType(settings_.avatarMapZoomType);
    window_->onMapCentre = [this](int x, int z) { map_->View().SetCentre(x, z); };
    window_->onMapManualScale = [this](int scale) { map_->View().SetManualScale(scale); };
    window_->onMapGrid = [this](int grid) { map_->View().SetGrid(grid); };
    window_->onApplyMapZoomType = [this] { map_->ApplyZoomType(); };
    window_->onAskTeleport = [this] { return AskTeleport(); };
    QObject::connect(map_, &AvatarMapWindow::stepRequested,
                     [this](MoveCommand command) { RunMapStep(command, placesSdk_, placesReport_); });
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
        window_->SetCommandAction(command, [this, move = move] { RunMenuMove(move, placesSdk_, placesReport_); });
    }
}

void GabblerApp::BuildHistory() {
    // The writer's thread reports through the event loop: only this thread touches the pane. The timer is the
    // context, so a report that comes after the program's end is dropped.
    auto problem = [this](const std::string &text) {
        QMetaObject::invokeMethod(
            &pump_, [this, text] { chat_->AppendChatLine(text, ChatColour::Red, true); }, Qt::QueuedConnection);
    };
    history_ =
        std::make_unique<HistoryRecorder>(home_, std::move(problem), [] { return SdkGetString(kAttrWorldName); });
    window_->onRecordHistory = [this](bool record) { SetRecordHistory(record); };
    SetRecordHistory(settings_.recordHistory);
    // Also while recording is off: what was recorded before can still be read back.
    chat_->SetHistory(history_.get());
}

void GabblerApp::SetRecordHistory(bool record) { history_->SetEnabled(record); }

void GabblerApp::BuildPeople() {
    const Settings &s = settings_;
    Session &session = *session_;
    people_ =
        std::make_unique<People>(*chat_, peopleScreen_,
                                 PeopleSettings{s.displayEnterExit, s.timestampMsgs, s.playAvEntrySound,
                                                s.avEntryWaveLocation, s.playWave, s.waveLocation, s.showAvClicks},
                                 PeopleSession{session.Login().botName, session.Login().citizen, session.OwnerName(),
                                               PersonSlot{session.selectedUser.name, session.selectedUser.session},
                                               PersonSlot{session.whisperTarget.name, session.whisperTarget.session},
                                               [&session] { return session.GlobalModeActive(); }});
    session.SetPeopleHooks({[this] { people_->Reset(); }, [this] { people_->InstallHandlers(); }, {}});
    usersView_ = new UsersListView(*people_);
    usersView_->onCommand = [this](int command) { RunPersonCommand(command); };
    window_->SetUsersList(usersView_);
    // A name that begins a chat line chooses that person as a click on the Users list does, while present.
    ChatView *pane = window_->Chat();
    pane->presentNameAt = [this](std::string_view text) -> std::size_t {
        const auto speaker = people_ ? PresentSpeakerAt(people_->Roster(), text) : std::nullopt;
        return speaker ? speaker->length : 0;
    };
    pane->onNameClicked = [this](std::string_view text) {
        if (const auto speaker = people_ ? PresentSpeakerAt(people_->Roster(), text) : std::nullopt) {
            people_->ChooseWhisperTarget(speaker->name, speaker->session);
        }
    };
}

void GabblerApp::RunPersonCommand(int command) {
    if (people_->RunCommand(command)) {
        return;
    }
    const PersonRef &selected = session_->selectedUser;
    const AdminPerson person{selected.name, selected.session};
    const AvatarRecord *record = people_->Roster().Find(selected.session);
    const auto position =
        record ? std::optional<Position>(Position{record->x, record->y, record->z, record->yaw}) : std::nullopt;
    switch (command) {
    case PeopleCommand::Eject:
        RunDialog([&](QWidget *parent) { return std::make_unique<EjectDialog>(adminSdk_, chatLine_, person, parent); });
        break;
    case PeopleCommand::SendUrl:
        RunDialog([&](QWidget *parent) { return std::make_unique<SendUrlDialog>(adminSdk_, person, parent); });
        break;
    case PeopleCommand::TeleportUser:
        RunDialog([&](QWidget *parent) {
            return std::make_unique<TeleportUserDialog>(
                adminSdk_, person, FormatAvatarCoordinates(people_->Roster(), selected.session), parent);
        });
        break;
    case PeopleCommand::CopyAvatar:
        RunCopyAvatar(selected.name, record ? std::optional<int>(record->avatarType) : std::nullopt, placesSdk_,
                      avatars_, placesReport_);
        break;
    case PeopleCommand::JoinAvatar:
        RunJoinAvatar(position, placesSdk_, placesReport_);
        break;
    case PeopleCommand::FaceAvatar:
        RunFaceAvatar(position, placesSdk_);
        break;
    default:
        break;
    }
}

void GabblerApp::PeopleScreen::SetCounters(int users, int bots) { app_.window_->SetCounters(users, bots); }

void GabblerApp::PeopleScreen::SetWhisperLabel(std::string_view text) { app_.window_->SetWhisperLabel(text); }

void GabblerApp::PeopleScreen::SetWhisperText(std::string_view text) { app_.window_->SetWhisperText(text); }

void GabblerApp::PeopleScreen::EnableWhisperBox(bool enabled) {
    app_.window_->EnableControl(Control::WhisperBox, enabled);
}

void GabblerApp::PeopleScreen::PlaySound(const std::string &path) { app_.sound_->Play(path); }

void GabblerApp::PeopleScreen::AddOrMoveMark(int session, const std::string &name, int x, int z) {
    app_.map_->View().AddOrUpdateMark(session, name, x, z);
}

void GabblerApp::PeopleScreen::RemoveMark(int session) { app_.map_->View().RemoveMarks(session); }

void GabblerApp::PeopleScreen::ClearMarks() { app_.map_->View().ClearMarks(); }

template <typename Make> void GabblerApp::RunDialog(Make make) {
    auto dialog = make(window_.get());
    dialog->exec();
}

void GabblerApp::BuildAdministration() {
    using World = EjectionDatabase;
    window_->SetCommandAction(Command::WorldFeatures, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<WorldFeaturesDialog>(adminSdk_, chatLine_, parent); });
    });
    window_->SetCommandAction(Command::WorldRights, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<WorldRightsDialog>(adminSdk_, chatLine_, parent); });
    });
    window_->SetCommandAction(Command::WorldEjections, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<EjectionDialog>(adminSdk_, World::World, parent); });
    });
    window_->SetCommandAction(Command::UniverseOptions, [this] {
        RunDialog([this](QWidget *parent) {
            return std::make_unique<UniverseOptionsDialog>(adminSdk_, chatLine_, session_->Login().citizen, parent);
        });
    });
    window_->SetCommandAction(Command::UniverseEjections, [this] {
        RunDialog(
            [this](QWidget *parent) { return std::make_unique<EjectionDialog>(adminSdk_, World::Universe, parent); });
    });
    window_->SetCommandAction(Command::CitLookup, [this] {
        RunDialog([this](QWidget *parent) { return std::make_unique<CitizenLookupDialog>(adminSdk_, parent); });
    });
    window_->SetCommandAction(Command::Planter, [this] {
        RunDialog([this](QWidget *parent) { return std::make_unique<PlanterDialog>(adminSdk_, chatLine_, parent); });
    });
    window_->SetCommandAction(Command::LoadObject, [this] {
        RunDialog([this](QWidget *parent) { return std::make_unique<LoadObjectDialog>(adminSdk_, chatLine_, parent); });
    });
}

void GabblerApp::PlacesReport::AppendChatLine(const std::string &text, std::uint32_t colour, bool bold, bool italic,
                                              bool underline, bool newline) {
    app_.chat_->AppendChatLine(text, colour, bold, italic, underline, newline);
}

void GabblerApp::PlacesReport::SetMapCentre(int x, int z) { app_.map_->View().SetCentre(x, z); }

std::optional<TeleportTarget> GabblerApp::AskTeleport() {
    TeleportDialog dialog(SdkGetString(kAttrWorldName), ReadBotPosition(placesSdk_), window_.get());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Target();
}

void GabblerApp::OpenTeleport() {
    if (const auto target = AskTeleport()) {
        const Position &p = target->position;
        session_->EnterWorldAt(target->world, p.z, p.x, p.y, p.yaw);
    }
}

void GabblerApp::RememberPlace() {
    RememberLocationDialog dialog(window_.get());
    if (dialog.exec() == QDialog::Accepted) {
        teleportModel_->Remember(SdkGetString(kAttrWorldName), ReadBotPosition(placesSdk_), dialog.Name());
    }
}

void GabblerApp::ChangeAvatar() {
    ChangeAvatarDialog dialog(SdkGetInt(kAttrMyType), window_.get());
    if (dialog.exec() == QDialog::Accepted) {
        RunChangeAvatar(dialog.AvatarNumber(), placesSdk_, avatars_, placesReport_);
    }
}

GabblerApp::~GabblerApp() {
    Shutdown();
    // The windows go first: their views read the people, the places and the chat pane until they are gone.
    window_.reset();
}

bool GabblerApp::Run(const std::optional<LoginValues> &fromCommandLine) {
    // The timers run from the window's creation, whether or not a bot gets logged in.
    pump_.start();
    worldListTimer_.start();
    clock_.start();
    LoginValues values;
    if (fromCommandLine) {
        values = *fromCommandLine;
    } else {
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
        values = dialog.Values().value_or(LoginValues{});
    }
    if (ending_) {
        return false;
    }
    window_->SetAlwaysOnTop(settings_.AlwaysOnTopActive());
    // Left to the window manager, the map window would open wherever it likes, often over the main window's menus:
    // the first time the two go side by side; the map keeps that place, and the main window keeps clear of it.
    const QRect screen = window_->screen()->availableGeometry();
    if (!mapPlaced_) {
        const auto places = AvatarMapWindow::FirstPlaces(window_->size(), map_->size(), screen,
                                                         window_->menuBar()->sizeHint().height());
        window_->move(places.main);
        map_->move(places.map);
        mapPlaced_ = true;
    } else {
        window_->move(AvatarMapWindow::MainPlace(window_->size(), QRect(map_->pos(), map_->size()), screen));
    }
    window_->show();
    window_->setMinimumSize(window_->size());
    session_->SetLoginValues(values);
    session_->StartBot();
    return true;
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
    pump_.stop();
    worldListTimer_.stop();
    clock_.stop();
    session_->Shutdown();
    // The end of the program ends every visit still open; what waits is written before the files below.
    SetRecordHistory(false);
    const MapWindowRect rect = map_->StoredRect();
    settings_.avMapLeft = rect.left;
    settings_.avMapTop = rect.top;
    settings_.avMapRight = rect.right;
    settings_.avMapBottom = rect.bottom;
    settings_.avatarMapZoomType = map_->ZoomType();
    // No message box on the way out (a log-out must not wait for a click); each file keeps its old version, and
    // what could not be written is said on the terminal.
    for (const FileResult &saved : {settings_.Save(File("gabbler.ini")), teleports_.Save(File("teleport.txt")),
                                    avatars_.Save(File("avatars.txt"))}) {
        if (!saved.ok) {
            std::fprintf(stderr, "gabbler: %s\n", saved.error.c_str());
        }
    }
}

void GabblerApp::ShowDocument(const char *name) {
    ShowDocumentFile(docFolder_ + QLatin1Char('/') + QLatin1String(name));
}

HelpWindow *GabblerApp::Help() const { return help_; }

void GabblerApp::SetDocumentFolder(const QString &folder) {
    docFolder_ = folder;
    window_->manualAddress = QUrl::fromLocalFile(folder + QStringLiteral("/manual.html"));
}

bool GabblerApp::ShowDocumentFile(const QString &path) {
    if (!help_) {
        help_ = new HelpWindow(window_.get());
    }
    return help_->ShowDocument(path);
}

bool GabblerApp::OpenLink(const QUrl &address) {
    return address.isLocalFile() ? ShowDocumentFile(address.toLocalFile()) : OpenWebAddress(address, window_.get());
}

namespace {

void BringForward(QWidget *window) {
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

SearchHistoryWindow *GabblerApp::OpenSearchHistory() {
    if (!searchHistory_)
        searchHistory_ = new SearchHistoryWindow(home_, window_.get());
    BringForward(searchHistory_);
    searchHistory_->QueryBox()->setFocus();
    searchHistory_->QueryBox()->selectAll();
    return searchHistory_;
}

VisitorsWindow *GabblerApp::OpenVisitors() {
    const bool first = !visitors_;
    if (first)
        visitors_ = new VisitorsWindow(home_, window_.get());
    BringForward(visitors_);
    if (first)
        visitors_->Refresh();
    return visitors_;
}

void GabblerApp::OpenSettings() {
    SettingsDialog dialog(settings_, *window_, window_.get());
    dialog.exec();
}

void GabblerApp::OpenFeedback() {
    const LoginValues &login = session_->Login();
    FeedbackDialogSetup setup;
    setup.sender = FeedbackSender{login.universeHost, login.universePort, login.citizen, session_->OwnerName()};
    setup.relay =
        MailRelay{settings_.feedbackHost, settings_.feedbackPort, settings_.feedbackSender, settings_.feedbackAddress};
    setup.settingsFile = File("gabbler.ini");
    FeedbackDialog dialog(
        setup,
        [this](const std::string &text, std::uint32_t colour, bool bold, bool italic, bool underline, bool newline) {
            chat_->AppendChatLine(text, colour, bold, italic, underline, newline);
        },
        window_.get());
    dialog.exec();
}

void GabblerApp::ClearBuffer() {
    const auto answer =
        QMessageBox::question(window_.get(), Q(ChatPaneText::ClearTitle), Q(ChatPaneText::ClearQuestion),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        chat_->ClearBuffer();
    }
}

void GabblerApp::SaveLog() {
    QFileDialog dialog(window_.get(), Q(ChatPaneText::SaveTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Q(ChatPaneText::SaveFilter));
    dialog.selectFile(Q(ChatPaneText::SaveFileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().front().toStdString();
    const QFont font = window_->Chat()->font();
    const FileResult result = chat_->SaveLog(path, RtfFont{font.family().toStdString(), font.pointSize()});
    if (!result.ok) {
        QMessageBox::warning(window_.get(), QStringLiteral("Gabbler"), Q(result.error));
        return;
    }
    QMessageBox::information(window_.get(), Q(ChatPaneText::SavedTitle), Q(ChatPane::SavedLogMessage(path)));
}
