#include "app/ui/Program.h"

#include "app/Commands.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Pictures.h"
#include "app/ui/SettingsDialog.h"
#include "app/ui/Sound.h"
#include "chat/ChatPane.h"
#include "chat/WorldList.h"
#include "chat/ui/ChatView.h"
#include "chat/ui/WorldListView.h"
#include "common/DataFolder.h"
#include "login/ProfileStore.h"
#include "login/ui/LoginDialog.h"
#include "places/Coordinates.h"
#include "sdk/Sdk.h"
#include "server/DemoContent.h"
#include "server/UniverseServer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace {

struct Options {
    std::string home;
    bool demo = false;
    bool quitAfterStart = false;
    std::optional<LoginValues> login; // from the command line; the login dialog is skipped
    std::string error;
};

Options ReadOptions(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Gabbler, a bot console for virtual worlds."));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Folder of gabbler.ini and the lists."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Run a universe of demo worlds and people inside the program."));
    const QCommandLineOption citizen(QStringLiteral("citizen"), QStringLiteral("Citizen number."), QStringLiteral("N"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Privilege password."),
                                      QStringLiteral("TEXT"));
    const QCommandLineOption bot(QStringLiteral("bot"), QStringLiteral("Bot name."), QStringLiteral("NAME"));
    const QCommandLineOption world(QStringLiteral("world"), QStringLiteral("World to enter."), QStringLiteral("WORLD"));
    const QCommandLineOption at(QStringLiteral("at"), QStringLiteral("Start position, e.g. \"40N 50W 2a 180\"."),
                                QStringLiteral("COORDS"));
    const QCommandLineOption universe(QStringLiteral("universe"), QStringLiteral("Universe server."),
                                      QStringLiteral("HOST:PORT"));
    const QCommandLineOption quit(QStringLiteral("quit-after-start"),
                                  QStringLiteral("Print the start time and quit once the bot is in its world."));
    parser.addOptions({home, demo, citizen, password, bot, world, at, universe, quit});
    parser.process(arguments);

    Options options;
    options.home = parser.value(home).toStdString();
    options.demo = parser.isSet(demo);
    options.quitAfterStart = parser.isSet(quit);
    if (parser.isSet(citizen) || parser.isSet(bot) || parser.isSet(world)) {
        LoginValues values;
        bool ok = false;
        values.citizen = parser.value(citizen).toInt(&ok);
        if (parser.isSet(citizen) && !ok) {
            options.error = "The citizen number must be a whole number.";
        }
        values.privilegePassword = parser.value(password).toStdString();
        values.botName = parser.value(bot).toStdString();
        values.world = parser.value(world).toStdString();
        std::string ignoredWorld;
        ParseLocation(parser.value(at).toStdString(), ignoredWorld, values.startZ, values.startX, values.startY,
                      values.startYaw);
        const UniverseAddress address = SplitUniverse(parser.value(universe).toStdString());
        values.universeHost = address.host;
        values.universePort = address.port;
        options.login = values;
    }
    return options;
}

// The ready-made login of the demo universe, whose port changes from run to run.
LoginProfile DemoLoginProfile(int port) {
    LoginProfile profile;
    profile.name = "Demo";
    profile.citizen = kDemoLoginCitizen;
    profile.privilegePassword = kDemoLoginPassword;
    profile.botName = kDemoBotName;
    profile.universeHost = "127.0.0.1";
    profile.universePort = port;
    profile.world = kDemoStartWorld;
    profile.coordinates = "0n 0e";
    return profile;
}

// The manual and the release notes are shipped in the doc folder beside the executable.
void OpenDocument(const char *name) {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/doc/") + QLatin1String(name)));
}

// Everything of one run, built in the order the window's set-up asks for and taken down in the reverse.
class Gabbler {
public:
    Gabbler(std::string home, Settings settings) : home_(std::move(home)), settings_(std::move(settings)) {}

    std::string File(const char *name) const { return home_ + "/" + name; }

    void Build() {
        chat_ = std::make_unique<ChatPane>(static_cast<std::size_t>(settings_.scrollbackLines));
        window_ = std::make_unique<MainWindow>(*chat_, settings_);
        session_ = std::make_unique<Session>(*window_, *chat_, settings_);
        sound_ = std::make_unique<Sound>();
        window_->onPlaySound = [this](const std::string &path) { sound_->Play(path); };
        window_->onSend = [this] { session_->Send(); };
        window_->onClosed = [this] { Shutdown(); };

        worldList_ = std::make_unique<WorldList>();
        auto *worlds = new WorldListView(*worldList_, &Pictures::WorldIcon);
        worlds->onWorldClicked = [this](const std::string &world) {
            session_->SetWorldToEnter(world);
            session_->EnterWorld();
        };
        window_->SetWorldsList(worlds);
        session_->onWorldListComplete = [this, worlds] {
            worldList_->Rebuild(session_->Worlds(), settings_.dontShowEmptyWorlds, settings_.dontShowPrivateWorlds);
            worlds->Refresh();
        };

        window_->SetCommandAction(Command::Settings, [this] { OpenSettings(); });
        window_->SetCommandAction(Command::ClearBuffer, [this] { ClearBuffer(); });
        window_->SetCommandAction(Command::SaveLog, [this] { SaveLog(); });
        window_->SetCommandAction(Command::Contents, [] { OpenDocument("manual.html"); });
        window_->SetCommandAction(Command::ReleaseNotes, [] { OpenDocument("gbreadme.txt"); });
        auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), window_.get());
        QObject::connect(escape, &QShortcut::activated, window_.get(), &QWidget::close);

        pump_.setInterval(200);
        QObject::connect(&pump_, &QTimer::timeout, [this] { session_->Pump(); });
        worldListTimer_.setInterval(30000);
        QObject::connect(&worldListTimer_, &QTimer::timeout, [this] { session_->RequestWorldList(); });
        clock_.setInterval(1000);
        QObject::connect(&clock_, &QTimer::timeout, [this] {
            window_->SetClockText(QString::fromStdString(session_->ClockText(std::time(nullptr))));
        });
    }

    // Set-up after the window exists: the login values, the timers, the bot start.
    void Run(const std::optional<LoginValues> &fromCommandLine) {
        // The timers run from the window's creation, whether or not a bot gets logged in.
        pump_.start();
        worldListTimer_.start();
        clock_.start();
        LoginValues values;
        if (fromCommandLine) {
            values = *fromCommandLine;
        } else {
            LoginDialog dialog(File("profiles.txt"),
                               QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(),
                               window_.get());
            dialog.exec();
            values = dialog.Values().value_or(LoginValues{});
        }
        window_->SetAlwaysOnTop(settings_.AlwaysOnTopActive());
        window_->show();
        window_->setMinimumSize(window_->size());
        session_->SetLoginValues(values);
        session_->StartBot();
    }

    Session &GetSession() { return *session_; }
    ChatPane &Chat() { return *chat_; }

    void Shutdown() {
        if (shutDown_) {
            return;
        }
        shutDown_ = true;
        pump_.stop();
        worldListTimer_.stop();
        clock_.stop();
        session_->Shutdown();
        settings_.Save(File("gabbler.ini"));
    }

