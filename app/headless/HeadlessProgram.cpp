#include "app/headless/HeadlessProgram.h"

#include "app/Bot.h"
#include "app/BotAttach.h"
#include "app/ProgramOptions.h"
#include "app/Session.h"
#include "app/TerminateSignal.h"
#include "app/headless/HeadlessExit.h"
#include "app/headless/TerminalLines.h"
#include "app/headless/TerminalViews.h"
#include "chat/ChatPane.h"
#include "common/DataFolder.h"
#include "crypto/TlsContext.h"
#include "crypto/TlsIdentity.h"
#include "login/ProfileLogin.h"
#include "sdk/Sdk.h"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace {

int Fail(int status, const std::string &message) {
    std::fprintf(stderr, "gabbler: %s\n", message.c_str());
    return status;
}

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Where and how windows attach, when they may.
struct AttachSetup {
    BotAttachOptions options;
    bool on = false;
};

// The bot on the data folder home until it is told to end or cannot go on.
int RunBot(const std::string &home, const LoginValues &login, const AttachSetup &attach) {
    Bot bot(home, Settings::Load(home + "/gabbler.ini"));
    TerminalViews views;
    bot.Plug(views, views);
    // What the pane already holds (a list that could not be read, say) goes out first.
    const ChatLog &log = bot.Chat().Log();
    for (std::size_t i = 0; i < log.LineCount(); ++i) {
        std::printf("%s\n", TerminalLine(NowMs(), {}, log.Line(i).Text()).c_str());
    }
    bot.Lines().AddListener(PrintEndedLine);

    Session &session = bot.GetSession();
    // Nobody is there to choose another world: every lost connection is re-entered, and a world lost for any other
    // reason ends the run, for the service manager to decide.
    session.SetAlwaysReenter(true);
    session.onStranded = [](int reason, const std::string &) { QCoreApplication::exit(StrandedStatus(reason)); };
    std::unique_ptr<BotAttach> windows;
    if (attach.on) {
        // Before the bot enters: the windows' list of people is the one the bot builds from its first entry on.
        windows = std::make_unique<BotAttach>(bot, attach.options);
        std::string error;
        if (!windows->Start(error)) {
            bot.Shutdown();
            return Fail(HeadlessExit::Usage, "cannot listen for windows: " + error);
        }
        std::fprintf(stderr, "gabbler: windows may attach on %s:%d\n", attach.options.listen.host.c_str(),
                     windows->Port());
    }
    bot.StartTimers();
    bot.Start(login);
    int status = HeadlessExit::Ended;
    if (const std::optional<StartFailure> &failure = session.StartFailed()) {
        status = Fail(StartFailureStatus(*failure), failure->message);
    } else {
        status = QCoreApplication::exec();
    }
    bot.Shutdown();
    return status;
}

} // namespace

int RunHeadless(int argc, char **argv) {
    // A peer that drops its socket must not end the program, nor a reader of standard output that goes away.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Gabbler"));
    OnTerminateSignal([] { QCoreApplication::quit(); });

    const ProgramOptions options = ReadProgramOptions(QCoreApplication::arguments());
    if (!options.error.empty()) {
        return Fail(HeadlessExit::Usage, options.error);
    }
    if (options.demo || options.quitAfterStart) {
        return Fail(HeadlessExit::Usage, "--demo and --quit-after-start are for the window, not with --headless.");
    }
    if (options.profile.empty() == !options.login.has_value()) {
        return Fail(HeadlessExit::Usage, "--headless needs either --profile NAME or the login options (--citizen, "
                                         "--password, --bot, --world, --universe).");
    }
    const DataFolder folder = OpenDataFolder(options.home);
    if (!folder.ok) {
        return Fail(HeadlessExit::CannotRun, folder.error);
    }
    // Held until the files are written at exit: two Gabblers on one folder would write over each other's files.
    const DataFolderLock lock = LockDataFolder(folder.path);
    if (lock.refused) {
        return Fail(HeadlessExit::CannotRun, lock.message);
    }
    if (!lock.message.empty()) {
        std::fprintf(stderr, "gabbler: %s\n", lock.message.c_str());
    }
    std::optional<LoginValues> login = options.login;
    if (!options.profile.empty()) {
        std::string error;
        login = ReadProfileLogin(folder.path + "/profiles.txt", options.profile, error);
        if (!login) {
            return Fail(HeadlessExit::Usage, error);
        }
    }
    AttachSetup attach;
    if (options.attachListen) {
        std::string error;
        if (!CheckAttachListen(options.attachListen->host, options.attachTls, error)) {
            return Fail(HeadlessExit::Usage, error);
        }
        attach.on = true;
        attach.options.listen.host = options.attachListen->host;
        attach.options.listen.port = options.attachListen->port;
        attach.options.listen.log = [](const std::string &line) {
            std::fprintf(stderr, "gabbler: attach: %s\n", line.c_str());
        };
        if (options.attachTls) {
            // Made at the first start and kept: the windows remember its fingerprint.
            const std::optional<TlsIdentity> identity = LoadOrCreateTlsIdentity(folder.path, error);
            std::unique_ptr<asio::ssl::context> context;
            if (identity) {
                context = MakeTlsServerContext(*identity, error);
            }
            if (!context) {
                return Fail(HeadlessExit::CannotRun, error);
            }
            attach.options.listen.tls = std::move(context);
            std::fprintf(stderr, "gabbler: windows attach with TLS; this bot's certificate fingerprint is %s\n",
                         identity->fingerprint.c_str());
        }
        attach.options.password = login->privilegePassword;
        if (!options.attachPasswordFile.empty()) {
            // From a file, so that it shows in no process list.
            std::ifstream file(options.attachPasswordFile);
            if (!file || !std::getline(file, attach.options.password) || attach.options.password.empty()) {
                return Fail(HeadlessExit::Usage, "cannot read a password from " + options.attachPasswordFile);
            }
        }
    }
    if (SdkInit(kSdkBuild) != 0) {
        return Fail(HeadlessExit::CannotRun, "Unable to initialize API.");
    }
    const int status = RunBot(folder.path, *login, attach);
    SdkDestroy();
    SdkTerm();
    return status;
}
