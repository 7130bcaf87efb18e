#include "app/ui/Program.h"

#include "app/AttachStart.h"
#include "app/ProgramOptions.h"
#include "app/Session.h"
#include "app/Settings.h"
#include "app/TerminateSignal.h"
#include "app/ui/DemoUniverse.h"
#include "app/ui/GabblerApp.h"
#include "app/ui/Pictures.h"
#include "automation/ExampleRules.h"
#include "automation/ExampleScripts.h"
#include "chat/ChatPane.h"
#include "common/DataFolder.h"
#include "login/ProfileStore.h"
#include "sdk/Sdk.h"
#include "server/UniverseServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

int RunGabbler(int argc, char **argv) {
    QElapsedTimer started;
    started.start();
    // A peer that drops its socket must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gabbler"));
    // Lets the desktop match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.gabbler.Gabbler"));
    QApplication::setWindowIcon(Pictures::AppIcon());
    // Until the program's parts exist, a SIGTERM or SIGINT simply ends it.
    OnTerminateSignal([] {
        QApplication::closeAllWindows();
        QApplication::quit();
    });

    if (const std::optional<int> answered = AnswerHelpOrVersion(QApplication::arguments())) {
        return *answered;
    }
    const ProgramOptions options = ReadProgramOptions(QApplication::arguments());
    if (options.badCommandLine) {
        return RefuseCommandLine(options.error);
    }
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
    std::string demoNotice;
    std::optional<LoginValues> login = options.login;
    if (options.demo) {
        // The demo keeps its own files, so it never touches the user's profiles or settings.
        folder = PrepareDataFolder(folder.path + "/demo");
        if (!folder.ok) {
            QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QString::fromStdString(folder.error));
            return 1;
        }
    }
    // Held until the files are written at exit: two Gabblers on one folder would write over each other's files.
    const DataFolderLock lock = LockDataFolder(folder.path);
    if (lock.refused) {
        std::fprintf(stderr, "%s\n", lock.message.c_str());
        QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QString::fromStdString(lock.message));
        return 1;
    }
    if (!lock.message.empty()) {
        std::fprintf(stderr, "%s\n", lock.message.c_str());
    }
    if (options.demo) {
        const DataFolder store = PrepareDataFolder(folder.path + "/universe");
        if (!store.ok) {
            QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QString::fromStdString(store.error));
            return 1;
        }
        DemoUniverse universe = StartDemoUniverse(folder.path, ServerOptions{});
        if (!universe.server) {
            QMessageBox::critical(
                nullptr, QStringLiteral("Gabbler"),
                QStringLiteral("Unable to start the demo universe: %1").arg(QString::fromStdString(universe.error)));
            return 1;
        }
        demo = std::move(universe.server);
        demoNotice = universe.notice;
        if (const FileResult examples = InstallExampleScripts(folder.path + "/scripts"); !examples.ok) {
            demoNotice += (demoNotice.empty() ? "" : " ") + examples.error;
        }
        if (const FileResult rules = InstallExampleRules(folder.path); !rules.ok) {
            demoNotice += (demoNotice.empty() ? "" : " ") + rules.error;
        }
        if (login) {
            login->universeHost = "127.0.0.1";
            login->universePort = demo->Port();
        }
    }

    if (SdkInit(kSdkBuild) != 0) {
        QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QStringLiteral("Unable to initialize API."));
        return 1;
    }
    std::string attachedTo;
    if (options.attach) {
        // The window becomes the bot it attaches to: its login values are the bot's, its universe the bot.
        const std::string address = options.attach->host + ":" + std::to_string(options.attach->port);
        std::string password = options.password.value_or(std::string());
        if (!options.password) {
            bool ok = false;
            password =
                QInputDialog::getText(nullptr, QStringLiteral("Gabbler"),
                                      QStringLiteral("Password of the bot at %1:").arg(QString::fromStdString(address)),
                                      QLineEdit::Password, {}, &ok)
                    .toStdString();
            if (!ok) {
                return 0;
            }
        }
        const AttachStart start = BeginAttach(folder.path, address, password, options.attachTls, attachedTo);
        if (!start.ok) {
            std::fprintf(stderr, "%s\n", start.error.c_str());
            QMessageBox::critical(nullptr, QStringLiteral("Gabbler"), QString::fromStdString(start.error));
            return 1;
        }
        login = start.login;
    }
    int result = 0;
    {
        GabblerApp gabbler(folder.path, Settings::Load(folder.path + "/gabbler.ini"));
        if (demo) {
            gabbler.SetNewProfileUniverse({"127.0.0.1", demo->Port()});
        }
        if (!demoNotice.empty()) {
            gabbler.Chat().AppendChatLine(demoNotice, ChatColour::Red, true, false, false, true);
        }
        if (options.quitAfterStart) {
            gabbler.GetSession().onStarted = [&] {
                std::printf("started in %lld ms\n", static_cast<long long>(started.elapsed()));
                std::fflush(stdout);
                QTimer::singleShot(0, [] { QApplication::quit(); });
            };
        }
        // From here on they end it the way File, Exit does, so the settings and lists are written; during the
        // login dialog they end it before the bot starts.
        OnTerminateSignal([&gabbler] { gabbler.Terminate(); });
        gabbler.SetAttachedTo(attachedTo);
        if (gabbler.Run(login)) {
            result = QApplication::exec();
        }
        gabbler.Shutdown();
    }
    OnTerminateSignal([] { QApplication::quit(); });
    SdkDestroy();
    SdkTerm();
    if (demo) {
        demo->Stop();
    }
    return result;
}