private:
    void OpenSettings() {
        SettingsDialog dialog(settings_, *window_, window_.get());
        dialog.exec();
    }

    void ClearBuffer() {
        const auto answer = QMessageBox::question(window_.get(), QString::fromUtf8(ChatPaneText::ClearTitle.data()),
                                                  QString::fromUtf8(ChatPaneText::ClearQuestion.data()),
                                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer == QMessageBox::Ok) {
            chat_->ClearBuffer();
        }
    }

    void SaveLog() {
        QFileDialog dialog(window_.get(), QString::fromUtf8(ChatPaneText::SaveTitle.data()));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QString::fromUtf8(ChatPaneText::SaveFilter.data()));
        dialog.selectFile(QString::fromUtf8(ChatPaneText::SaveFileName.data()));
        dialog.setOption(QFileDialog::DontUseNativeDialog, false);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return;
        }
        const std::string path = dialog.selectedFiles().front().toStdString();
        const FileResult result = chat_->SaveLog(path);
        if (!result.ok) {
            QMessageBox::warning(window_.get(), QStringLiteral("Gabbler"), QString::fromStdString(result.error));
            return;
        }
        QMessageBox::information(window_.get(), QString::fromUtf8(ChatPaneText::SavedTitle.data()),
                                 QString::fromStdString(ChatPane::SavedLogMessage(path)));
    }

    std::string home_;
    Settings settings_;
    std::unique_ptr<ChatPane> chat_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<Sound> sound_;
    std::unique_ptr<WorldList> worldList_;
    QTimer pump_;
    QTimer worldListTimer_;
    QTimer clock_;
    bool shutDown_ = false;
};

} // namespace

int RunGabbler(int argc, char **argv) {
    QElapsedTimer started;
    started.start();
    // A peer that drops its socket must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gabbler"));
    QApplication::setWindowIcon(Pictures::AppIcon());

    const Options options = ReadOptions(QApplication::arguments());
    if (!options.error.empty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QString::fromStdString(options.error));
        return 2;
    }
    DataFolder folder = OpenDataFolder(options.home);
    if (!folder.ok) {
        QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QString::fromStdString(folder.error));
        return 1;
    }
    std::unique_ptr<UniverseServer> demo;
    std::optional<LoginValues> login = options.login;
    if (options.demo) {
        // The demo keeps its own files, so it never touches the user's profiles or settings.
        folder = PrepareDataFolder(folder.path + "/demo");
        const DataFolder store = PrepareDataFolder(folder.path + "/universe");
        if (!folder.ok || !store.ok) {
            QMessageBox::critical(nullptr, QStringLiteral("Gabbler"),
                                  QString::fromStdString(folder.ok ? store.error : folder.error));
            return 1;
        }
        ServerOptions serverOptions;
        serverOptions.port = 0;
        serverOptions.dataFolder = store.path;
        serverOptions.demo = true;
        demo = std::make_unique<UniverseServer>(serverOptions);
        if (!demo->Start()) {
            QMessageBox::critical(
                nullptr, QStringLiteral("Gabbler"),
                QStringLiteral("Unable to start the demo universe: %1").arg(QString::fromStdString(demo->LastError())));
            return 1;
        }
        EnsureProfile(folder.path + "/profiles.txt", DemoLoginProfile(demo->Port()));
        if (login) {
            login->universeHost = "127.0.0.1";
            login->universePort = demo->Port();
        }
    }

    if (SdkInit(kSdkBuild) != 0) {
        QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QStringLiteral("Unable to initialize API."));
        return 1;
    }
    int result = 0;
    {
        Gabbler gabbler(folder.path, Settings::Load(folder.path + "/gabbler.ini"));
        gabbler.Build();
        if (options.quitAfterStart) {
            gabbler.GetSession().onStarted = [&] {
                std::printf("started in %lld ms\n", static_cast<long long>(started.elapsed()));
                std::fflush(stdout);
                QTimer::singleShot(0, [] { QApplication::quit(); });
            };
        }
        gabbler.Run(login);
        result = QApplication::exec();
        gabbler.Shutdown();
    }
    SdkDestroy();
    SdkTerm();
    if (demo) {
        demo->Stop();
    }
    return result;
}
